// GridModel: the FlexGrid's storage, independent of painting and input.
// Cell text (own cells, or read through to a bound record set with an overlay for written cells),
// cell formats stored as rectangles rather than per cell, row and column geometry and data,
// merging and sorting. Rows and columns count from 0; sizes are set in twips, positions are in
// pixels.
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace tessera {
class Recordset;
using RecordsetPtr = std::shared_ptr<Recordset>;
} // namespace tessera

namespace tessera::detail {

// Inclusive rectangle of cells; normalized (row1 <= row2, col1 <= col2) by the model.
struct CellRange {
    int row1 = 0, col1 = 0, row2 = 0, col2 = 0;
};

// How rows first..first + oldCount - 1 are replaced by from.size() rows: new row first + i is old
// row first + from[i], or a new empty row where from[i] < 0; old rows left out are dropped and the
// rows below shift. Each old row appears at most once. A sort is the case of a permutation.
struct RowRemap {
    int first = 0;
    int oldCount = 0;
    std::vector<int> from;
    int newCount() const { return int(from.size()); }
    int delta() const { return newCount() - oldCount; }
    // New position of every old row of the block, -1 when dropped.
    std::vector<int> inverse() const
    {
        std::vector<int> to(size_t(oldCount), -1);
        for (size_t i = 0; i < from.size(); ++i)
            if (from[i] >= 0)
                to[size_t(from[i])] = int(i);
        return to;
    }
};

// The per-cell formats a FlexGrid stores (its Cell* members).
enum class CellAttr {
    BackColor, // qint32 OLE colour
    ForeColor, // qint32 OLE colour
    Alignment, // int, flexAlign* code
    TextStyle, // int
    Picture, // QPixmap
    PictureAlignment, // int
    FontName, // QString
    FontSize, // float
    FontBold, // bool
    FontItalic, // bool
    FontUnderline, // bool
    FontStrikeThrough, // bool
    FontWidth, // float
    Count
};

// Sort codes of the classic grid: 1/2 generic, 3/4 numeric, 5/6 text ignoring case, 7/8 text,
// 9 custom (through the compare callback).
enum SortCode {
    SortNone = 0,
    SortGenericAscending = 1,
    SortGenericDescending = 2,
    SortNumericAscending = 3,
    SortNumericDescending = 4,
    SortStringNoCaseAscending = 5,
    SortStringNoCaseDescending = 6,
    SortStringAscending = 7,
    SortStringDescending = 8,
    SortCustom = 9,
};

class GridModel {
public:
    GridModel();
    ~GridModel();
    GridModel(const GridModel &) = delete;
    GridModel &operator=(const GridModel &) = delete;

    // Dimensions: growing or shrinking keeps the other cells (and their formats).
    int rows() const;
    int cols() const;
    void setRows(int rows);
    void setCols(int cols);

    // Text. Out-of-range access is the caller's to check.
    QString text(int row, int col) const;
    // The same into `into`, reusing its buffer (see GridTextStore::read).
    void readText(int row, int col, QString &into) const;
    void setText(int row, int col, const QString &text);
    // Inserts one row at `row` (0..rows()), cells from `cells` left to right; the rest empty.
    // Formats stay with their cells; a row inserted inside a formatted range takes its format.
    void insertRow(int row, const QStringList &cells = {});
    void removeRow(int row);
    // Moves column `from` to position `to`, shifting the columns between (text, formats, widths,
    // alignment and column data travel with the column).
    void moveCol(int from, int to);
    // Empties every cell's written text and clears all cell formats; dimensions stay. Rows of a
    // live binding show their records again; rows kept after unbind() become empty.
    void clearTextAndFormats();

    // Cell formats, stored as ranges: formatting a whole column is one entry, not one per cell.
    // False when nothing shown changed (see GridFormats::set).
    bool setFormat(const CellRange &range, CellAttr attr, const QVariant &value);
    // The value set last over (row, col), or an invalid QVariant when none was set.
    QVariant format(int row, int col, CellAttr attr) const;
    void clearFormats();

