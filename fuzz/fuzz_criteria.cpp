// The filter and sort criteria parsers, driven through a record set with one field of each kind.
// A rejected criteria text must leave the criteria in force unchanged; an accepted one must keep
// a subset of the records, and a simple comparison must keep exactly the records a plain loop
// picks. An accepted sort must show every record once, in order of its first key.
#include "fuzz_input.h"

#include <tessera/Recordset.h>

#include <QDate>
#include <QLocale>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr int recordCount = 24;

tessera::RecordsetPtr makeRecords()
{
    static const char16_t *const names[]
        = { u"anna", u"Zeta", u"zebra", u"Ärger", u"ärger", u"_x", u"", u"O'Brien" };
    auto rs = std::make_shared<tessera::Recordset>();
    tessera::Fields fields = rs->Fields();
    fields.Append(QStringLiteral("Id"), tessera::adInteger);
    fields.Append(QStringLiteral("Name"), tessera::adVarWChar, 40);
    fields.Append(QStringLiteral("Unit Price"), tessera::adCurrency);
    fields.Append(QStringLiteral("Ratio"), tessera::adDouble);
    fields.Append(QStringLiteral("Shipped"), tessera::adDate);
    fields.Append(QStringLiteral("Paid"), tessera::adBoolean);
    rs->Open();
    for (int i = 0; i < recordCount; ++i) {
        rs->AddNew();
        rs->setCollect(QStringLiteral("Id"), i);
        if (i % 5)
            rs->setCollect(QStringLiteral("Name"),
                i < 8 ? QStringLiteral("Item'%1").arg(i) : QString::fromUtf16(names[i % 8]));
        rs->setCollect(QStringLiteral("Unit Price"), i * 1.25);
        if (i % 7)
            rs->setCollect(QStringLiteral("Ratio"), (i - 10) / 7.0);
        rs->setCollect(QStringLiteral("Shipped"), QDate(2026, 1, 1).addDays(i * 11));
        rs->setCollect(QStringLiteral("Paid"), i % 2 == 0);
        rs->Update();
    }
    return rs;
}

[[noreturn]] void fail()
{
    std::abort();
}

// Ids of the view, each in range and seen once, or abort.
std::vector<int> viewIds(const tessera::RecordsetPtr &cursor)
{
    const int count = cursor->RecordCount();
    if (count < 0 || count > recordCount)
        fail();
    std::vector<int> ids;
    std::vector<bool> seen(recordCount, false);
    for (int v = 0; v < count; ++v) {
        const QVariant id = cursor->ViewValue(v, 0);
        const int n = id.toInt();
        if (id.isNull() || n < 0 || n >= recordCount || seen[size_t(n)])
            fail();
        seen[size_t(n)] = true;
        ids.push_back(n);
        for (int f = 0; f < 6; ++f)
            (void)cursor->ViewText(v, f);
    }
    return ids;
}

// -1 / 0 / 1 for the six comparison operators, as a plain loop would decide.
bool holds(int op, int cmp)
{
    switch (op) {
    case 0:
        return cmp == 0;
    case 1:
        return cmp != 0;
    case 2:
        return cmp < 0;
    case 3:
        return cmp > 0;
    case 4:
        return cmp <= 0;
    default:
        return cmp >= 0;
    }
}

const char *const opText[] = { "=", "<>", "<", ">", "<=", ">=" };

// A simple comparison on Id, Ratio or Name checked record by record against its own loop.
void checkSimpleComparison(const tessera::RecordsetPtr &records, tessera::fuzz::Input &in)
{
    const int field = in.small(3);
    const int op = in.small(6);
    QString literal;
    double number = 0;
    QString text;
    if (field == 0) {
        number = double(in.integer() % 40);
        literal = QString::number(qint64(number));
    } else if (field == 1) {
        number = in.number();
        if (!std::isfinite(number))
            return;
        literal = QString::number(number, 'g', 17);
    } else {
        text = in.text().left(12);
        literal = QLatin1Char('\'') + QString(text).replace(QLatin1String("'"), QLatin1String("''"))
            + QLatin1Char('\'');
    }
    static const char *const fieldName[] = { "Id", "Ratio", "Name" };
    const int column = field == 0 ? 0 : field == 1 ? 3 : 1;
    const QString criteria
        = QStringLiteral("%1 %2 %3")
              .arg(QLatin1String(fieldName[field]), QLatin1String(opText[op]), literal);
    tessera::RecordsetPtr cursor = records->Clone();
    try {
        cursor->setFilter(criteria);
    } catch (const tessera::Error &) {
        fail(); // every simple comparison is valid
    }
    std::vector<bool> expected(recordCount, false);
    tessera::RecordsetPtr all = records->Clone();
    for (int v = 0; v < all->RecordCount(); ++v) {
        const QVariant value = all->ViewValue(v, column);
        if (value.isNull())
            continue; // Null never compares
        int cmp = 0;
        if (field == 2) {
            cmp = value.toString().compare(text, Qt::CaseInsensitive);
        } else {
            const double x = value.toDouble();
            cmp = x < number ? -1 : x > number ? 1 : 0;
        }
        expected[size_t(all->ViewValue(v, 0).toInt())] = holds(op, cmp);
    }
    std::vector<bool> got(recordCount, false);
    for (int id : viewIds(cursor))
        got[size_t(id)] = true;
    if (got != expected)
        fail(); // the filter disagrees with the plain loop

    // The same field as a sort key: a permutation of the records, Null first, in key order.
    const bool descending = in.small(2) == 1;
    cursor->setFilter(QString());
    cursor->setSort(QLatin1String(fieldName[field]) + QLatin1String(descending ? " DESC" : " ASC"));
    const std::vector<int> ids = viewIds(cursor);
    if (int(ids.size()) != recordCount)
        fail();
    for (int v = 1; v < recordCount; ++v) {
        const QVariant a = cursor->ViewValue(v - 1, column), b = cursor->ViewValue(v, column);
        int cmp = 0;
        if (a.isNull() || b.isNull())
            cmp = int(b.isNull()) - int(a.isNull());
        else if (field == 2)
            cmp = a.toString().compare(b.toString(), Qt::CaseInsensitive);
        else
            cmp = a.toDouble() < b.toDouble() ? -1 : a.toDouble() > b.toDouble() ? 1 : 0;
        if (descending ? cmp < 0 : cmp > 0)
            fail(); // out of order
        if (cmp == 0 && ids[size_t(v - 1)] > ids[size_t(v)])
            fail(); // not stable
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const tessera::RecordsetPtr records = makeRecords();
    tessera::fuzz::Input in(data, size);
    const int mode = in.small(3);
    if (mode == 2) {
        checkSimpleComparison(records, in);
        return 0;
    }
    const QString text = in.text();
    tessera::RecordsetPtr cursor = records->Clone();
    if (mode == 1) {
        cursor->setSort(QStringLiteral("Id DESC"));
        try {
            cursor->setSort(text);
        } catch (const tessera::Error &) {
            if (cursor->Sort() != QStringLiteral("Id DESC"))
                fail(); // a rejected sort replaced the one in force
        }
        if (int(viewIds(cursor).size()) != recordCount)
            fail(); // a sort lost or repeated records
    } else {
        cursor->setFilter(QStringLiteral("Id > 3"));
        try {
            cursor->setFilter(text);
        } catch (const tessera::Error &) {
            if (cursor->Filter() != QStringLiteral("Id > 3")
                || cursor->RecordCount() != recordCount - 4)
                fail(); // a rejected filter replaced the one in force
        }
        (void)viewIds(cursor);
    }
    return 0;
}
