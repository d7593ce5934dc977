// Merging: which neighbouring cells are drawn as one.
// Two cells merge when they hold the same non-empty text, lie in the same zone (fixed or
// scrollable, for rows and for columns) and their row (side by side) or column (one above the
// other) allows merging. "Restrict rows" (2) lets cells merge down a column only where the cells
// to their left merged the same way; "restrict columns" (3) lets cells merge along a row only
// where the cells above merged the same way; 4 applies both. The result is a rectangle: a
// horizontal run first, then the rows above and below that repeat exactly that run.
#include "grid_model_p.h"

#include <tessera/Recordset.h>

namespace tessera::detail {

namespace {
template<class P> struct MergeContext {
    const P *d;
    const GridModel *model;
    int mode, fixedRows, fixedCols;

    int rowZoneStart(int r) const { return r < fixedRows ? 0 : fixedRows; }
    int colZoneStart(int c) const { return c < fixedCols ? 0 : fixedCols; }
    bool sameRowZone(int a, int b) const { return (a < fixedRows) == (b < fixedRows); }
    bool sameColZone(int a, int b) const { return (a < fixedCols) == (b < fixedCols); }

    bool nonEmptyEqual(int r1, int c1, int r2, int c2) const
    {
        QString s;
        if (d->view(r1, c1, s).isEmpty())
            return false;
        return d->sameText(r1, c1, r2, c2);
    }

    // (r, c) and (r, c + 1) drawn as one.
    bool sideBySide(int r, int c) const
    {
        for (;;) {
            if (!sameColZone(c, c + 1) || !model->mergeRow(r) || !nonEmptyEqual(r, c, r, c + 1))
                return false;
            if ((mode != 3 && mode != 4) || r == rowZoneStart(r))
                return true;
            --r; // the pair above must merge too
        }
    }

    // (r, c) and (r + 1, c) drawn as one.
    bool stacked(int r, int c) const
    {
        for (;;) {
            if (!sameRowZone(r, r + 1) || !model->mergeCol(c) || !nonEmptyEqual(r, c, r + 1, c))
                return false;
            if ((mode != 2 && mode != 4) || c == colZoneStart(c))
                return true;
            --c; // the pair to the left must merge too
        }
    }

    void horizontalRun(int r, int c, int &c1, int &c2) const
    {
        c1 = c2 = c;
        const int cols = d->cols();
        while (c1 > 0 && sideBySide(r, c1 - 1))
            --c1;
        while (c2 + 1 < cols && sideBySide(r, c2))
            ++c2;
    }

    // Row r2 continues the block of rows r1 (adjacent): the same run, every column stacked.
    bool continues(int upper, int c1, int c2) const
    {
        const int lower = upper + 1;
        int a, b;
        horizontalRun(lower, c1, a, b);
        if (a != c1 || b != c2)
            return false;
        horizontalRun(upper, c1, a, b);
        if (a != c1 || b != c2)
            return false;
        for (int c = c1; c <= c2; ++c)
            if (!stacked(upper, c))
                return false;
        return true;
    }
};
} // namespace

CellRange GridModel::mergedRange(
    int row, int col, int mergeCells, int fixedRows, int fixedCols) const
{
    CellRange single { row, col, row, col };
    if (mergeCells < 1 || mergeCells > 4 || !d->inRange(row, col))
        return single;

    auto &cache = d->mergeCache;
    const quint64 stamp = d->recordset ? d->recordset->ChangeStamp() : 0;
    if (cache.version != d->version || cache.stamp != stamp || cache.mode != mergeCells
        || cache.fixedRows != fixedRows || cache.fixedCols != fixedCols) {
        cache = Private::MergeCache {};
        cache.version = d->version;
        cache.stamp = stamp;
        cache.mode = mergeCells;
        cache.fixedRows = fixedRows;
        cache.fixedCols = fixedCols;
    }
    auto &run = cache.runs[col & 63];
    if (run.col == col && row >= run.row1 && row <= run.row2)
        return CellRange { run.row1, col, run.row2, col };

    MergeContext<Private> m { d.get(), this, mergeCells, fixedRows, fixedCols };
    CellRange r = single;
    m.horizontalRun(row, col, r.col1, r.col2);
    while (r.row1 > 0 && m.continues(r.row1 - 1, r.col1, r.col2))
        --r.row1;
    while (r.row2 + 1 < d->rows() && m.continues(r.row2, r.col1, r.col2))
        ++r.row2;

    // Painting asks for every visible cell of a long vertical run; remember the last one.
    if (r.col1 == r.col2 && r.row2 - r.row1 >= 8)
        run = { col, r.row1, r.row2 };
    return r;
}

} // namespace tessera::detail
