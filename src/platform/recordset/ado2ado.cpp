// ADO2ADO: copy of a record set's structure, and optionally its records with a running
// "RowIndex", into a new disconnected record set. Every step runs with skip-on-failure handling.
// Records are copied column by column when the field kinds agree, value by value otherwise.
#include "recordset_p.h"

namespace tessera {

using namespace detail;

namespace {

void copyCell(const Column &src, int from, Column &dst, int to)
{
    if (src.isNull(from))
        return;
    if (src.kind == dst.kind && src.def.type == dst.def.type) {
        const size_t f = size_t(from);
        switch (src.kind) {
        case Kind::Int:
        case Kind::Currency:
        case Kind::Date:
            dst.setInt(to, src.ints[f]);
            return;
        case Kind::Real:
            dst.setReal(to, src.reals[f]);
            return;
        case Kind::Text:
        case Kind::Decimal:
            dst.setText(to, src.text(from));
            return;
        case Kind::Bytes:
            dst.setBytes(to, src.bytes[f]);
            return;
        }
    }
    // A value the destination does not accept leaves the field empty.
    skipOnError([&] { dst.setValue(to, src.value(from)); });
}

} // namespace

void ADO2ADO(const RecordsetPtr &rcsO, RecordsetPtr &rcsD, bool vCopyData, bool AddRowsIndex)
{
    RecordsetPtr clone;
    skipOnError([&] {
        if (!rcsO)
            throw Error(errObjectNotSet);
        clone = rcsO->Clone();
    });
    rcsD = std::make_shared<Recordset>();
    if (clone) {
        tessera::Fields source = clone->Fields();
        for (int i = 0; i < source.Count(); ++i)
            skipOnError([&] {
                const Field f = source.Item(i);
                rcsD->Fields().Append(f.Name(), f.Type(), f.DefinedSize(), adFldIsNullable);
            });
    }
    if (AddRowsIndex)
        skipOnError([&] {
            rcsD->Fields().Append(QStringLiteral("RowIndex"), adBigInt, 0, adFldUnspecified);
        });
    skipOnError([&] { rcsD->Open(); });

    if (vCopyData && clone && rcsD->State() == adStateOpen) {
        QString filter, sort;
        int position = -1;
        skipOnError([&] { filter = clone->Filter(); });
        skipOnError([&] { position = clone->AbsolutePosition(); });
        skipOnError([&] { sort = clone->Sort(); });
        skipOnError([&] { clone->setFilter(0); });

        RecordsetPrivate &s = *clone->d;
        RecordsetPrivate &d = *rcsD->d;
        s.sync();
        const Table &src = *s.table;
        Table &dst = *d.table;
        const int rowIndex = AddRowsIndex ? dst.findColumn(u"rowIndex") : -1;
        const size_t fields = std::min(src.columns.size(), dst.columns.size());
        dst.reserve(size_t(dst.rows) + s.view.size());
        qint64 counter = 0;
        for (size_t k = size_t(std::max(s.pos, 0)); k < s.view.size(); ++k) {
            const int from = s.view[k];
            const int to = dst.appendRow();
            for (size_t f = 0; f < fields; ++f)
                copyCell(src.columns[f], from, dst.columns[f], to);
            if (rowIndex >= 0) {
                ++counter;
                Column &c = dst.columns[size_t(rowIndex)];
                skipOnError([&] { c.setValue(to, QVariant(qint32(counter))); });
            }
        }
        skipOnError([&] { clone->setFilter(filter); });
        skipOnError([&] { clone->setSort(sort); });
        skipOnError([&] {
            if (position > 0)
                clone->setAbsolutePosition(position);
        });
    }
    skipOnError([&] {
        if (rcsD->RecordCount() > 0)
            rcsD->MoveFirst();
    });
}

} // namespace tessera
