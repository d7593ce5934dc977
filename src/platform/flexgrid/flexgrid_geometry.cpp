// FlexGrid geometry: default sizes, where rows and columns are drawn (fixed ones frozen, the rest
// from TopRow/LeftCol on), hit tests, the twips members, and per column and per row settings.
#include "flexgrid_p.h"

#include <QFontMetrics>

namespace tessera {

// --- sizes -------------------------------------------------------------------------------------

int FlexGridPrivate::defaultColWidth() const
{
    return 64;
}

qint32 FlexGridPrivate::defaultRowHeightTwips() const
{
    if (defaultRowHeightSet >= 0)
        return defaultRowHeightSet;
    return std::max(toTwips(fontLineHeight + 4), rowHeightMin);
}

void FlexGridPrivate::setGridFont(const QFont &f)
{
    font = f;
    fontLineHeight = QFontMetrics(font).height();
}

int FlexGridPrivate::defaultRowHeight() const
{
    return toPixels(defaultRowHeightTwips());
}

qint32 FlexGridPrivate::colWidthTwips(int c) const
{
    const qint32 w = model.colWidth(c);
    return w < 0 ? toTwips(defaultColWidth()) : w;
}

qint32 FlexGridPrivate::rowHeightTwips(int r) const
{
    const qint32 h = model.rowHeight(r);
    return h < 0 ? defaultRowHeightTwips() : h;
}

int FlexGridPrivate::rowH(int r) const
{
    return model.effectiveRowHeight(r, defaultRowHeight());
}

// --- positions in the viewport -----------------------------------------------------------------

int FlexGridPrivate::rowY(int r) const
{
    if (r < fixedRows)
        return int(rowStart(r));
    return int(fixedHeight() + rowStart(r) - rowStart(topRow));
}

int FlexGridPrivate::colX(int c) const
{
    if (c < fixedCols)
        return int(colStart(c));
    return int(fixedWidth() + colStart(c) - colStart(leftCol));
}

QRect FlexGridPrivate::cellRect(int r, int c) const
{
    return QRect(colX(c), rowY(r), colW(c), rowH(r));
}

QRect FlexGridPrivate::rangeRect(const CellRange &range) const
{
    const int x1 = colX(range.col1), y1 = rowY(range.row1);
    const int x2 = colX(range.col2) + colW(range.col2);
    const int y2 = rowY(range.row2) + rowH(range.row2);
    return QRect(x1, y1, x2 - x1, y2 - y1);
}

int FlexGridPrivate::mirrorX(int x, int w) const
{
    return rightToLeft ? q->viewport()->width() - x - w : x;
}

int FlexGridPrivate::rowAtY(int y) const
{
    const int rows = model.rows();
    if (y < 0 || rows == 0)
        return -1;
    const int fh = fixedHeight();
    qint64 offset;
    if (y < fh)
        offset = y;
    else if (topRow < rows)
        offset = y - fh + rowStart(topRow);
    else
        return -1;
    if (offset >= rowStart(rows))
        return -1;
    return model.rowAt(offset, defaultRowHeight());
}

int FlexGridPrivate::colAtX(int x) const
{
    const int cols = model.cols();
    if (x < 0 || cols == 0)
        return -1;
    const int fw = fixedWidth();
    qint64 offset;
    if (x < fw)
        offset = x;
    else if (leftCol < cols)
        offset = x - fw + colStart(leftCol);
    else
        return -1;
    if (offset >= colStart(cols))
        return -1;
    return model.colAt(offset, defaultColWidth());
}

int FlexGridPrivate::lastVisibleRow() const
{
    const int rows = model.rows();
    if (rows <= fixedRows)
        return rows - 1;
    const int r = rowAtY(std::max(0, q->viewport()->height() - 1));
    return r < 0 ? rows - 1 : r;
}

int FlexGridPrivate::lastVisibleCol() const
{
    const int cols = model.cols();
    if (cols <= fixedCols)
        return cols - 1;
    const int c = colAtX(std::max(0, q->viewport()->width() - 1));
    return c < 0 ? cols - 1 : c;
}

int FlexGridPrivate::lastFullyVisibleRow() const
{
    const int r = lastVisibleRow();
    if (r > topRow && rowY(r) + rowH(r) > q->viewport()->height())
        return r - 1;
    return r;
}

int FlexGridPrivate::lastFullyVisibleCol() const
{
    const int c = lastVisibleCol();
    if (c > leftCol && colX(c) + colW(c) > q->viewport()->width())
        return c - 1;
    return c;
}

// --- twips members -----------------------------------------------------------------------------

qint32 FlexGrid::ColWidth(qint32 index) const
{
    d->checkColIndex(index);
    return d->model.colWidth(index);
}

void FlexGrid::setColWidth(qint32 index, qint32 width)
{
    d->checkColIndex(index);
    if (width < -1)
        FlexGridPrivate::invalidValue();
    d->model.setColWidth(index, width);
    d->layoutChanged();
}

qint32 FlexGrid::RowHeight(qint32 index) const
{
    d->checkRowIndex(index);
    return d->rowHeightTwips(index);
}

void FlexGrid::setRowHeight(qint32 index, qint32 height)
{
    d->checkRowIndex(index);
    if (height < -1)
        FlexGridPrivate::invalidValue();
    if (height >= 0)
        height = std::max(height, d->rowHeightMin);
    if (d->rowSizingMode == 1) {
        // One height for every row: it becomes the default and individual heights go.
        d->defaultRowHeightSet = height;
        for (int r = 0, n = d->model.rows(); r < n; ++r)
            if (d->model.rowHeight(r) >= 0)
                d->model.setRowHeight(r, -1);
    } else {
        d->model.setRowHeight(index, height);
    }
    d->layoutChanged();
}

qint32 FlexGrid::RowHeightMin() const
{
    return d->rowHeightMin;
}

void FlexGrid::setRowHeightMin(qint32 height)
{
    if (height < 0)
        FlexGridPrivate::invalidValue();
    d->rowHeightMin = height;
    d->layoutChanged();
}

qint32 FlexGrid::ColPos(qint32 index) const
{
    d->checkColIndex(index);
    return toTwips(viewport()->x() + d->mirrorX(d->colX(index), d->colW(index)));
}

qint32 FlexGrid::RowPos(qint32 index) const
{
    d->checkRowIndex(index);
    return toTwips(viewport()->y() + d->rowY(index));
}

qint32 FlexGrid::CellLeft() const
{
    if (d->col >= d->model.cols())
        return 0;
    return ColPos(d->col);
}

qint32 FlexGrid::CellTop() const
{
    if (d->row >= d->model.rows())
        return 0;
    return RowPos(d->row);
}

qint32 FlexGrid::CellWidth() const
{
    return d->col < d->model.cols() ? d->colWidthTwips(d->col) : 0;
}

qint32 FlexGrid::CellHeight() const
{
    return d->row < d->model.rows() ? d->rowHeightTwips(d->row) : 0;
}

bool FlexGrid::RowIsVisible(qint32 index) const
{
    d->checkRowIndex(index);
    if (index < d->fixedRows)
        return d->rowY(index) < viewport()->height();
    return index >= d->topRow && d->rowY(index) < viewport()->height();
}

bool FlexGrid::ColIsVisible(qint32 index) const
{
    d->checkColIndex(index);
    if (index < d->fixedCols)
        return d->colX(index) < viewport()->width();
    return index >= d->leftCol && d->colX(index) < viewport()->width();
}

// --- per column and per row --------------------------------------------------------------------

qint16 FlexGrid::ColAlignment(qint32 index) const
{
    d->checkColIndex(index);
    return qint16(d->model.colAlignment(index));
}

void FlexGrid::setColAlignment(qint32 index, qint16 alignment)
{
    d->checkColIndex(index);
    FlexGridPrivate::checkRange(alignment, 0, flexAlignGeneral);
    d->model.setColAlignment(index, alignment);
    d->update();
}

qint16 FlexGrid::FixedAlignment(qint32 index) const
{
    d->checkColIndex(index);
    const int a = d->model.fixedAlignment(index);
    return qint16(a < 0 ? d->model.colAlignment(index) : a);
}

void FlexGrid::setFixedAlignment(qint32 index, qint16 alignment)
{
    d->checkColIndex(index);
    FlexGridPrivate::checkRange(alignment, 0, flexAlignGeneral);
    d->model.setFixedAlignment(index, alignment);
    d->update();
}

qint32 FlexGrid::ColData(qint32 index) const
{
    d->checkColIndex(index);
    return d->model.colData(index);
}

void FlexGrid::setColData(qint32 index, qint32 value)
{
    d->checkColIndex(index);
    d->model.setColData(index, value);
}

qint32 FlexGrid::RowData(qint32 index) const
{
    d->checkRowIndex(index);
    return d->model.rowData(index);
}

void FlexGrid::setRowData(qint32 index, qint32 value)
{
    d->checkRowIndex(index);
    d->model.setRowData(index, value);
}

void FlexGrid::setColPosition(qint32 index, qint32 position)
{
    d->checkColIndex(index);
    d->checkColIndex(position);
    if (index == position)
        return;
    d->model.moveCol(index, position);
    d->layoutChanged();
}

bool FlexGrid::WordWrap() const
{
    return d->wordWrap;
}

void FlexGrid::setWordWrap(bool wrap)
{
    d->assign(d->wordWrap, wrap);
}

qint16 FlexGrid::MergeCells() const
{
    return d->mergeCells;
}

void FlexGrid::setMergeCells(qint16 mode)
{
    d->assign(d->mergeCells, mode, 0, 4);
}

bool FlexGrid::MergeRow(qint32 index) const
{
    d->checkRowIndex(index);
    return d->model.mergeRow(index);
}

void FlexGrid::setMergeRow(qint32 index, bool merge)
{
    d->checkRowIndex(index);
    d->model.setMergeRow(index, merge);
    d->update();
}

bool FlexGrid::MergeCol(qint32 index) const
{
    d->checkColIndex(index);
    return d->model.mergeCol(index);
}

void FlexGrid::setMergeCol(qint32 index, bool merge)
{
    d->checkColIndex(index);
    d->model.setMergeCol(index, merge);
    d->update();
}

} // namespace tessera
