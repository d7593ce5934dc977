// FlexGrid: a data grid widget with the programming model of the classic flexible grid control.
// Rows and columns count from 0; positions and sizes are in twips (15 per pixel); colours are OLE
// colours (0x00BBGGRR, or 0x800000nn for system colours). Bad input throws tessera::Error.
#pragma once

#include <tessera/Error.h>
#include <tessera/Twips.h>

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

#include <memory>
#include <vector>

class QMimeData;
class QPalette;

namespace tessera {

class Recordset;
using RecordsetPtr = std::shared_ptr<Recordset>;

class FlexGridPrivate;

// Error numbers the grid raises (tessera::Error::number()).
enum FlexGridError : int {
    flexErrOutOfMemory = 7,
    flexErrInvalidPropertyValue = 380,
    flexErrSubscript = 381, // "Subscript out of range"
    flexErrInvalidRow = 30009,
    flexErrInvalidCol = 30010,
    flexErrFixedCount = 30015, // fixed rows or columns not below Rows or Cols
};

// An OLE colour as a Qt colour; system colours 0x800000nn come from `palette`.
QColor oleColorToQColor(qint32 oleColor, const QPalette &palette);
// A Qt colour as an OLE colour 0x00BBGGRR.
qint32 qColorToOleColor(const QColor &color);

// One entry of a control's data bindings: a property of the control shown from a data field.
struct DataBinding {
    QString PropertyName;
    QString DataField;
};

// The host's data-bindings collection of a grid: which property shows which data field. Items
// count from 0; names compare without regard to case. A missing item raises 9.
class DataBindingCollection {
public:
    int Count() const { return int(m_items.size()); }
    DataBinding &Item(int index);
    DataBinding &Item(const QString &propertyName);
    // Adds a binding, or re-points the one the property already has, and returns it.
    DataBinding &Add(const QString &propertyName, const QString &dataField = QString());
    void Remove(const QString &propertyName);
    void Clear() { m_items.clear(); }

private:
    std::vector<DataBinding> m_items;
    qsizetype find(const QString &propertyName) const;
};

class FlexGrid : public QAbstractScrollArea {
    Q_OBJECT

public:
    // Cell alignment codes (ColAlignment, FixedAlignment, CellAlignment, CellPictureAlignment).
    enum AlignmentSettings : qint16 {
        flexAlignLeftTop = 0,
        flexAlignLeftCenter = 1,
        flexAlignLeftBottom = 2,
        flexAlignCenterTop = 3,
        flexAlignCenterCenter = 4,
        flexAlignCenterBottom = 5,
        flexAlignRightTop = 6,
        flexAlignRightCenter = 7,
        flexAlignRightBottom = 8,
        flexAlignGeneral = 9, // text left, numbers right; pictures: stretch
        flexAlignTile = 10, // pictures only
    };

    explicit FlexGrid(QWidget *parent = nullptr);
    ~FlexGrid() override;

    // --- Dimensions -----------------------------------------------------------------------------
    qint32 Rows() const;
    void setRows(qint32 rows);
    qint32 Cols() const;
    void setCols(qint32 cols);
    qint32 FixedRows() const;
    void setFixedRows(qint32 fixedRows);
    qint32 FixedCols() const;
    void setFixedCols(qint32 fixedCols);

    // --- Cell text ------------------------------------------------------------------------------
    QString TextMatrix(qint32 row, qint32 col) const;
    // TextMatrix into `into`, in its buffer when it has one of its own large enough: a caller
    // reading cell after cell (the control's cursor tracking) does not allocate per cell.
    void readTextMatrix(qint32 row, qint32 col, QString &into) const;
    void setTextMatrix(qint32 row, qint32 col, const QString &text);
    QString Text() const;
    void setText(const QString &text); // every selected cell while FillStyle is 1
    QString TextArray(qint32 index) const; // index = row * Cols + col
    void setTextArray(qint32 index, const QString &text);
    QString Clip() const;
    void setClip(const QString &clip);
    QString FormatString() const;
    void setFormatString(const QString &format);

    // --- Rows as items --------------------------------------------------------------------------
    void AddItem(const QString &item, qint32 index = -1); // tab-separated cells; -1 appends
    void RemoveItem(qint32 index);
    void Clear(); // text and formats; dimensions stay
    // Repaints. A bound grid first follows its record set's view if the records shown or their
    // order changed (filter, sort, added or deleted records): rows move with their records,
    // keeping the text written into them; columns and header rows stay.
    void Refresh();
    // Grows whenever any cell's text may have changed (written, moved by a sort or a bound view,
    // re-read from the record set); equal stamps mean every text reads as before.
    quint64 TextStamp() const;
    void setSort(qint16 sortCode); // write-only

