// Tessera: the data-grid control a host places on its forms, with the programming model of the
// classic desktop grid controls. It wraps a FlexGrid (`fxgGrid`) and adds column definitions, a
// cell writer with check marks and sign arrows, numbering, persisted settings and more.
//
// Members are grouped by subsystem below; their bodies live in src/control (host: lifecycle,
// settings, property surface), src/columns (definitions, cell text), src/data (binding, rows) and
// src/interaction (tracking, editing, keyboard). Rows and columns count from 0, sizes are twips,
// colours OLE colours. Errors are tessera::Error; members that skip failures say so.
#pragma once

#include <tessera/Error.h>
#include <tessera/Recordset.h>

#include <QFont>
#include <QPixmap>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <memory>
#include <vector>

class QMimeData;

namespace tessera {

class HostSite;
class PropertyBag;
class TesseraPrivate;

// --- Public types -------------------------------------------------------------------------------

// Cell alignment (ColAlignment, CellAlignment, CellPictureAlignment, a definition's Alignment).
enum udetesAlignConstantsX : qint32 {
    tesAlignLeftTop = 0,
    tesAlignLeftCenter = 1,
    tesAlignLeftBottom = 2,
    tesAlignCenterTop = 3,
    tesAlignCenterCenter = 4,
    tesAlignCenterBottom = 5,
    tesAlignRightTop = 6,
    tesAlignRightCenter = 7,
    tesAlignRightBottom = 8,
    tesAlignGeneral = 9,
};

// Alignment of a header row; tesHAlign_Default leaves the header cell's alignment as it is.
enum udetesHeaderAlignConstantsX : qint32 {
    tesHAlignLeftTop = 0,
    tesHAlignLeftCenter = 1,
    tesHAlignLeftBottom = 2,
    tesHAlignCenterTop = 3,
    tesHAlignCenterCenter = 4,
    tesHAlignCenterBottom = 5,
    tesHAlignRightTop = 6,
    tesHAlignRightCenter = 7,
    tesHAlignRightBottom = 8,
    tesHAlignGeneral = 9,
    tesHAlign_Default = 9999,
};

// The grid's sort codes, as the write-only Sort takes them.
enum udetesSortingMethodX : qint32 {
    tesSortNone = 0,
    tesSortGenericAscending = 1,
    tesSortGenericDescending = 2,
    tesSortNumericAscending = 3,
    tesSortNumericDescending = 4,
    tesSortStringNoCaseAscending = 5,
    tesSortStringNoCaseDescending = 6,
    tesSortStringAscending = 7,
    tesSortStringDescending = 8,
};

// One column definition, fields in their original order.
struct eColDefsX {
    qint16 Index = 0; // the grid column described
    bool Required = false;
    QString Caption; // header row 0
    QString Caption2; // header row 1; "" = no second header line
    QString Caption3; // header row 2, used only with a Caption2
    qint32 Width = 0; // twips
    qint32 MinWidth = 0; // twips; Width is raised to it when applied
    double PercAutoWidth = 0; // share in automatic width distribution
    qint32 CellBackColor = 0; // as last applied
    QString TextFormat; // format expression of numeric data cells; "" = none
    bool Hide = false;
    udetesAlignConstantsX Alignment = tesAlignLeftTop;
    udetesHeaderAlignConstantsX HeaderAlignment = tesHAlignLeftTop;
    udetesHeaderAlignConstantsX HeaderAlignment1 = tesHAlignLeftTop;
    udetesHeaderAlignConstantsX HeaderAlignment2 = tesHAlignLeftTop;
    bool Editable = false;
    bool CheckBox = false; // check marks ("þ" / "q" in Wingdings)
    bool ColorBySigned = false; // a coloured arrow for the sign of the number

    friend bool operator==(const eColDefsX &, const eColDefsX &) = default;
};

// --- Late binding -------------------------------------------------------------------------------

// How a member is called late-bound (the values of the platform's dispatch flags).
enum InvokeKind : int {
    InvokeMethod = 1,
    InvokePropertyGet = 2,
    InvokePropertyPut = 4,
};

// One member of the control's dispatch interface: its identifier, its name and how it may be
// called (InvokeKind bits). Arguments and results travel as QVariants.
struct DispatchMember {
    qint32 dispId;
    QString name;
    int kinds;
};

// --- The control --------------------------------------------------------------------------------

class Tessera : public QWidget {
    Q_OBJECT

public:
    // Runs Initialize. A host restoring saved settings calls ReadProperties next; one that does
    // not gets InitProperties when the control is first shown. `site` is the host site (the
    // default one when none is given).
    explicit Tessera(QWidget *parent = nullptr, HostSite *site = nullptr);
    ~Tessera() override; // runs Terminate unless the host did

