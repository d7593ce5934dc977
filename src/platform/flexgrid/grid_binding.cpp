// Binding: bound rows keep only the record number they show (4 bytes a row); their cells read
// through to the record set until written, and a written cell lives in the text store like any
// other. Following the view moves whole rows, so written text and formats stay with their record.
#include "grid_model_p.h"

#include <tessera/Recordset.h>

namespace tessera::detail {

namespace {

std::vector<int> viewRecords(const Recordset &rs)
{
    std::vector<int> view(size_t(std::max(rs.RecordCount(), 0)));
    for (size_t i = 0; i < view.size(); ++i)
        view[i] = rs.ViewRecord(int(i));
    return view;
}

// Order-sensitive hash of view records [from, to), going on from `h`: tells "the same records
// in the same order" without keeping a copy of the view, and a view that only grew at its end.
quint64 viewHash(
    const std::vector<int> &view, size_t from, size_t to, quint64 h = 0x9E3779B97F4A7C15ull)
{
    for (size_t i = from; i < to; ++i) {
        h ^= quint64(quint32(view[i])) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
        h *= 0xBF58476D1CE4E5B9ull;
    }
    return h;
}

} // namespace

QString GridModel::Private::boundText(int row, int col) const
{
    return recordset->RecordText(rowSource[size_t(row)], colInfo[size_t(col)].field);
}

void GridModel::bind(const RecordsetPtr &recordset, int fixedRows, int fixedCols)
{
    if (!recordset) {
        unbind();
        return;
    }
    d->recordset = recordset;
    d->live = true;
    d->boundFixedRows = std::max(fixedRows, 0);
    d->boundFixedCols = std::max(fixedCols, 0);
    fixedRows = d->boundFixedRows;
    fixedCols = d->boundFixedCols;
    const Recordset &rs = *recordset;
    const std::vector<int> view = viewRecords(rs);
    const int records = int(view.size());
    const int fields = std::max(rs.FieldCount(), 0);

    // New contents: texts written over what the data rows showed before go.
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
        d->rowSource[size_t(fixedRows + i)] = view[size_t(i)];
    if (fixedRows > 0)
        for (int k = 0; k < fields; ++k)
            d->text.set(0, fixedCols + k, rs.FieldName(k));
    d->syncedViewStamp = rs.ViewStamp();
    d->syncedViewHash = viewHash(view, 0, view.size());
    d->syncedViewCount = view.size();
    ++d->version;
}

GridModel::BindingChange GridModel::syncBinding()
{
    if (!d->live)
        return BindingChange::None;
    const Recordset &rs = *d->recordset;
    const quint64 stamp = rs.ViewStamp();
    if (stamp == d->syncedViewStamp)
        return BindingChange::None;
    d->syncedViewStamp = stamp;
    const std::vector<int> view = viewRecords(rs);
    const size_t shown = std::min(d->syncedViewCount, view.size());
    const quint64 prefix = viewHash(view, 0, shown);
    const int first = std::min(d->boundFixedRows, d->rows());
    if (d->rowSource.size() != size_t(d->rows()))
        d->rowSource.resize(size_t(d->rows()), -1);

    if (shown == d->syncedViewCount && prefix == d->syncedViewHash) {
        if (view.size() == shown)
            return BindingChange::None; // the same records in the same order
        // Records added at the end of the view (a load in batches): rows added at the end,
        // unless the host's own rows follow the bound ones.
        const bool ownRowsAfter = d->rows() > first && d->rowSource.back() < 0;
        if (!ownRowsAfter) {
            const int oldRows = d->rows();
            setRows(oldRows + int(view.size() - shown));
            for (size_t i = shown; i < view.size(); ++i)
                d->rowSource[size_t(oldRows) + i - shown] = view[i];
            d->syncedViewHash = viewHash(view, shown, view.size(), prefix);
            d->syncedViewCount = view.size();
            ++d->version;
            return BindingChange::Appended;
        }
    }

    const int oldCount = d->rows() - first;
    int maxRecord = -1;
    for (int record : view)
        maxRecord = std::max(maxRecord, record);
    for (int r = first; r < d->rows(); ++r)
        maxRecord = std::max(maxRecord, int(d->rowSource[size_t(r)]));
    std::vector<int> oldRowOf(size_t(maxRecord + 1), -1);
    for (int r = first; r < d->rows(); ++r)
        if (d->rowSource[size_t(r)] >= 0)
            oldRowOf[size_t(d->rowSource[size_t(r)])] = r - first;

    RowRemap map { first, oldCount, {} };
    map.from.reserve(view.size());
    for (int record : view)
        map.from.push_back(oldRowOf[size_t(record)]);
    // Rows the host added that show no record stay, after the records.
    for (int r = first; r < d->rows(); ++r)
        if (d->rowSource[size_t(r)] < 0)
            map.from.push_back(r - first);
    d->remapRows(map);
    for (size_t i = 0; i < view.size(); ++i)
        d->rowSource[size_t(first) + i] = view[i];
    d->syncedViewHash = viewHash(view, 0, view.size());
    d->syncedViewCount = view.size();
    return BindingChange::Rearranged;
}

void GridModel::unbind()
{
    d->live = false;
    ++d->version;
}

RecordsetPtr GridModel::boundRecordset() const
{
    return d->live ? d->recordset : nullptr;
}

QString GridModel::dataField(int col) const
{
    if (!d->live || col < 0 || col >= d->cols())
        return {};
    const int field = d->colInfo[size_t(col)].field;
    return field >= 0 ? d->recordset->FieldName(field) : QString();
}

} // namespace tessera::detail
