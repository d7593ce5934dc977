// FlexGrid cursor and selection: Row/Col/RowSel/ColSel with their events, TopRow/LeftCol and the
// scroll bars (rows and columns scroll as whole units), selection modes and highlight settings.
//
// Event order for a move from cell A to cell B (by the user or by code):
//   LeaveCell (A current) -> cursor changes -> EnterCell -> RowColChange -> SelChange.
#include "flexgrid_p.h"

#include <QScrollBar>

namespace tessera {

// --- selection ranges --------------------------------------------------------------------------

CellRange FlexGridPrivate::selection() const
{
    return { std::min(row, rowSel), std::min(col, colSel), std::max(row, rowSel),
        std::max(col, colSel) };
}

CellRange FlexGridPrivate::shownSelection() const
{
    CellRange r = selection();
    if (selectionMode == 1 && model.cols() > 0) {
        r.col1 = std::min(r.col1, fixedCols);
        r.col2 = model.cols() - 1;
    } else if (selectionMode == 2 && model.rows() > 0) {
        r.row1 = std::min(r.row1, fixedRows);
        r.row2 = model.rows() - 1;
    }
    return r;
}

CellRange FlexGridPrivate::fillRange() const
{
    // Exactly Row/Col to RowSel/ColSel: a by-row highlight must not widen a column's formatting.
    if (fillStyle == 1)
        return selection();
    return { row, col, row, col };
}

// --- cursor moves ------------------------------------------------------------------------------

// The control's own Row/Col writes raise these same events in this order themselves, with the
// grid's signals blocked (Tessera's trackedMove): keep the two in step.
void FlexGridPrivate::moveTo(int r, int c, int rs, int cs)
{
    const bool cellChanged = r != row || c != col;
    const bool selChanged = cellChanged || rs != rowSel || cs != colSel;
    if (!selChanged)
        return;
    // Blocked signals are skipped here: each raise would still look up its connections.
    const bool raise = !q->signalsBlocked();
    // What was highlighted and what will be: only those cells need painting.
    const CellRange before = shownSelection();
    if (cellChanged && raise)
        Q_EMIT q->LeaveCell();
    row = r;
    col = c;
    rowSel = rs;
    colSel = cs;
    updateCells(before);
    updateCells(shownSelection());
    if (!raise)
        return;
    if (cellChanged) {
        Q_EMIT q->EnterCell();
        Q_EMIT q->RowColChange();
    }
    Q_EMIT q->SelChange();
}

void FlexGridPrivate::clampCursor()
{
    auto clamp = [](int v, int n) { return std::max(0, std::min(v, n - 1)); };
    const int rows = model.rows(), cols = model.cols();
    row = clamp(row, rows);
    rowSel = clamp(rowSel, rows);
    col = clamp(col, cols);
    colSel = clamp(colSel, cols);
    mouseRow = clamp(mouseRow, rows);
    mouseCol = clamp(mouseCol, cols);
    setTopLeft(topRow, leftCol);
}

void FlexGridPrivate::ensureVisible(int r, int c)
{
    int top = topRow, left = leftCol;
    const int availH = q->viewport()->height() - fixedHeight();
    const int availW = q->viewport()->width() - fixedWidth();
    if (r >= fixedRows) {
        if (r < top) {
            top = r;
        } else if (rowY(r) + rowH(r) > q->viewport()->height()) {
            // The lowest top row that still shows all of r.
            top = r;
            int used = rowH(r);
            while (top > fixedRows && used + rowH(top - 1) <= availH) {
                --top;
                used += rowH(top);
            }
        }
    }
    if (c >= fixedCols) {
        if (c < left) {
            left = c;
        } else if (colX(c) + colW(c) > q->viewport()->width()) {
            left = c;
            int used = colW(c);
            while (left > fixedCols && used + colW(left - 1) <= availW) {
                --left;
                used += colW(left);
            }
        }
    }
    setTopLeft(top, left);
}

// --- scrolling ---------------------------------------------------------------------------------

int FlexGridPrivate::maxTopRow() const
{
    const int rows = model.rows();
    if (rows <= fixedRows)
        return fixedRows;
    // Until the grid is laid out its viewport size means nothing; the first resize clamps.
    if (!q->isVisible() && q->testAttribute(Qt::WA_PendingResizeEvent))
        return rows - 1;
    const int avail = q->viewport()->height() - fixedHeight();
    const qint64 total = rowStart(rows);
    const qint64 target = total - std::max(avail, 0);
    if (target <= rowStart(fixedRows))
        return fixedRows;
    int t = model.rowAt(target, defaultRowHeight());
    if (rowStart(t) < target)
        ++t;
    return std::max(fixedRows, std::min(t, rows - 1));
}

int FlexGridPrivate::maxLeftCol() const
{
    const int cols = model.cols();
    if (cols <= fixedCols)
        return fixedCols;
    if (!q->isVisible() && q->testAttribute(Qt::WA_PendingResizeEvent))
        return cols - 1;
    const int avail = q->viewport()->width() - fixedWidth();
    const qint64 total = colStart(cols);
    const qint64 target = total - std::max(avail, 0);
    if (target <= colStart(fixedCols))
        return fixedCols;
    int t = model.colAt(target, defaultColWidth());
    if (colStart(t) < target)
        ++t;
    return std::max(fixedCols, std::min(t, cols - 1));
}

void FlexGridPrivate::setTopLeft(int top, int left)
{
    top = std::max(fixedRows, std::min(top, maxTopRow()));
    left = std::max(fixedCols, std::min(left, maxLeftCol()));
    const bool changed = top != topRow || left != leftCol;
    topRow = top;
    leftCol = left;
    updateScrollBars();
    if (changed) {
        update();
        if (alive)
            Q_EMIT q->Scroll();
    }
}

void FlexGridPrivate::updateScrollBars()
{
    syncingScrollBars = true;
    QScrollBar *v = q->verticalScrollBar();
    v->setRange(0, maxTopRow() - fixedRows);
    v->setPageStep(std::max(1, lastFullyVisibleRow() - topRow + 1));
    v->setSingleStep(1);
    v->setValue(topRow - fixedRows);
    QScrollBar *h = q->horizontalScrollBar();
    h->setRange(0, maxLeftCol() - fixedCols);
    h->setPageStep(std::max(1, lastFullyVisibleCol() - leftCol + 1));
    h->setSingleStep(1);
    h->setValue(leftCol - fixedCols);
    syncingScrollBars = false;
}

void FlexGridPrivate::layoutChanged()
{
    setTopLeft(topRow, leftCol);
    updateScrollBars();
    update();
}

void FlexGrid::scrollContentsBy(int, int)
{
    // Scrolling is by whole rows and columns through TopRow/LeftCol; nothing to shift here.
}

// --- public members ----------------------------------------------------------------------------

qint32 FlexGrid::Row() const
{
    return d->row;
}

void FlexGrid::setRow(qint32 row)
{
    d->checkRowValue(row);
    d->moveTo(row, d->col, row, d->col);
}

qint32 FlexGrid::Col() const
{
    return d->col;
}

void FlexGrid::setCol(qint32 col)
{
    d->checkColValue(col);
    d->moveTo(d->row, col, d->row, col);
}

qint32 FlexGrid::RowSel() const
{
    return d->rowSel;
}

void FlexGrid::setRowSel(qint32 rowSel)
{
    d->checkRowValue(rowSel);
    d->moveTo(d->row, d->col, rowSel, d->colSel);
}

qint32 FlexGrid::ColSel() const
{
    return d->colSel;
}

void FlexGrid::setColSel(qint32 colSel)
{
    d->checkColValue(colSel);
    d->moveTo(d->row, d->col, d->rowSel, colSel);
}

qint32 FlexGrid::TopRow() const
{
    return d->topRow;
}

void FlexGrid::setTopRow(qint32 topRow)
{
    d->checkRowValue(topRow);
    d->setTopLeft(topRow, d->leftCol);
}

qint32 FlexGrid::LeftCol() const
{
    return d->leftCol;
}

void FlexGrid::setLeftCol(qint32 leftCol)
{
    d->checkColValue(leftCol);
    d->setTopLeft(d->topRow, leftCol);
}

qint32 FlexGrid::MouseRow() const
{
    return d->mouseRow;
}
qint32 FlexGrid::MouseCol() const
{
    return d->mouseCol;
}

qint16 FlexGrid::SelectionMode() const
{
    return d->selectionMode;
}

void FlexGrid::setSelectionMode(qint16 mode)
{
    d->assign(d->selectionMode, mode, 0, 2);
}

bool FlexGrid::AllowBigSelection() const
{
    return d->allowBigSelection;
}
void FlexGrid::setAllowBigSelection(bool allow)
{
    d->assign(d->allowBigSelection, allow, FlexGridPrivate::nothingToApply);
}

qint16 FlexGrid::HighLight() const
{
    return d->highLight;
}

void FlexGrid::setHighLight(qint16 highLight)
{
    d->assign(d->highLight, highLight, 0, 2);
}

qint16 FlexGrid::FocusRect() const
{
    return d->focusRect;
}

void FlexGrid::setFocusRect(qint16 focusRect)
{
    d->assign(d->focusRect, focusRect, 0, 2);
}

qint16 FlexGrid::FillStyle() const
{
    return d->fillStyle;
}

void FlexGrid::setFillStyle(qint16 fillStyle)
{
    d->assign(d->fillStyle, fillStyle, 0, 1, FlexGridPrivate::nothingToApply);
}

} // namespace tessera