    HostSite *site() const;

    // --- Lifecycle (src/control/lifecycle.cpp) --------------------------------------------------
    void InitProperties();
    // Resize settling: the grid is fitted 100 ms after the last of a burst of resizes.
    void Resize();
    void Terminate();

    // --- Persisted settings (src/control/persisted_settings.cpp) --------------------------------
    // The 47 keys in their order. Neither catches anything: a value the grid rejects ends the
    // load at its key. No property-changed notice is sent while loading.
    void ReadProperties(PropertyBag &bag);
    void WriteProperties(PropertyBag &bag) const;

    // --- Cell text and numbering (src/columns/cell_writer.cpp, numbering.cpp) -------------------
    // Reads a cell; a check-mark column reads "True" / "False". A column beyond the definition
    // table raises 9.
    QString TextMatrix(qint32 Row, qint32 Col) const;
    // The writers skip failing steps and raise nothing; each ends with the "TextMatrix" notice.
    // TextMatrix turns truth values into check marks (any text that converts to True) and
    // numbers into sign arrows; TextMatrix1Plus tests header rows first and takes only "True",
    // "-1" and " -1" as true; the WithFormat pair also applies the column's TextFormat.
    void setTextMatrix(qint32 Row, qint32 Col, const QString &text);
    void setTextMatrixWithFormat(qint32 Row, qint32 Col, const QString &text);
    void setTextMatrix1Plus(qint32 Row, qint32 Col, const QString &text);
    void setTextMatrixWithFormat1Plus(qint32 Row, qint32 Col, const QString &text);
    void setTextArray(qint32 Index, const QString &text);
    bool AutoNumberRows() const;
    void setAutoNumberRows(bool number);
    bool AutoNumberCols() const;
    void setAutoNumberCols(bool number);
    // The letter name of a 1-based column number: 1 "A", 26 "Z", 27 "AA"; "" for 0 and below.
    QString EnumHeader(qint32 &Colonna) const;

