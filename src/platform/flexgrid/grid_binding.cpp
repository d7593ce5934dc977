// Binding: bound rows keep only the view index they show (4 bytes a row); their cells read through
// to the record set until written, and a written cell lives in the text store like any other.
#include "grid_model_p.h"

#include <tessera/Recordset.h>

namespace tessera::detail {

QString GridModel::Private::boundText(int row, int col) const
{
    return recordset->ViewText(rowSource[size_t(row)], colInfo[size_t(col)].field);
}

void GridModel::bind(const RecordsetPtr &recordset, int fixedRows, int fixedCols)
{
    if (!recordset) {
        unbind();
        return;
    }
    d->recordset = recordset;
    d->boundFixedRows = std::max(fixedRows, 0);
    d->boundFixedCols = std::max(fixedCols, 0);
    refreshBinding();
}

void GridModel::refreshBinding()
{
    if (!d->recordset)
        return;
    const Recordset &rs = *d->recordset;
    const int fixedRows = d->boundFixedRows, fixedCols = d->boundFixedCols;
    const int records = std::max(rs.RecordCount(), 0);
    const int fields = std::max(rs.FieldCount(), 0);

    // Cells written over the old view belong to records that may have moved: drop them.
    d->rowSource.clear();
    setRows(fixedRows + records);
    setCols(fixedCols + fields);
    for (int c = fixedCols; c < d->cols(); ++c)
        if (records > 0)
            d->text.clearRange(fixedRows, fixedRows + records - 1, c);

    for (int c = 0; c < d->cols(); ++c)
        d->colInfo[size_t(c)].field = c >= fixedCols ? c - fixedCols : -1;
    d->rowSource.assign(size_t(d->rows()), -1);
    for (int i = 0; i < records; ++i)
        d->rowSource[size_t(fixedRows + i)] = i;
    if (fixedRows > 0)
        for (int k = 0; k < fields; ++k)
            d->text.set(0, fixedCols + k, rs.FieldName(k));
    ++d->version;
}

int GridModel::appendBoundRecords()
{
    if (!d->recordset || d->rowSource.empty())
        return 0;
    // Records arrive in view order, so the last bound row tells how many are shown.
    int shown = 0;
    for (size_t r = d->rowSource.size(); r-- > 0;)
        if (d->rowSource[r] >= 0) {
            shown = d->rowSource[r] + 1;
            break;
        }
    const int added = d->recordset->RecordCount() - shown;
    if (added <= 0)
        return 0;
    const int first = d->rows();
    setRows(first + added);
    for (int i = 0; i < added; ++i)
        d->rowSource[size_t(first + i)] = shown + i;
    ++d->version;
    return added;
}

void GridModel::unbind()
{
    if (d->recordset && !d->rowSource.empty()) {
        // The cells keep what they show: copy the read-through values in, column by column.
        const Recordset &rs = *d->recordset;
        for (int c = 0; c < d->cols(); ++c) {
            const int field = d->colInfo[size_t(c)].field;
            if (field < 0)
                continue;
            for (int r = 0; r < d->rows(); ++r) {
                const int source = d->rowSource[size_t(r)];
                if (source >= 0 && d->text.handle(r, c) == GridTextStore::kNone)
                    d->text.set(r, c, rs.ViewText(source, field));
            }
        }
    }
    d->recordset.reset();
    d->rowSource.clear();
    for (auto &info : d->colInfo)
        info.field = -1;
    ++d->version;
}

RecordsetPtr GridModel::boundRecordset() const
{
    return d->recordset;
}

QString GridModel::dataField(int col) const
{
    if (!d->recordset || col < 0 || col >= d->cols())
        return {};
    const int field = d->colInfo[size_t(col)].field;
    return field >= 0 ? d->recordset->FieldName(field) : QString();
}

} // namespace tessera::detail