    // Geometry in twips exactly as set (drawn as the nearest pixels); -1 means "not set" (drawn
    // with the default size), and a negative size clears.
    qint32 colWidth(int col) const;
    void setColWidth(int col, qint32 twips);
    qint32 rowHeight(int row) const;
    void setRowHeight(int row, qint32 twips);
    // Effective sizes in pixels, given the defaults for unset entries.
    int effectiveColWidth(int col, int defaultWidth) const;
    int effectiveRowHeight(int row, int defaultHeight) const;
    // Offset of a row or column from the first one, in pixels; cheap at a million rows.
    qint64 rowPos(int row, int defaultHeight) const;
    qint64 colPos(int col, int defaultWidth) const;
    // The row or column containing a pixel offset from the first one (clamped to the last).
    int rowAt(qint64 offset, int defaultHeight) const;
    int colAt(qint64 offset, int defaultWidth) const;

    // Per column and per row values.
    int colAlignment(int col) const; // flexAlign* code, default 9 (general)
    void setColAlignment(int col, int alignment);
    int fixedAlignment(int col) const; // -1 when not set: fixed cells then follow colAlignment
    void setFixedAlignment(int col, int alignment);
    qint32 colData(int col) const;
    void setColData(int col, qint32 value);
    qint32 rowData(int row) const;
    void setRowData(int row, qint32 value);
    bool mergeRow(int row) const;
    void setMergeRow(int row, bool merge);
    bool mergeCol(int col) const;
    void setMergeCol(int col, bool merge);

    // Merging: the range of cells drawn as one with (row, col) under the given MergeCells mode
    // (0 never, 1 free, 2 restrict rows, 3 restrict columns, 4 restrict both); a 1x1 range when
    // the cell is not merged. `fixedRows`/`fixedCols` let fixed cells merge among themselves.
    // Equal non-empty texts merge side by side in a MergeRow row and one above the other in a
    // MergeCol column; 2 merges down a column only where the column to the left merged too, 3
    // along a row only where the row above merged too. The result is always a rectangle.
    CellRange mergedRange(int row, int col, int mergeCells, int fixedRows, int fixedCols) const;

    // Sorts rows first..last (inclusive) as whole rows, stably, with columns keyCol1..keyCol2 as
    // keys from left to right. `compare` serves SortCustom: it returns <0, 0 or >0 for two rows,
    // which stay in place while it runs. Whole rows move: text, formats, heights, row data, merge
    // flags and bound records. Numeric sorts read the leading number of a text (Val: "." is the
    // decimal point); generic sorts put numbers (the user's numeric test) before texts; a bound
    // cell gives its typed value. Texts compare by UTF-16 code units (5/6 after case folding).
    void sortRows(int first, int last, int keyCol1, int keyCol2, int code,
        const std::function<int(int row1, int row2)> &compare = {});

    // Binding: each data row reads through to one record (by record number, so a row keeps its
    // record whatever the record set's view does), field k in column fixedCols + k and view
    // record n (1-based) in row fixedRows + n - 1; header row 0 gets the field names. A written
    // cell hides its record's value and belongs to that record.
    void bind(const RecordsetPtr &recordset, int fixedRows, int fixedCols);
    // Follows the view when its records or their order changed since the last look (a filter put
    // back as it was is no change): rows of records still there keep their written text, formats,
    // heights and data and move to their record's place; rows of vanished records go; new
    // records get fresh rows. Records only added at the end (a load in batches) just add rows
    // at the end. Columns and fixed rows stay as they are.
    enum class BindingChange { None, Appended, Rearranged };
    BindingChange syncBinding();
    // Stops following the record set at no cost: the rows keep showing what they showed (until
    // cleared or bound again), and the record set is kept alive for them meanwhile.
    void unbind();
    RecordsetPtr boundRecordset() const; // null once unbound
    // Field name shown by a column, "" for none.
    QString dataField(int col) const;

    // Approximate heap bytes used by text storage (for benchmarks).
    qint64 memoryUsage() const;
    // Grows whenever a cell's text may have changed: written, moved, or re-read from the record
    // set.
    quint64 textStamp() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace tessera::detail