    // --- Property surface (src/control/property_surface.cpp) ------------------------------------
    // The grid's own members under their names: a read returns the grid's value, a write gives
    // it to the grid and then sends the notice with the member's name. Grid enumerations are
    // Longs. Failures of the grid reach the caller, except where noted.
    qint32 BackColor() const;
    void setBackColor(qint32 color);
    qint32 ForeColor() const;
    void setForeColor(qint32 color);
    bool Enabled() const; // the stored value; the widget is enabled by it in run mode only
    void setEnabled(bool enabled);
    QFont Font() const; // also gives the header grid the grid's font
    void setFont(const QFont &font); // grid, header grid, and the editor at 0.9 of the size
    qint32 BorderStyle() const;
    void setBorderStyle(qint32 style);
    void Refresh();
    bool AllowBigSelection() const;
    void setAllowBigSelection(bool allow);
    qint32 AllowUserResizing() const;
    void setAllowUserResizing(qint32 mode);
    qint32 Appearance() const;
    void setAppearance(qint32 appearance);
    qint32 BackColorBkg() const;
    void setBackColorBkg(qint32 color);
    qint32 BackColorFixed() const;
    void setBackColorFixed(qint32 color);
    qint32 BackColorSel() const; // the stored colour, whatever SetBackColorSel2Blank did
    void setBackColorSel(qint32 color);
    void SetBackColorSel2Blank(); // the grid shows the system highlight; no notice
    qint32 CellHeight() const;
    qint32 CellLeft() const;
    qint32 CellTop() const;
    qint32 CellWidth() const;
    udetesAlignConstantsX ColAlignment(qint32 Index) const;
    void setColAlignment(qint32 Index, udetesAlignConstantsX alignment); // failures ignored
    qint32 ColData(qint32 Index) const;
    void setColData(qint32 Index, qint32 value);
    bool ColIsVisible(qint32 Index) const;
    qint32 ColPos(qint32 Index) const;
    qint32 Cols() const;
    qint32 ColWidth(qint32 Index) const;
    void setColWidth(qint32 Index, qint32 width); // failures ignored, the notice still sent
    qint16 FixedAlignment(qint32 Index) const;
    qint32 FixedCols() const;
    qint32 FixedRows() const;
    qint32 FocusRect() const;
    void setFocusRect(qint32 focusRect);
    qint32 ForeColorFixed() const;
    void setForeColorFixed(qint32 color);
    qint32 ForeColorSel() const;
    void setForeColorSel(qint32 color);
    QString FormatString() const;
    void setFormatString(const QString &format);
    qint32 GridColor() const;
    void setGridColor(qint32 color);
    qint32 GridColorFixed() const;
    void setGridColorFixed(qint32 color);
    qint32 GridLines() const;
    void setGridLines(qint32 style);
    qint32 GridLinesFixed() const;
    void setGridLinesFixed(qint32 style);
    qint16 GridLineWidth() const;
    void setGridLineWidth(qint16 width);
    qint32 HighLight() const;
    void setHighLight(qint32 highLight);
    qint32 MergeCells() const;
    void setMergeCells(qint32 mode);
    bool MergeCol(qint32 Index) const;
    bool MergeRow(qint32 Index) const;
    qint32 MouseCol() const;
    QPixmap MouseIcon() const;
    void setMouseIcon(const QPixmap &icon);
    qint32 MousePointer() const;
    void setMousePointer(qint32 pointer);
    qint32 MouseRow() const;
    void OLEDrag();
    qint32 OLEDropMode() const;
    void setOLEDropMode(qint32 mode);
    qint32 RowData(qint32 Index) const;
    void setRowData(qint32 Index, qint32 value);
    qint32 RowHeight(qint32 Index) const;
    void setRowHeight(qint32 Index, qint32 height);
    qint32 RowHeightMin() const;
    void setRowHeightMin(qint32 height);
    bool RowIsVisible(qint32 Index) const;
    qint32 RowPos(qint32 Index) const;
    qint32 Rows() const;
    qint32 ScrollBars() const;
    void setScrollBars(qint32 scrollBars);
    bool ScrollTrack() const;
    void setScrollTrack(bool track);
    qint32 SelectionMode() const;
    void setSelectionMode(qint32 mode);
    QString TextArray(qint32 Index) const;
    qint32 TextStyle() const;
    void setTextStyle(qint32 style);
    qint32 TextStyleFixed() const;
    void setTextStyleFixed(qint32 style);
    bool WordWrap() const;
    void setWordWrap(bool wrap);
    qint32 FillStyle() const;
    void setFillStyle(qint32 fillStyle);
    qint32 PictureType() const;
    void setPictureType(qint32 type);
    bool Redraw() const;
    void setRedraw(bool redraw);
    bool RightToLeft() const;
    void setRightToLeft(bool rightToLeft);
    // Moving the cursor runs the cell tracking as a user's move does (leave, move, enter).
    qint32 Col() const;
    void setCol(qint32 col);
    qint32 Row() const;
    void setRow(qint32 row);
    udetesAlignConstantsX CellAlignment() const;
    void setCellAlignment(udetesAlignConstantsX alignment);
    udetesAlignConstantsX CellPictureAlignment() const;
    void setCellPictureAlignment(udetesAlignConstantsX alignment);
    qint32 CellBackColor() const; // the default data-cell background, whichever cell is current
    void setCellBackColor(qint32 color); // that default, and the current cell's background
    qint32 CellForeColor() const;
    void setCellForeColor(qint32 color);
    qint32 CellTextStyle() const;
    void setCellTextStyle(qint32 style);
    qint32 ColSel() const;
    void setColSel(qint32 colSel);
    qint32 RowSel() const;
    void setRowSel(qint32 rowSel);
    QString Clip() const;
    void setClip(const QString &clip);
    bool CellFontBold() const;
    void setCellFontBold(bool bold);
    bool CellFontItalic() const;
    void setCellFontItalic(bool italic);
    QString CellFontName() const;
    void setCellFontName(const QString &name);
    float AllCellFontSize() const;
    float CellFontSize() const;
    void setCellFontSize(float size);
    bool CellFontStrikeThrough() const;
    void setCellFontStrikeThrough(bool strikeThrough);
    bool CellFontUnderline() const;
    void setCellFontUnderline(bool underline);
    float CellFontWidth() const;
    void setCellFontWidth(float width);
    float FontWidth() const;
    void setFontWidth(float width);
    QPixmap Picture() const;
    QString Text() const;
    void setText(const QString &text);
    qint32 LeftCol() const;
    void setLeftCol(qint32 leftCol);
    qint32 TopRow() const;
    void setTopRow(qint32 topRow);
    void ForceGridFocus(); // failures ignored
    qint32 hWnd() const; // the control's own window, not the grid's
    // Between the two, the grid's cell events reach neither the tracking nor the host (Scroll
    // still does); nothing is replayed afterwards.
    void SuspendLayout();
    void ResumeLayout();

