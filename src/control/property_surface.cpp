// The property surface: the grid's own members under their names (a read returns the grid's
// value, a write gives it to the grid and sends the notice), and the few that keep a state field.
//
// Sections: whole-grid look, selection colour, geometry, per column and row, cursor and
// selection, current-cell formats, texts and pictures, the control's own window and focus.
#include "tessera_p.h"

#include <QAtomicInt>

namespace tessera {

namespace {
// The system highlight colour SetBackColorSel2Blank shows.
constexpr qint32 SystemHighlight = qint32(0x8000000D);
// The editor's font is a little smaller than the grid's, so typed text fits inside the cell.
constexpr double EditorFontScale = 0.9;
} // namespace

// --- Whole-grid look ----------------------------------------------------------------------------

qint32 Tessera::BackColor() const
{
    return d->fxgGrid->BackColor();
}
void Tessera::setBackColor(qint32 color)
{
    d->passThrough(&FlexGrid::setBackColor, color, "BackColor");
}
qint32 Tessera::ForeColor() const
{
    return d->fxgGrid->ForeColor();
}
void Tessera::setForeColor(qint32 color)
{
    d->passThrough(&FlexGrid::setForeColor, color, "ForeColor");
}

bool Tessera::Enabled() const
{
    return d->enabled;
}
void Tessera::setEnabled(bool enabled)
{
    d->enabled = enabled;
    // In design mode the control stays usable on the form whatever the setting.
    QWidget::setEnabled(d->site->UserMode() ? enabled : true);
    d->notify(QStringLiteral("Enabled"));
}

QFont Tessera::Font() const
{
    const QFont font = d->fxgGrid->Font();
    // The header grid overlays the header rows, so it follows the grid's font (a read must not
    // lay it out again when it already has it).
    if (d->MSHFlexGrid1->Font() != font)
        d->MSHFlexGrid1->setFont(font);
    return font;
}
void Tessera::setFont(const QFont &font)
{
    d->fxgGrid->setFont(font);
    d->MSHFlexGrid1->setFont(font);
    QFont editorFont = d->fxgGrid->Font();
    if (editorFont.pointSizeF() > 0)
        editorFont.setPointSizeF(editorFont.pointSizeF() * EditorFontScale);
    else if (editorFont.pixelSize() > 0)
        editorFont.setPixelSize(qMax(1, qRound(editorFont.pixelSize() * EditorFontScale)));
    d->txtEdit->setFont(editorFont);
    d->notify(QStringLiteral("Font"));
}

qint32 Tessera::BorderStyle() const
{
    return d->fxgGrid->BorderStyle();
}
void Tessera::setBorderStyle(qint32 style)
{
    d->passThrough(&FlexGrid::setBorderStyle, style, "BorderStyle");
}
void Tessera::Refresh()
{
    d->fxgGrid->Refresh();
}
qint32 Tessera::Appearance() const
{
    return d->fxgGrid->Appearance();
}
void Tessera::setAppearance(qint32 appearance)
{
    d->passThrough(&FlexGrid::setAppearance, appearance, "Appearance");
}
qint32 Tessera::BackColorBkg() const
{
    return d->fxgGrid->BackColorBkg();
}
void Tessera::setBackColorBkg(qint32 color)
{
    d->passThrough(&FlexGrid::setBackColorBkg, color, "BackColorBkg");
}
qint32 Tessera::BackColorFixed() const
{
    return d->fxgGrid->BackColorFixed();
}
void Tessera::setBackColorFixed(qint32 color)
{
    d->passThrough(&FlexGrid::setBackColorFixed, color, "BackColorFixed");
}
qint32 Tessera::ForeColorFixed() const
{
    return d->fxgGrid->ForeColorFixed();
}
void Tessera::setForeColorFixed(qint32 color)
{
    d->passThrough(&FlexGrid::setForeColorFixed, color, "ForeColorFixed");
}
qint32 Tessera::ForeColorSel() const
{
    return d->fxgGrid->ForeColorSel();
}
void Tessera::setForeColorSel(qint32 color)
{
    d->passThrough(&FlexGrid::setForeColorSel, color, "ForeColorSel");
}
qint32 Tessera::GridColor() const
{
    return d->fxgGrid->GridColor();
}
void Tessera::setGridColor(qint32 color)
{
    d->passThrough(&FlexGrid::setGridColor, color, "GridColor");
}
qint32 Tessera::GridColorFixed() const
{
    return d->fxgGrid->GridColorFixed();
}
void Tessera::setGridColorFixed(qint32 color)
{
    d->passThrough(&FlexGrid::setGridColorFixed, color, "GridColorFixed");
}
qint32 Tessera::GridLines() const
{
    return d->fxgGrid->GridLines();
}
void Tessera::setGridLines(qint32 style)
{
    d->passThrough(&FlexGrid::setGridLines, style, "GridLines");
}
qint32 Tessera::GridLinesFixed() const
{
    return d->fxgGrid->GridLinesFixed();
}
void Tessera::setGridLinesFixed(qint32 style)
{
    d->passThrough(&FlexGrid::setGridLinesFixed, style, "GridLinesFixed");
}
qint16 Tessera::GridLineWidth() const
{
    return d->fxgGrid->GridLineWidth();
}
void Tessera::setGridLineWidth(qint16 width)
{
    d->passThrough(&FlexGrid::setGridLineWidth, width, "GridLineWidth");
}
qint32 Tessera::TextStyle() const
{
    return d->fxgGrid->TextStyle();
}
void Tessera::setTextStyle(qint32 style)
{
    d->passThrough(&FlexGrid::setTextStyle, style, "TextStyle");
}
qint32 Tessera::TextStyleFixed() const
{
    return d->fxgGrid->TextStyleFixed();
}
void Tessera::setTextStyleFixed(qint32 style)
{
    d->passThrough(&FlexGrid::setTextStyleFixed, style, "TextStyleFixed");
}
qint32 Tessera::ScrollBars() const
{
    return d->fxgGrid->ScrollBars();
}
void Tessera::setScrollBars(qint32 scrollBars)
{
    d->passThrough(&FlexGrid::setScrollBars, scrollBars, "ScrollBars");
}
bool Tessera::ScrollTrack() const
{
    return d->fxgGrid->ScrollTrack();
}
void Tessera::setScrollTrack(bool track)
{
    d->passThrough(&FlexGrid::setScrollTrack, track, "ScrollTrack");
}
qint32 Tessera::AllowUserResizing() const
{
    return d->fxgGrid->AllowUserResizing();
}
void Tessera::setAllowUserResizing(qint32 mode)
{
    d->passThrough(&FlexGrid::setAllowUserResizing, mode, "AllowUserResizing");
}
qint32 Tessera::MousePointer() const
{
    return d->fxgGrid->MousePointer();
}
void Tessera::setMousePointer(qint32 pointer)
{
    d->passThrough(&FlexGrid::setMousePointer, pointer, "MousePointer");
}
QPixmap Tessera::MouseIcon() const
{
    return d->fxgGrid->MouseIcon();
}
void Tessera::setMouseIcon(const QPixmap &icon)
{
    d->passThrough(&FlexGrid::setMouseIcon, icon, "MouseIcon");
}
qint32 Tessera::OLEDropMode() const
{
    return d->fxgGrid->OLEDropMode();
}
void Tessera::setOLEDropMode(qint32 mode)
{
    d->passThrough(&FlexGrid::setOLEDropMode, mode, "OLEDropMode");
}
void Tessera::OLEDrag()
{
    d->fxgGrid->OLEDrag();
}
bool Tessera::WordWrap() const
{
    return d->fxgGrid->WordWrap();
}
void Tessera::setWordWrap(bool wrap)
{
    d->passThrough(&FlexGrid::setWordWrap, wrap, "WordWrap");
}
qint32 Tessera::MergeCells() const
{
    return d->fxgGrid->MergeCells();
}
void Tessera::setMergeCells(qint32 mode)
{
    d->passThrough(&FlexGrid::setMergeCells, mode, "MergeCells");
}
qint32 Tessera::PictureType() const
{
    return d->fxgGrid->PictureType();
}
void Tessera::setPictureType(qint32 type)
{
    d->passThrough(&FlexGrid::setPictureType, type, "PictureType");
}
bool Tessera::Redraw() const
{
    return d->fxgGrid->Redraw();
}
void Tessera::setRedraw(bool redraw)
{
    d->passThrough(&FlexGrid::setRedraw, redraw, "Redraw");
}
bool Tessera::RightToLeft() const
{
    return d->fxgGrid->RightToLeft();
}
void Tessera::setRightToLeft(bool rightToLeft)
{
    d->passThrough(&FlexGrid::setRightToLeft, rightToLeft, "RightToLeft");
}
float Tessera::FontWidth() const
{
    return d->fxgGrid->FontWidth();
}
void Tessera::setFontWidth(float width)
{
    d->passThrough(&FlexGrid::setFontWidth, width, "FontWidth");
}

// --- Selection colour ---------------------------------------------------------------------------

qint32 Tessera::BackColorSel() const
{
    // The stored colour: SetBackColorSel2Blank changes only what the grid shows.
    return d->backColorSel;
}
void Tessera::setBackColorSel(qint32 color)
{
    d->backColorSel = color;
    d->passThrough(&FlexGrid::setBackColorSel, color, "BackColorSel");
}
void Tessera::SetBackColorSel2Blank()
{
    d->fxgGrid->setBackColorSel(SystemHighlight);
}

// --- Geometry -----------------------------------------------------------------------------------

qint32 Tessera::CellHeight() const
{
    return d->fxgGrid->CellHeight();
}
qint32 Tessera::CellLeft() const
{
    return d->fxgGrid->CellLeft();
}
qint32 Tessera::CellTop() const
{
    return d->fxgGrid->CellTop();
}
qint32 Tessera::CellWidth() const
{
    return d->fxgGrid->CellWidth();
}
qint32 Tessera::ColWidth(qint32 Index) const
{
    return d->fxgGrid->ColWidth(Index);
}
void Tessera::setColWidth(qint32 Index, qint32 width)
{
    skipOnError([&] { d->fxgGrid->setColWidth(Index, width); });
    d->notify(QStringLiteral("ColWidth"));
}
qint32 Tessera::RowHeight(qint32 Index) const
{
    return d->fxgGrid->RowHeight(Index);
}
void Tessera::setRowHeight(qint32 Index, qint32 height)
{
    d->fxgGrid->setRowHeight(Index, height);
    d->notify(QStringLiteral("RowHeight"));
}
qint32 Tessera::RowHeightMin() const
{
    return d->fxgGrid->RowHeightMin();
}
void Tessera::setRowHeightMin(qint32 height)
{
    d->passThrough(&FlexGrid::setRowHeightMin, height, "RowHeightMin");
}
qint32 Tessera::ColPos(qint32 Index) const
{
    return d->fxgGrid->ColPos(Index);
}
qint32 Tessera::RowPos(qint32 Index) const
{
    return d->fxgGrid->RowPos(Index);
}
bool Tessera::ColIsVisible(qint32 Index) const
{
    return d->fxgGrid->ColIsVisible(Index);
}
bool Tessera::RowIsVisible(qint32 Index) const
{
    return d->fxgGrid->RowIsVisible(Index);
}

// --- Per column and row; dimensions -------------------------------------------------------------

udetesAlignConstantsX Tessera::ColAlignment(qint32 Index) const
{
    return udetesAlignConstantsX(d->fxgGrid->ColAlignment(Index));
}
void Tessera::setColAlignment(qint32 Index, udetesAlignConstantsX alignment)
{
    skipOnError([&] {
        d->fxgGrid->setColAlignment(Index, TesseraPrivate::gridValue<qint16>(qint32(alignment)));
    });
    d->notify(QStringLiteral("ColAlignment"));
}
qint32 Tessera::ColData(qint32 Index) const
{
    return d->fxgGrid->ColData(Index);
}
void Tessera::setColData(qint32 Index, qint32 value)
{
    d->fxgGrid->setColData(Index, value);
    d->notify(QStringLiteral("ColData"));
}
qint32 Tessera::RowData(qint32 Index) const
{
    return d->fxgGrid->RowData(Index);
}
void Tessera::setRowData(qint32 Index, qint32 value)
{
    d->fxgGrid->setRowData(Index, value);
    d->notify(QStringLiteral("RowData"));
}
qint16 Tessera::FixedAlignment(qint32 Index) const
{
    return d->fxgGrid->FixedAlignment(Index);
}
bool Tessera::MergeCol(qint32 Index) const
{
    return d->fxgGrid->MergeCol(Index);
}
bool Tessera::MergeRow(qint32 Index) const
{
    return d->fxgGrid->MergeRow(Index);
}
qint32 Tessera::Cols() const
{
    return d->fxgGrid->Cols();
}
qint32 Tessera::Rows() const
{
    return d->fxgGrid->Rows();
}
qint32 Tessera::FixedCols() const
{
    return d->fxgGrid->FixedCols();
}
qint32 Tessera::FixedRows() const
{
    return d->fxgGrid->FixedRows();
}

// --- Cursor and selection -----------------------------------------------------------------------

qint32 Tessera::MouseCol() const
{
    return d->fxgGrid->MouseCol();
}
qint32 Tessera::MouseRow() const
{
    return d->fxgGrid->MouseRow();
}
qint32 Tessera::ColSel() const
{
    return d->fxgGrid->ColSel();
}
void Tessera::setColSel(qint32 colSel)
{
    d->passThrough(&FlexGrid::setColSel, colSel, "ColSel");
}
qint32 Tessera::RowSel() const
{
    return d->fxgGrid->RowSel();
}
void Tessera::setRowSel(qint32 rowSel)
{
    d->passThrough(&FlexGrid::setRowSel, rowSel, "RowSel");
}
qint32 Tessera::LeftCol() const
{
    return d->fxgGrid->LeftCol();
}
void Tessera::setLeftCol(qint32 leftCol)
{
    d->passThrough(&FlexGrid::setLeftCol, leftCol, "LeftCol");
}
qint32 Tessera::TopRow() const
{
    return d->fxgGrid->TopRow();
}
void Tessera::setTopRow(qint32 topRow)
{
    d->passThrough(&FlexGrid::setTopRow, topRow, "TopRow");
}
bool Tessera::AllowBigSelection() const
{
    return d->fxgGrid->AllowBigSelection();
}
void Tessera::setAllowBigSelection(bool allow)
{
    d->passThrough(&FlexGrid::setAllowBigSelection, allow, "AllowBigSelection");
}
qint32 Tessera::SelectionMode() const
{
    return d->fxgGrid->SelectionMode();
}
void Tessera::setSelectionMode(qint32 mode)
{
    d->passThrough(&FlexGrid::setSelectionMode, mode, "SelectionMode");
}
qint32 Tessera::HighLight() const
{
    return d->fxgGrid->HighLight();
}
void Tessera::setHighLight(qint32 highLight)
{
    d->passThrough(&FlexGrid::setHighLight, highLight, "HighLight");
}
qint32 Tessera::FocusRect() const
{
    return d->fxgGrid->FocusRect();
}
void Tessera::setFocusRect(qint32 focusRect)
{
    d->passThrough(&FlexGrid::setFocusRect, focusRect, "FocusRect");
}
qint32 Tessera::FillStyle() const
{
    return d->fxgGrid->FillStyle();
}
void Tessera::setFillStyle(qint32 fillStyle)
{
    d->passThrough(&FlexGrid::setFillStyle, fillStyle, "FillStyle");
}

// --- Current-cell formats -----------------------------------------------------------------------

udetesAlignConstantsX Tessera::CellAlignment() const
{
    return udetesAlignConstantsX(d->fxgGrid->CellAlignment());
}
void Tessera::setCellAlignment(udetesAlignConstantsX alignment)
{
    d->passThrough(&FlexGrid::setCellAlignment, qint32(alignment), "CellAlignment");
}
udetesAlignConstantsX Tessera::CellPictureAlignment() const
{
    return udetesAlignConstantsX(d->fxgGrid->CellPictureAlignment());
}
void Tessera::setCellPictureAlignment(udetesAlignConstantsX alignment)
{
    d->passThrough(&FlexGrid::setCellPictureAlignment, qint32(alignment), "CellPictureAlignment");
}
qint32 Tessera::CellBackColor() const
{
    // The default data-cell background, not the current cell's: the tracking paints the
    // current cell and restores it from this value.
    return d->defaultCellBackColor;
}
void Tessera::setCellBackColor(qint32 color)
{
    d->defaultCellBackColor = color;
    d->passThrough(&FlexGrid::setCellBackColor, color, "CellBackColor");
}
qint32 Tessera::CellForeColor() const
{
    return d->fxgGrid->CellForeColor();
}
void Tessera::setCellForeColor(qint32 color)
{
    d->passThrough(&FlexGrid::setCellForeColor, color, "CellForeColor");
}
qint32 Tessera::CellTextStyle() const
{
    return d->fxgGrid->CellTextStyle();
}
void Tessera::setCellTextStyle(qint32 style)
{
    d->passThrough(&FlexGrid::setCellTextStyle, style, "CellTextStyle");
}
bool Tessera::CellFontBold() const
{
    return d->fxgGrid->CellFontBold();
}
void Tessera::setCellFontBold(bool bold)
{
    d->passThrough(&FlexGrid::setCellFontBold, bold, "CellFontBold");
}
bool Tessera::CellFontItalic() const
{
    return d->fxgGrid->CellFontItalic();
}
void Tessera::setCellFontItalic(bool italic)
{
    d->passThrough(&FlexGrid::setCellFontItalic, italic, "CellFontItalic");
}
QString Tessera::CellFontName() const
{
    return d->fxgGrid->CellFontName();
}
void Tessera::setCellFontName(const QString &name)
{
    d->passThrough(&FlexGrid::setCellFontName, name, "CellFontName");
}
float Tessera::AllCellFontSize() const
{
    return d->allCellFontSize;
}
float Tessera::CellFontSize() const
{
    return d->fxgGrid->CellFontSize();
}
void Tessera::setCellFontSize(float size)
{
    d->passThrough(&FlexGrid::setCellFontSize, size, "CellFontSize");
}
bool Tessera::CellFontStrikeThrough() const
{
    return d->fxgGrid->CellFontStrikeThrough();
}
void Tessera::setCellFontStrikeThrough(bool strikeThrough)
{
    d->passThrough(&FlexGrid::setCellFontStrikeThrough, strikeThrough, "CellFontStrikeThrough");
}
bool Tessera::CellFontUnderline() const
{
    return d->fxgGrid->CellFontUnderline();
}
void Tessera::setCellFontUnderline(bool underline)
{
    d->passThrough(&FlexGrid::setCellFontUnderline, underline, "CellFontUnderline");
}
float Tessera::CellFontWidth() const
{
    return d->fxgGrid->CellFontWidth();
}
void Tessera::setCellFontWidth(float width)
{
    d->passThrough(&FlexGrid::setCellFontWidth, width, "CellFontWidth");
}

// --- Texts and pictures -------------------------------------------------------------------------

QString Tessera::FormatString() const
{
    return d->fxgGrid->FormatString();
}
void Tessera::setFormatString(const QString &format)
{
    d->passThrough(&FlexGrid::setFormatString, format, "FormatString");
}
QString Tessera::Clip() const
{
    return d->fxgGrid->Clip();
}
void Tessera::setClip(const QString &clip)
{
    d->passThrough(&FlexGrid::setClip, clip, "Clip");
}
QString Tessera::Text() const
{
    return d->fxgGrid->Text();
}
void Tessera::setText(const QString &text)
{
    d->passThrough(&FlexGrid::setText, text, "Text");
}
QString Tessera::TextArray(qint32 Index) const
{
    return d->fxgGrid->TextArray(Index);
}
QPixmap Tessera::Picture() const
{
    return d->fxgGrid->Picture();
}

// --- The control's own window and focus ---------------------------------------------------------

qint32 Tessera::hWnd() const
{
    // winId() would turn the control into a native window; an id of its own is all a host
    // compares. Its range stays clear of the grids' ids.
    static QAtomicInt next(0x40000000);
    if (!d->hwnd)
        d->hwnd = next.fetchAndAddRelaxed(1);
    return d->hwnd;
}

void Tessera::ForceGridFocus()
{
    skipOnError([&] { d->fxgGrid->SetFocus(); });
}

} // namespace tessera