    // --- Cursor and selection -------------------------------------------------------------------
    qint32 Row() const;
    void setRow(qint32 row);
    qint32 Col() const;
    void setCol(qint32 col);
    qint32 RowSel() const;
    void setRowSel(qint32 rowSel);
    qint32 ColSel() const;
    void setColSel(qint32 colSel);
    qint32 TopRow() const;
    void setTopRow(qint32 topRow);
    qint32 LeftCol() const;
    void setLeftCol(qint32 leftCol);
    qint32 MouseRow() const;
    qint32 MouseCol() const;
    qint16 SelectionMode() const; // 0 free, 1 by row, 2 by column
    void setSelectionMode(qint16 mode);
    bool AllowBigSelection() const;
    void setAllowBigSelection(bool allow);
    qint16 HighLight() const; // 0 never, 1 always, 2 with focus
    void setHighLight(qint16 highLight);
    qint16 FocusRect() const; // 0 none, 1 light, 2 heavy
    void setFocusRect(qint16 focusRect);
    qint16 FillStyle() const; // 0 current cell, 1 whole selection
    void setFillStyle(qint16 fillStyle);

    // --- Current-cell formats (the whole selection while FillStyle is 1) -----------------------
    qint32 CellBackColor() const;
    void setCellBackColor(qint32 color);
    qint32 CellForeColor() const;
    void setCellForeColor(qint32 color);
    qint16 CellAlignment() const;
    void setCellAlignment(qint16 alignment);
    qint16 CellTextStyle() const;
    void setCellTextStyle(qint16 style);
    QPixmap CellPicture() const;
    void setCellPicture(const QPixmap &picture);
    qint16 CellPictureAlignment() const;
    void setCellPictureAlignment(qint16 alignment);
    QString CellFontName() const;
    void setCellFontName(const QString &name);
    float CellFontSize() const;
    void setCellFontSize(float size);
    bool CellFontBold() const;
    void setCellFontBold(bool bold);
    bool CellFontItalic() const;
    void setCellFontItalic(bool italic);
    bool CellFontUnderline() const;
    void setCellFontUnderline(bool underline);
    bool CellFontStrikeThrough() const;
    void setCellFontStrikeThrough(bool strikeThrough);
    float CellFontWidth() const;
    void setCellFontWidth(float width);
    // The foreground colour of a given cell, the cursor left where it is: what a bulk writer
    // uses instead of moving the cursor for every cell. 381 outside the grid.
    qint32 CellForeColorAt(qint32 row, qint32 col) const;
    void setCellForeColorAt(qint32 row, qint32 col, qint32 color);

    // --- Geometry (twips) -----------------------------------------------------------------------
    qint32 ColWidth(qint32 index) const; // -1 until set
    void setColWidth(qint32 index, qint32 width); // -1 restores the default
    qint32 RowHeight(qint32 index) const;
    void setRowHeight(qint32 index, qint32 height);
    qint32 RowHeightMin() const;
    void setRowHeightMin(qint32 height);
    qint32 ColPos(qint32 index) const;
    qint32 RowPos(qint32 index) const;
    qint32 CellLeft() const;
    qint32 CellTop() const;
    qint32 CellWidth() const;
    qint32 CellHeight() const;
    bool RowIsVisible(qint32 index) const;
    bool ColIsVisible(qint32 index) const;

    // --- Per column and per row -----------------------------------------------------------------
    qint16 ColAlignment(qint32 index) const;
    void setColAlignment(qint32 index, qint16 alignment);
    qint16 FixedAlignment(qint32 index) const;
    void setFixedAlignment(qint32 index, qint16 alignment);
    qint32 ColData(qint32 index) const;
    void setColData(qint32 index, qint32 value);
    qint32 RowData(qint32 index) const;
    void setRowData(qint32 index, qint32 value);
    void setColPosition(qint32 index, qint32 position); // moves a column, shifting the ones between
    bool WordWrap() const;
    void setWordWrap(bool wrap);
    qint16 MergeCells() const; // 0 never, 1 free, 2 restrict rows, 3 restrict columns, 4 both
    void setMergeCells(qint16 mode);
    bool MergeRow(qint32 index) const;
    void setMergeRow(qint32 index, bool merge);
    bool MergeCol(qint32 index) const;
    void setMergeCol(qint32 index, bool merge);

