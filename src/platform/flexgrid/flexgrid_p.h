// FlexGridPrivate: the widget's state beside the GridModel, and the helpers its topic files share
// (checks and errors, cursor moves with their events, scrolling, pixel geometry of cells).
#pragma once

#include "grid_model.h"

#include <tessera/FlexGrid.h>

#include <QHash>
#include <QPoint>
#include <QRect>

#include <algorithm>
#include <cstdint>
#include <optional>

namespace tessera {

using detail::CellAttr;
using detail::CellRange;

// Largest grid a host may ask for: each written cell costs a handle and each column its own
// store, so bigger requests are refused before anything is allocated.
constexpr qint64 MaxGridCells = qint64(1) << 27;
constexpr qint64 MaxGridCols = qint64(1) << 20;

class FlexGridPrivate {
public:
    explicit FlexGridPrivate(FlexGrid *grid);

    FlexGrid *q;
    detail::GridModel model;

    int fixedRows = 1;
    int fixedCols = 1;
    // Cursor: (row, col) is the current cell, (rowSel, colSel) the other corner of the selection.
    int row = 1, col = 1, rowSel = 1, colSel = 1;
    int topRow = 1, leftCol = 1;
    int mouseRow = 0, mouseCol = 0;

    qint16 selectionMode = 0;
    bool allowBigSelection = true;
    qint16 highLight = 1;
    qint16 focusRect = 1;
    qint16 fillStyle = 0;

    qint32 backColor = qint32(0x80000005);
    qint32 foreColor = qint32(0x80000008);
    qint32 backColorFixed = qint32(0x8000000F);
    qint32 foreColorFixed = qint32(0x80000012);
    qint32 backColorSel = qint32(0x8000000D);
    qint32 foreColorSel = qint32(0x8000000E);
    qint32 backColorBkg = qint32(0x8000000C);
    qint32 gridColor = 0xC0C0C0;
    qint32 gridColorFixed = 0x000000;
    qint16 gridLines = 1;
    qint16 gridLinesFixed = 2;
    qint16 gridLineWidth = 1;
    qint16 textStyle = 0;
    qint16 textStyleFixed = 0;
    qint16 appearance = 1;
    qint16 borderStyle = 1;
    qint16 scrollBars = 3;
    bool scrollTrack = false;
    qint16 allowUserResizing = 0;
    qint16 mousePointer = 0;
    QPixmap mouseIcon;
    qint16 oleDropMode = 0;
    bool rightToLeft = false;
    qint16 pictureType = 0;
    bool redraw = true;
    QFont font; // set through setGridFont, which measures it once
    int fontLineHeight = 0; // pixels; row heights ask for it on every move
    std::optional<QFont> fontFixed; // none: fixed cells follow `font`
    float fontWidth = 0;
    qint16 rowSizingMode = 0;
    qint32 defaultRowHeightSet = -1; // twips; set by a RowHeight under RowSizingMode 1
    bool wordWrap = false;
    qint16 mergeCells = 0;
    qint32 rowHeightMin = 0; // twips
    QString formatString;
    QHash<qint32, bool> containerSettings;
    qint32 hwnd = 0;
    RecordsetPtr dataSource;
    quint64 paintedStamp = 0; // the record set's change stamp as last repainted
    DataBindingCollection dataBindings;

    // Mouse interaction in progress.
    enum class Drag { None, Cells, FixedRowsSel, FixedColsSel, ResizeCol, ResizeRow };
    Drag drag = Drag::None;
    int resizeIndex = -1;
    int resizeOrigin = 0; // pixel position of the dragged border's start
    bool clickPending = false;

    // --- checks (throw tessera::Error, state unchanged) ---
    void checkCell(int r, int c) const; // 381
    void checkRowIndex(int r) const; // 381
    void checkColIndex(int c) const; // 381
    void checkRowValue(int r) const; // 30009
    void checkColValue(int c) const; // 30010
    static void checkRange(qint64 value, qint64 min, qint64 max); // 380
    static void invalidValue();