    // --- Cell tracking and events (src/interaction) ---------------------------------------------
    // While True, the ValidateCell of a focus loss and the CellValueChanged of a commit are not
    // raised.
    bool NoRaise() const;
    void setNoRaise(bool noRaise);

    // --- Late binding (src/control/dispatch.cpp) ------------------------------------------------
    // Calls a member by dispatch id or by name (without regard to case) as a method, property
    // get or property put (the new value last in `args`). Arguments convert by the runtime's
    // rules; by-reference arguments are written back into `args`. Unknown ids and names raise
    // 438, missing arguments 449, values of the wrong type 13; the member's own errors pass.
    QVariant Invoke(qint32 dispId, InvokeKind kind, QVariantList &args);
    QVariant Invoke(const QString &name, InvokeKind kind, QVariantList &args);
    // The dispatch id of a member name (438 when there is none), and every member registered.
    static qint32 DispIdOfName(const QString &name);
    static const std::vector<DispatchMember> &DispatchMembers();

Q_SIGNALS:
    // The property-changed notice (also sent to the host site), with the member's name.
    void PropertyChanged(const QString &name);

    // --- The events of __Tessera, in dispatch-id order (1 to 25) --------------------------------
    // By-reference parameters are references: connect directly, and what a slot stores there
    // is seen by the control (a key set to 0 goes no further).
    void Click();
    void DblClick();
    void KeyDown(qint16 &KeyCode, qint16 &Shift);
    void KeyPress(qint16 &KeyAscii);
    void KeyUp(qint16 &KeyCode, qint16 &Shift);
    void EditKeyDown(qint16 &KeyCode, qint16 &Shift);
    void EditKeyPress(qint16 &KeyAscii);
    void EditKeyUp(qint16 &KeyCode, qint16 &Shift);
    void MouseDown(qint16 &Button, qint16 &Shift, float &X, float &y);
    void MouseMove(qint16 &Button, qint16 &Shift, float &X, float &y);
    void MouseUp(qint16 &Button, qint16 &Shift, float &X, float &y);
    void Compare(qint32 Row1, qint32 Row2, qint16 &Cmp);
    void EnterCell();
    void LeaveCell();
    void ValidateCell();
    void OLECompleteDrag(qint32 &Effect);
    void OLEDragDrop(
        QMimeData *&Data, qint32 &Effect, qint16 &Button, qint16 &Shift, float &X, float &y);
    void OLEDragOver(QMimeData *&Data, qint32 &Effect, qint16 &Button, qint16 &Shift, float &X,
        float &y, qint16 &State);
    void OLEGiveFeedback(qint32 &Effect, bool &DefaultCursors);
    void OLESetData(QMimeData *&Data, qint16 &DataFormat);
    void OLEStartDrag(QMimeData *&Data, qint32 &AllowedEffects);
    void RowColChange();
    void Scroll();
    void SelChange();
    // After a text change: the cell (curRow, curCol), the text it was entered with and its text
    // now; what a slot stores in the first three reaches the control's tracking. After a check
    // mark toggles: the cell, and 0 / -1 for unchecked / checked before and after.
    void CellValueChanged(QVariant &nRow, QVariant &nCol, QVariant &prevValue, QVariant &actValue);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void connectNotify(const QMetaMethod &signal) override;

private:
    friend class TesseraPrivate;
    std::unique_ptr<TesseraPrivate> const d;
};

} // namespace tessera