    // --- Whole-grid look ------------------------------------------------------------------------
    qint32 BackColor() const;
    void setBackColor(qint32 color);
    qint32 ForeColor() const;
    void setForeColor(qint32 color);
    qint32 BackColorFixed() const;
    void setBackColorFixed(qint32 color);
    qint32 ForeColorFixed() const;
    void setForeColorFixed(qint32 color);
    qint32 BackColorSel() const;
    void setBackColorSel(qint32 color);
    qint32 ForeColorSel() const;
    void setForeColorSel(qint32 color);
    qint32 BackColorBkg() const;
    void setBackColorBkg(qint32 color);
    qint32 GridColor() const;
    void setGridColor(qint32 color);
    qint32 GridColorFixed() const;
    void setGridColorFixed(qint32 color);
    qint16 GridLines() const; // 0 none, 1 flat, 2 inset, 3 raised
    void setGridLines(qint16 style);
    qint16 GridLinesFixed() const;
    void setGridLinesFixed(qint16 style);
    qint16 GridLineWidth() const; // pixels, 1..10
    void setGridLineWidth(qint16 width);
    qint16 TextStyle() const; // 0 flat, 1 raised, 2 inset, 3 raised light, 4 inset light
    void setTextStyle(qint16 style);
    qint16 TextStyleFixed() const;
    void setTextStyleFixed(qint16 style);
    qint16 Appearance() const; // 0 flat, 1 3D
    void setAppearance(qint16 appearance);
    qint16 BorderStyle() const; // 0 none, 1 single
    void setBorderStyle(qint16 style);
    qint16 ScrollBars() const; // 0 none, 1 horizontal, 2 vertical, 3 both
    void setScrollBars(qint16 scrollBars);
    bool ScrollTrack() const;
    void setScrollTrack(bool track);
    qint16 AllowUserResizing() const; // 0 none, 1 columns, 2 rows, 3 both
    void setAllowUserResizing(qint16 mode);
    qint16 MousePointer() const; // 0 default ... 15 size all, 99 custom (MouseIcon)
    void setMousePointer(qint16 pointer);
    QPixmap MouseIcon() const;
    void setMouseIcon(const QPixmap &icon);
    qint16 OLEDropMode() const; // 0 none, 1 manual
    void setOLEDropMode(qint16 mode);
    bool RightToLeft() const;
    void setRightToLeft(bool rightToLeft);
    qint16 PictureType() const; // 0 colour, 1 monochrome
    void setPictureType(qint16 type);
    QPixmap Picture() const; // the grid as drawn
    bool Redraw() const;
    void setRedraw(bool redraw);
    QFont Font() const;
    void setFont(const QFont &font);
    float FontWidth() const;
    void setFontWidth(float width);
    // The second font, drawn in fixed cells (dispatch id 131). Set to Font itself (the way hosts
    // share one font object) it follows every later change of Font.
    QFont FontFixed() const;
    void setFontFixed(const QFont &font);
    // Row sizing (dispatch id 130): 0 rows sized one by one, 1 a RowHeight applies to every row.
    qint16 RowSizingMode() const;
    void setRowSizingMode(qint16 mode);

    // --- Data -----------------------------------------------------------------------------------
    RecordsetPtr DataSource() const;
    // nullptr unbinds at no cost: the cells keep showing what they showed.
    void setDataSource(const RecordsetPtr &recordset);
    QString DataField(qint32 band, qint32 col) const; // "" when the column shows no field
    DataBindingCollection &DataBindings();

    // --- Host-container placement (twips) -------------------------------------------------------
    qint32 hWnd() const; // stable id of this grid
    bool Visible() const;
    qint32 Left() const;
    void setLeft(qint32 left);
    qint32 Top() const;
    void setTop(qint32 top);
    qint32 Width() const;
    void setWidth(qint32 width);
    qint32 Height() const;
    void setHeight(qint32 height);
    void Move(qint32 left, qint32 top = -1, qint32 width = -1, qint32 height = -1);
    void SetFocus();
    // The container's Boolean settings by dispatch id (0x8001000D, 0x8001000E); True until set.
    bool ContainerSetting(qint32 dispId) const;
    void setContainerSetting(qint32 dispId, bool value);

    // --- Drag and drop --------------------------------------------------------------------------
    void OLEDrag();

Q_SIGNALS:
    void EnterCell();
    void LeaveCell();
    void RowColChange();
    void SelChange();
    void Scroll();
    void Click();
    void DblClick();
    void KeyDown(qint16 &KeyCode, qint16 &Shift);
    void KeyPress(qint16 &KeyAscii);
    void KeyUp(qint16 &KeyCode, qint16 &Shift);
    void MouseDown(qint16 &Button, qint16 &Shift, float &X, float &Y);
    void MouseMove(qint16 &Button, qint16 &Shift, float &X, float &Y);
    void MouseUp(qint16 &Button, qint16 &Shift, float &X, float &Y);
    void Compare(qint32 Row1, qint32 Row2, qint16 &Cmp);
    void GotFocus();
    void LostFocus();
    void OLEStartDrag(QMimeData *&Data, qint32 &AllowedEffects);
    void OLEGiveFeedback(qint32 &Effect, bool &DefaultCursors);
    void OLESetData(QMimeData *&Data, qint16 &DataFormat);
    void OLECompleteDrag(qint32 &Effect);
    void OLEDragOver(QMimeData *&Data, qint32 &Effect, qint16 &Button, qint16 &Shift, float &X,
        float &Y, qint16 &State);
    void OLEDragDrop(
        QMimeData *&Data, qint32 &Effect, qint16 &Button, qint16 &Shift, float &X, float &Y);

protected:
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    friend class FlexGridPrivate;

    std::unique_ptr<FlexGridPrivate> d;
};

} // namespace tessera