    // The one setter shape for a plain setting: a value outside min..max raises 380, an unchanged
    // value does nothing, else it is stored and `apply` runs (a repaint when none is given).
    template<class T, class Apply> void assign(T &field, T value, Apply &&apply)
    {
        if (field == value)
            return;
        field = value;
        apply();
    }
    template<class T> void assign(T &field, T value)
    {
        assign(field, value, [this] { update(); });
    }
    template<class T, class Apply> void assign(T &field, T value, int min, int max, Apply &&apply)
    {
        checkRange(value, min, max);
        assign(field, value, std::forward<Apply>(apply));
    }
    template<class T> void assign(T &field, T value, int min, int max)
    {
        assign(field, value, min, max, [this] { update(); });
    }
    static void nothingToApply() { }
    // Error 7 when a grid of rows x cols would exceed the limits above.
    static void checkCapacity(qint64 rows, qint64 cols);

    // --- sizes (pixels, unless named twips) ---
    int defaultColWidth() const;
    int defaultRowHeight() const;
    void setGridFont(const QFont &f);
    qint32 defaultRowHeightTwips() const;
    // Exact twips of a column or row: as set, else its default.
    qint32 colWidthTwips(int c) const;
    qint32 rowHeightTwips(int r) const;

    int colW(int c) const { return model.effectiveColWidth(c, defaultColWidth()); }
    int rowH(int r) const;
    qint64 rowStart(int r) const { return model.rowPos(r, defaultRowHeight()); }
    qint64 colStart(int c) const { return model.colPos(c, defaultColWidth()); }
    int fixedHeight() const { return int(rowStart(fixedRows)); }
    int fixedWidth() const { return int(colStart(fixedCols)); }

    // --- geometry in viewport pixels, before right-to-left mirroring ---
    int rowY(int r) const; // top of row r as drawn
    int colX(int c) const; // left of column c as drawn
    QRect cellRect(int r, int c) const;
    QRect rangeRect(const CellRange &range) const;
    int mirrorX(int x, int w) const; // x of a w-wide box after mirroring
    // Row or column under a viewport point (-1 when outside the cells).
    int rowAtY(int y) const;
    int colAtX(int x) const; // x already un-mirrored
    int lastVisibleRow() const; // last row drawn (partly) in the viewport
    int lastVisibleCol() const;
    int lastFullyVisibleRow() const;
    int lastFullyVisibleCol() const;
    int maxTopRow() const;
    int maxLeftCol() const;

    // --- cursor and selection ---
    CellRange selection() const; // normalized Row..RowSel x Col..ColSel
    CellRange shownSelection() const; // as highlighted (SelectionMode widens it)
    CellRange fillRange() const; // cells a Cell* write reaches
    // Moves the cursor and selection, raising LeaveCell/EnterCell/RowColChange/SelChange.
    void moveTo(int r, int c, int rs, int cs);
    void ensureVisible(int r, int c);
    void clampCursor();

    // --- scrolling ---
    void setTopLeft(int top, int left); // clamps; raises Scroll when either changes
    void updateScrollBars();
    bool syncingScrollBars = false;

    // --- formats ---
    void setFormat(CellAttr attr, const QVariant &value);
    QVariant currentFormat(CellAttr attr) const;
    QFont cellFont(int r, int c) const;
    QColor color(qint32 ole) const;

    // --- look ---
    void applyFrame();
    void applyScrollBarPolicy();
    void applyCursorShape();
    // Repaints. update() asks for the whole viewport; updateCells() collects the cells that
    // changed until the event loop comes round, then asks for just the pixels they cover.
    void update();
    bool updatePending = false;
    void updateCells(const CellRange &range);
    void flushCellUpdates();
    std::vector<CellRange> changedCells;
    bool cellFlushQueued = false;
    // What of a cell range shows in the viewport, as one rectangle (mirrored); empty if none.
    QRect visibleRect(const CellRange &range) const;
    void layoutChanged(); // sizes changed: scroll bars, clamps, repaint
    // Rows follow the bound record set's view if it changed (Refresh, a batch of a load).
    void followView();

    // Fires a signal unless the grid is being destroyed.
    bool alive = true;
};

// Key code of the classic grid for a Qt key (0 when it has none).
qint16 virtualKeyCode(int qtKey);
qint16 shiftMask(Qt::KeyboardModifiers modifiers);

} // namespace tessera
