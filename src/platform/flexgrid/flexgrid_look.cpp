// FlexGrid whole-grid look: OLE colours (system colours from the palette), colours, grid lines,
// text styles, frame, scroll bars, mouse pointer, right-to-left, Redraw, fonts and Picture.
#include "flexgrid_p.h"

#include <QBitmap>
#include <QPalette>
#include <QScrollBar>

namespace tessera {

QColor oleColorToQColor(qint32 oleColor, const QPalette &palette)
{
    const quint32 c = quint32(oleColor);
    if (c & 0x80000000u) {
        QPalette::ColorRole role = QPalette::Base;
        QPalette::ColorGroup group = QPalette::Active;
        switch (c & 0xFFu) {
        case 0:
            role = QPalette::Midlight;
            break; // scroll bar
        case 1:
            role = QPalette::Dark;
            break; // desktop
        case 2:
            role = QPalette::Highlight;
            break; // active caption
        case 3:
            role = QPalette::Mid;
            break; // inactive caption
        case 4:
            role = QPalette::Window;
            break; // menu
        case 5:
            role = QPalette::Base;
            break; // window
        case 6:
            role = QPalette::Shadow;
            break; // window frame
        case 7:
            role = QPalette::WindowText;
            break; // menu text
        case 8:
            role = QPalette::Text;
            break; // window text
        case 9:
            role = QPalette::HighlightedText;
            break; // caption text
        case 10:
        case 11:
            role = QPalette::Mid;
            break; // borders
        case 12:
            role = QPalette::Dark;
            break; // application workspace
        case 13:
            role = QPalette::Highlight;
            break;
        case 14:
            role = QPalette::HighlightedText;
            break;
        case 15:
            role = QPalette::Button;
            break; // button face
        case 16:
            role = QPalette::Mid;
            break; // button shadow
        case 17:
            role = QPalette::Text;
            group = QPalette::Disabled;
            break; // grey text
        case 18:
            role = QPalette::ButtonText;
            break;
        case 19:
            role = QPalette::Text;
            break; // inactive caption text
        case 20:
            role = QPalette::Light;
            break; // button highlight
        case 21:
            role = QPalette::Shadow;
            break; // 3D dark shadow
        case 22:
            role = QPalette::Midlight;
            break; // 3D light
        case 23:
            role = QPalette::ToolTipText;
            break;
        case 24:
            role = QPalette::ToolTipBase;
            break;
        default:
            break;
        }
        return palette.color(group, role);
    }
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

qint32 qColorToOleColor(const QColor &color)
{
    return qint32(color.red() | (color.green() << 8) | (color.blue() << 16));
}

QColor FlexGridPrivate::color(qint32 ole) const
{
    return oleColorToQColor(ole, q->palette());
}

void FlexGridPrivate::update()
{
    // One request until the next paint: bulk writes through TextMatrix stay cheap.
    if (!redraw || updatePending)
        return;
    updatePending = true;
    q->viewport()->update();
}

void FlexGridPrivate::updateCells(const CellRange &range)
{
    // A whole repaint is coming anyway; merged cells may spread a change past the range.
    if (!redraw || updatePending)
        return;
    if (mergeCells != 0 || changedCells.size() >= 16) {
        changedCells.clear();
        update();
        return;
    }
    changedCells.push_back(range);
    if (!cellFlushQueued) {
        cellFlushQueued = true;
        QMetaObject::invokeMethod(
            q, [this] { flushCellUpdates(); }, Qt::QueuedConnection);
    }
}

void FlexGridPrivate::flushCellUpdates()
{
    cellFlushQueued = false;
    std::vector<CellRange> ranges;
    ranges.swap(changedCells);
    if (!redraw || updatePending)
        return;
    for (const CellRange &range : ranges) {
        const QRect rect = visibleRect(range);
        if (!rect.isEmpty())
            q->viewport()->update(rect);
    }
}

QRect FlexGridPrivate::visibleRect(const CellRange &range) const
{
    const int rows = model.rows(), cols = model.cols();
    if (rows == 0 || cols == 0)
        return {};
    const int lastRow = lastVisibleRow(), lastCol = lastVisibleCol();
    // The range's part among the frozen and among the scrolled rows (and columns).
    auto pieces = [](int first, int last, int fixed, int scrollFirst, int scrollLast) {
        std::vector<std::pair<int, int>> out;
        if (first < fixed)
            out.emplace_back(first, std::min(last, fixed - 1));
        const int a = std::max(first, scrollFirst), b = std::min(last, scrollLast);
        if (a <= b)
            out.emplace_back(a, b);
        return out;
    };
    QRect united;
    for (const auto &[r1, r2] : pieces(range.row1, range.row2, fixedRows, topRow, lastRow)) {
        for (const auto &[c1, c2] : pieces(range.col1, range.col2, fixedCols, leftCol, lastCol)) {
            QRect rect = rangeRect(CellRange { r1, c1, r2, c2 });
            rect.moveLeft(mirrorX(rect.x(), rect.width()));
            united |= rect;
        }
    }
    return united & q->viewport()->rect();
}

void FlexGridPrivate::applyFrame()
{
    if (borderStyle == 0)
        q->setFrameStyle(QFrame::NoFrame);
    else if (appearance == 0)
        q->setFrameStyle(QFrame::Box | QFrame::Plain);
    else
        q->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
}

void FlexGridPrivate::applyScrollBarPolicy()
{
    q->setHorizontalScrollBarPolicy(
        (scrollBars & 1) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    q->setVerticalScrollBarPolicy(
        (scrollBars & 2) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    q->verticalScrollBar()->setTracking(scrollTrack);
    q->horizontalScrollBar()->setTracking(scrollTrack);
}

void FlexGridPrivate::applyCursorShape()
{
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (mousePointer) {
    case 2:
        shape = Qt::CrossCursor;
        break;
    case 3:
        shape = Qt::IBeamCursor;
        break;
    case 5:
    case 15:
        shape = Qt::SizeAllCursor;
        break;
    case 6:
        shape = Qt::SizeBDiagCursor;
        break;
    case 7:
        shape = Qt::SizeVerCursor;
        break;
    case 8:
        shape = Qt::SizeFDiagCursor;
        break;
    case 9:
        shape = Qt::SizeHorCursor;
        break;
    case 10:
        shape = Qt::UpArrowCursor;
        break;
    case 11:
        shape = Qt::WaitCursor;
        break;
    case 12:
        shape = Qt::ForbiddenCursor;
        break;
    case 13:
        shape = Qt::BusyCursor;
        break;
    case 14:
        shape = Qt::WhatsThisCursor;
        break;
    default:
        break;
    }
    if (mousePointer == 99 && !mouseIcon.isNull())
        q->viewport()->setCursor(QCursor(mouseIcon));
    else
        q->viewport()->setCursor(shape);
}

// --- colours -----------------------------------------------------------------------------------

qint32 FlexGrid::BackColor() const
{
    return d->backColor;
}

void FlexGrid::setBackColor(qint32 color)
{
    d->assign(d->backColor, color);
}

qint32 FlexGrid::ForeColor() const
{
    return d->foreColor;
}

void FlexGrid::setForeColor(qint32 color)
{
    d->assign(d->foreColor, color);
}

qint32 FlexGrid::BackColorFixed() const
{
    return d->backColorFixed;
}

void FlexGrid::setBackColorFixed(qint32 color)
{
    d->assign(d->backColorFixed, color);
}

qint32 FlexGrid::ForeColorFixed() const
{
    return d->foreColorFixed;
}

void FlexGrid::setForeColorFixed(qint32 color)
{
    d->assign(d->foreColorFixed, color);
}

qint32 FlexGrid::BackColorSel() const
{
    return d->backColorSel;
}

void FlexGrid::setBackColorSel(qint32 color)
{
    d->assign(d->backColorSel, color);
}

qint32 FlexGrid::ForeColorSel() const
{
    return d->foreColorSel;
}

void FlexGrid::setForeColorSel(qint32 color)
{
    d->assign(d->foreColorSel, color);
}

qint32 FlexGrid::BackColorBkg() const
{
    return d->backColorBkg;
}

void FlexGrid::setBackColorBkg(qint32 color)
{
    d->assign(d->backColorBkg, color);
}

qint32 FlexGrid::GridColor() const
{
    return d->gridColor;
}

void FlexGrid::setGridColor(qint32 color)
{
    d->assign(d->gridColor, color);
}

qint32 FlexGrid::GridColorFixed() const
{
    return d->gridColorFixed;
}

void FlexGrid::setGridColorFixed(qint32 color)
{
    d->assign(d->gridColorFixed, color);
}

// --- enumerations ------------------------------------------------------------------------------

qint16 FlexGrid::GridLines() const
{
    return d->gridLines;
}

void FlexGrid::setGridLines(qint16 value)
{
    d->assign(d->gridLines, value, 0, 3);
}

qint16 FlexGrid::GridLinesFixed() const
{
    return d->gridLinesFixed;
}

void FlexGrid::setGridLinesFixed(qint16 value)
{
    d->assign(d->gridLinesFixed, value, 0, 3);
}

qint16 FlexGrid::GridLineWidth() const
{
    return d->gridLineWidth;
}

void FlexGrid::setGridLineWidth(qint16 value)
{
    d->assign(d->gridLineWidth, value, 1, 10);
}

qint16 FlexGrid::TextStyle() const
{
    return d->textStyle;
}

void FlexGrid::setTextStyle(qint16 value)
{
    d->assign(d->textStyle, value, 0, 4);
}

qint16 FlexGrid::TextStyleFixed() const
{
    return d->textStyleFixed;
}

void FlexGrid::setTextStyleFixed(qint16 value)
{
    d->assign(d->textStyleFixed, value, 0, 4);
}

qint16 FlexGrid::AllowUserResizing() const
{
    return d->allowUserResizing;
}

void FlexGrid::setAllowUserResizing(qint16 value)
{
    d->assign(d->allowUserResizing, value, 0, 3);
}

qint16 FlexGrid::PictureType() const
{
    return d->pictureType;
}

void FlexGrid::setPictureType(qint16 value)
{
    d->assign(d->pictureType, value, 0, 1);
}

qint16 FlexGrid::RowSizingMode() const
{
    return d->rowSizingMode;
}

void FlexGrid::setRowSizingMode(qint16 value)
{
    d->assign(d->rowSizingMode, value, 0, 1);
}

qint16 FlexGrid::Appearance() const
{
    return d->appearance;
}

void FlexGrid::setAppearance(qint16 appearance)
{
    d->assign(d->appearance, appearance, 0, 1, [this] { d->applyFrame(); });
}

qint16 FlexGrid::BorderStyle() const
{
    return d->borderStyle;
}

void FlexGrid::setBorderStyle(qint16 style)
{
    d->assign(d->borderStyle, style, 0, 1, [this] { d->applyFrame(); });
}

qint16 FlexGrid::ScrollBars() const
{
    return d->scrollBars;
}

void FlexGrid::setScrollBars(qint16 scrollBars)
{
    d->assign(d->scrollBars, scrollBars, 0, 3, [this] { d->applyScrollBarPolicy(); });
}

bool FlexGrid::ScrollTrack() const
{
    return d->scrollTrack;
}

void FlexGrid::setScrollTrack(bool track)
{
    d->assign(d->scrollTrack, track, [this] { d->applyScrollBarPolicy(); });
}

qint16 FlexGrid::MousePointer() const
{
    return d->mousePointer;
}

void FlexGrid::setMousePointer(qint16 pointer)
{
    if (pointer != 99) // 99: the custom MouseIcon
        FlexGridPrivate::checkRange(pointer, 0, 15);
    d->assign(d->mousePointer, pointer, [this] { d->applyCursorShape(); });
}

QPixmap FlexGrid::MouseIcon() const
{
    return d->mouseIcon;
}

void FlexGrid::setMouseIcon(const QPixmap &icon)
{
    d->mouseIcon = icon;
    d->applyCursorShape();
}

qint16 FlexGrid::OLEDropMode() const
{
    return d->oleDropMode;
}

void FlexGrid::setOLEDropMode(qint16 mode)
{
    d->assign(d->oleDropMode, mode, 0, 1, [this, mode] {
        setAcceptDrops(mode == 1);
        viewport()->setAcceptDrops(mode == 1);
    });
}

bool FlexGrid::RightToLeft() const
{
    return d->rightToLeft;
}

void FlexGrid::setRightToLeft(bool rightToLeft)
{
    d->assign(d->rightToLeft, rightToLeft, [this, rightToLeft] {
        setLayoutDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        d->update();
    });
}

QPixmap FlexGrid::Picture() const
{
    // A grid sized far past any screen would need gigabytes for its image.
    const QSize size = this->size().expandedTo(viewport()->size());
    if (qint64(size.width()) * size.height() > (qint64(1) << 26))
        throw Error(flexErrOutOfMemory, QStringLiteral("Out of memory"));
    QPixmap pixmap = viewport()->grab();
    if (d->pictureType == 1)
        return QBitmap::fromImage(pixmap.toImage().convertToFormat(QImage::Format_Mono));
    return pixmap;
}

bool FlexGrid::Redraw() const
{
    return d->redraw;
}

void FlexGrid::setRedraw(bool redraw)
{
    if (redraw == d->redraw)
        return;
    d->redraw = redraw;
    if (redraw) {
        d->updateScrollBars();
        viewport()->update();
    }
}

// --- fonts -------------------------------------------------------------------------------------

QFont FlexGrid::Font() const
{
    return d->font;
}

void FlexGrid::setFont(const QFont &font)
{
    d->setGridFont(font);
    QWidget::setFont(font);
    d->layoutChanged();
}

float FlexGrid::FontWidth() const
{
    return d->fontWidth;
}

void FlexGrid::setFontWidth(float width)
{
    if (!(width >= 0) || width > 2048) // NaN included
        FlexGridPrivate::invalidValue();
    d->assign(d->fontWidth, width);
}

QFont FlexGrid::FontFixed() const
{
    return d->fontFixed ? *d->fontFixed : d->font;
}

void FlexGrid::setFontFixed(const QFont &font)
{
    // Hosts hand the grid's own Font here to share one font object between the two; a value copy
    // would stay behind when Font changes later, so the grid's font means "follow Font".
    if (font == d->font)
        d->fontFixed.reset();
    else
        d->fontFixed = font;
    d->update();
}

} // namespace tessera
