// The filter and sort criteria parsers, driven through a record set with one field of each kind.
// A rejected criteria text must leave the criteria in force unchanged.
#include "fuzz_input.h"

#include <tessera/Recordset.h>

#include <QDate>

#include <cstdlib>

namespace {

tessera::RecordsetPtr makeRecords()
{
    auto rs = std::make_shared<tessera::Recordset>();
    tessera::Fields fields = rs->Fields();
    fields.Append(QStringLiteral("Id"), tessera::adInteger);
    fields.Append(QStringLiteral("Name"), tessera::adVarWChar, 40);
    fields.Append(QStringLiteral("Unit Price"), tessera::adCurrency);
    fields.Append(QStringLiteral("Ratio"), tessera::adDouble);
    fields.Append(QStringLiteral("Shipped"), tessera::adDate);
    fields.Append(QStringLiteral("Paid"), tessera::adBoolean);
    rs->Open();
    for (int i = 0; i < 20; ++i) {
        rs->AddNew();
        rs->setCollect(QStringLiteral("Id"), i);
        if (i % 5)
            rs->setCollect(QStringLiteral("Name"), QStringLiteral("Item'%1").arg(i));
        rs->setCollect(QStringLiteral("Unit Price"), i * 1.25);
        rs->setCollect(QStringLiteral("Ratio"), i / 7.0);
        rs->setCollect(QStringLiteral("Shipped"), QDate(2026, 1, 1).addDays(i * 11));
        rs->setCollect(QStringLiteral("Paid"), i % 2 == 0);
        rs->Update();
    }
    return rs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const tessera::RecordsetPtr records = makeRecords();
    tessera::fuzz::Input in(data, size);
    const bool sort = in.small(2) == 1;
    const QString text = in.text();
    tessera::RecordsetPtr cursor = records->Clone();
    if (sort) {
        cursor->setSort(QStringLiteral("Id DESC"));
        try {
            cursor->setSort(text);
        } catch (const tessera::Error &) {
            if (cursor->Sort() != QStringLiteral("Id DESC"))
                std::abort(); // a rejected sort replaced the one in force
        }
    } else {
        cursor->setFilter(QStringLiteral("Id > 3"));
        try {
            cursor->setFilter(text);
        } catch (const tessera::Error &) {
            if (cursor->Filter() != QStringLiteral("Id > 3") || cursor->RecordCount() != 16)
                std::abort(); // a rejected filter replaced the one in force
        }
    }
    // Walking the view must stay inside it.
    const int count = cursor->RecordCount();
    if (count < 0 || count > 20)
        std::abort();
    for (int i = 0; i < count; ++i)
        (void)cursor->ViewText(i, i % 6);
    return 0;
}
