// GridModel: dimensions, text, row and column moves, formats, geometry and per-row/column data.
// Sorting is in grid_sort.cpp, merging in grid_merge.cpp, binding in grid_binding.cpp.
#include "grid_model_p.h"

#include <tessera/Recordset.h>
#include <tessera/Runtime.h>

#include <algorithm>

namespace tessera::detail {

namespace {
CellRange normalized(CellRange r)
{
    if (r.row1 > r.row2)
        std::swap(r.row1, r.row2);
    if (r.col1 > r.col2)
        std::swap(r.col1, r.col2);
    return r;
}

template<class V> void rotateOne(V &v, int from, int to)
{
    if (from < to)
        std::rotate(v.begin() + from, v.begin() + from + 1, v.begin() + to + 1);
    else if (from > to)
        std::rotate(v.begin() + to, v.begin() + from, v.begin() + from + 1);
}
} // namespace

bool GridModel::Private::sameText(int r1, int c1, int r2, int c2) const
{
    const auto h1 = text.handle(r1, c1), h2 = text.handle(r2, c2);
    if ((h1 == GridTextStore::kNone && readsThrough(r1, c1))
        || (h2 == GridTextStore::kNone && readsThrough(r2, c2))) {
        QString s1, s2;
        return view(r1, c1, s1) == view(r2, c2, s2);
    }
    return text.sameText(h1, h2);
}

void GridModel::Private::remapRows(const RowRemap &map)
{
    text.remapRows(map);
    rowSizes.remapRows(map);
    formats.remapRows(map);
    auto gather = [&](auto &v, auto fresh) {
        if (v.empty())
            return;
        using T = typename std::decay_t<decltype(v)>::value_type;
        std::vector<T> block(map.from.size());
        for (size_t i = 0; i < map.from.size(); ++i)
            block[i] = map.from[i] < 0 ? T(fresh) : v[size_t(map.first + map.from[i])];
        auto begin = v.begin() + map.first;
        v.erase(begin, begin + map.oldCount);
        v.insert(v.begin() + map.first, block.begin(), block.end());
    };
    gather(rowData, 0);
    gather(mergeRows, 0);
    gather(rowSource, -1);
    ++version;
}

GridModel::GridModel()
    : d(std::make_unique<Private>())
{
}
GridModel::~GridModel() = default;

// ---- dimensions ----------------------------------------------------------------------------

int GridModel::rows() const
{
    return d->rows();
}
int GridModel::cols() const
{
    return d->cols();
}

void GridModel::setRows(int rows)
{
    rows = std::max(rows, 0);
    if (rows == d->rows())
        return;
    d->text.setRows(rows);
    d->rowSizes.setCount(rows);
    if (!d->rowData.empty())
        d->rowData.resize(size_t(rows), 0);
    if (!d->mergeRows.empty())
        d->mergeRows.resize(size_t(rows), 0);
    if (!d->rowSource.empty())
        d->rowSource.resize(size_t(rows), -1);
    d->formats.truncate(rows, d->cols());
    ++d->version;
}

void GridModel::setCols(int cols)
{
    cols = std::max(cols, 0);
    if (cols == d->cols())
        return;
    d->text.setCols(cols);
    d->colSizes.setCount(cols);
    d->colInfo.resize(size_t(cols));
    d->formats.truncate(d->rows(), cols);
    ++d->version;
}

// ---- text ----------------------------------------------------------------------------------

QString GridModel::text(int row, int col) const
{
    QString s;
    readText(row, col, s);
    return s;
}

void GridModel::readText(int row, int col, QString &into) const
{
    if (!d->inRange(row, col)) {
        into.clear();
        return;
    }
    const auto h = d->text.handle(row, col);
    if (h == GridTextStore::kNone && d->readsThrough(row, col))
        into = d->boundText(row, col);
    else
        d->text.read(h, into);
}

void GridModel::setText(int row, int col, const QString &text)
{
    if (!d->inRange(row, col))
        return;
    // An empty text written over a bound cell must hide the record's value.
    d->text.set(row, col, text, d->readsThrough(row, col));
    ++d->version;
}

void GridModel::insertRow(int row, const QStringList &cells)
{
    row = std::clamp(row, 0, d->rows());
    d->text.insertRow(row);
    d->rowSizes.insert(row);
    if (!d->rowData.empty())
        d->rowData.insert(d->rowData.begin() + row, 0);
    if (!d->mergeRows.empty())
        d->mergeRows.insert(d->mergeRows.begin() + row, 0);
    if (!d->rowSource.empty())
        d->rowSource.insert(d->rowSource.begin() + row, -1);
    d->formats.insertRow(row);
    const int n = std::min<int>(int(cells.size()), d->cols());
    for (int c = 0; c < n; ++c)
        d->text.set(row, c, cells[c]);
    ++d->version;
}

void GridModel::removeRow(int row)
{
    if (row < 0 || row >= d->rows())
        return;
    d->text.removeRow(row);
    d->rowSizes.remove(row);
    if (!d->rowData.empty())
        d->rowData.erase(d->rowData.begin() + row);
    if (!d->mergeRows.empty())
        d->mergeRows.erase(d->mergeRows.begin() + row);
    if (!d->rowSource.empty())
        d->rowSource.erase(d->rowSource.begin() + row);
    d->formats.removeRow(row);
    ++d->version;
}

void GridModel::moveCol(int from, int to)
{
    const int n = d->cols();
    if (from < 0 || to < 0 || from >= n || to >= n || from == to)
        return;
    d->text.moveCol(from, to);
    d->formats.moveCol(from, to);
    d->colSizes.move(from, to);
    rotateOne(d->colInfo, from, to);
    ++d->version;
}

void GridModel::clearTextAndFormats()
{
    d->text.clear();
    d->formats.clear();
    if (!d->live) {
        d->recordset.reset();
        d->rowSource.clear();
        for (auto &info : d->colInfo)
            info.field = -1;
    }
    ++d->version;
}

// ---- formats -------------------------------------------------------------------------------

bool GridModel::setFormat(const CellRange &range, CellAttr attr, const QVariant &value)
{
    CellRange r = normalized(range);
    // Clip to the grid; a range wholly outside it formats nothing.
    r.row1 = std::max(r.row1, 0);
    r.col1 = std::max(r.col1, 0);
    r.row2 = std::min(r.row2, d->rows() - 1);
    r.col2 = std::min(r.col2, d->cols() - 1);
    if (r.row1 > r.row2 || r.col1 > r.col2)
        return false;
    return d->formats.set(r, attr, value);
}

QVariant GridModel::format(int row, int col, CellAttr attr) const
{
    if (!d->inRange(row, col))
        return {};
    return d->formats.get(row, col, attr);
}

void GridModel::clearFormats()
{
    d->formats.clear();
}

// ---- geometry ------------------------------------------------------------------------------

qint32 GridModel::colWidth(int col) const
{
    return d->colSizes.twips(col);
}
void GridModel::setColWidth(int col, qint32 twips)
{
    d->colSizes.setSize(col, twips);
}
qint32 GridModel::rowHeight(int row) const
{
    return d->rowSizes.twips(row);
}
void GridModel::setRowHeight(int row, qint32 twips)
{
    d->rowSizes.setSize(row, twips);
}

int GridModel::effectiveColWidth(int col, int defaultWidth) const
{
    return d->colSizes.effective(col, defaultWidth);
}

int GridModel::effectiveRowHeight(int row, int defaultHeight) const
{
    return d->rowSizes.effective(row, defaultHeight);
}

qint64 GridModel::rowPos(int row, int defaultHeight) const
{
    return d->rowSizes.position(row, defaultHeight);
}

qint64 GridModel::colPos(int col, int defaultWidth) const
{
    return d->colSizes.position(col, defaultWidth);
}

int GridModel::rowAt(qint64 offset, int defaultHeight) const
{
    return d->rowSizes.at(offset, defaultHeight);
}

int GridModel::colAt(qint64 offset, int defaultWidth) const
{
    return d->colSizes.at(offset, defaultWidth);
}

// ---- per column and per row ----------------------------------------------------------------

int GridModel::colAlignment(int col) const
{
    return (col >= 0 && col < d->cols()) ? d->colInfo[size_t(col)].alignment : 9;
}

void GridModel::setColAlignment(int col, int alignment)
{
    if (col >= 0 && col < d->cols())
        d->colInfo[size_t(col)].alignment = alignment;
}

int GridModel::fixedAlignment(int col) const
{
    return (col >= 0 && col < d->cols()) ? d->colInfo[size_t(col)].fixedAlignment : -1;
}

void GridModel::setFixedAlignment(int col, int alignment)
{
    if (col >= 0 && col < d->cols())
        d->colInfo[size_t(col)].fixedAlignment = alignment;
}

qint32 GridModel::colData(int col) const
{
    return (col >= 0 && col < d->cols()) ? d->colInfo[size_t(col)].data : 0;
}

void GridModel::setColData(int col, qint32 value)
{
    if (col >= 0 && col < d->cols())
        d->colInfo[size_t(col)].data = value;
}

qint32 GridModel::rowData(int row) const
{
    return (row >= 0 && size_t(row) < d->rowData.size()) ? d->rowData[size_t(row)] : 0;
}

void GridModel::setRowData(int row, qint32 value)
{
    if (row < 0 || row >= d->rows())
        return;
    if (d->rowData.empty()) {
        if (value == 0)
            return;
        d->rowData.assign(size_t(d->rows()), 0);
    }
    d->rowData[size_t(row)] = value;
}

bool GridModel::mergeRow(int row) const
{
    return row >= 0 && size_t(row) < d->mergeRows.size() && d->mergeRows[size_t(row)];
}

void GridModel::setMergeRow(int row, bool merge)
{
    if (row < 0 || row >= d->rows())
        return;
    if (d->mergeRows.empty()) {
        if (!merge)
            return;
        d->mergeRows.assign(size_t(d->rows()), 0);
    }
    d->mergeRows[size_t(row)] = merge;
    ++d->version;
}

bool GridModel::mergeCol(int col) const
{
    return col >= 0 && col < d->cols() && d->colInfo[size_t(col)].merge;
}

void GridModel::setMergeCol(int col, bool merge)
{
    if (col >= 0 && col < d->cols()) {
        d->colInfo[size_t(col)].merge = merge;
        ++d->version;
    }
}

quint64 GridModel::textStamp() const
{
    const Recordset *rs = d->recordset.get();
    const quint64 rsStamp = rs ? rs->ChangeStamp() : 0;
    const int locale = rs ? userLocaleGeneration() : 0;
    if (rs != d->stampedRecordset || rsStamp != d->stampedRecordsetStamp
        || locale != d->stampedLocale) {
        d->stampedRecordset = rs;
        d->stampedRecordsetStamp = rsStamp;
        d->stampedLocale = locale;
        ++d->version;
    }
    return d->version;
}

qint64 GridModel::memoryUsage() const
{
    return d->text.memoryUsage() + qint64(d->rowData.capacity() * sizeof(qint32))
        + qint64(d->mergeRows.capacity()) + qint64(d->rowSource.capacity() * sizeof(std::int32_t));
}

} // namespace tessera::detail
