// FlexGrid painting: only the visible cells, in four regions (fixed corner, fixed rows, fixed
// columns, scrolling cells) so fixed cells stay frozen; merged ranges drawn once; selection,
// focus rectangle, grid lines, pictures, text styles, word wrap, right-to-left; the symbol fonts
// drawn through Unicode equivalents.
//
// paintEvent -> for each region, each visible cell -> paintCell (a cell or a merged range).
#include "flexgrid_p.h"

#include <tessera/Runtime.h>

#include <QPaintEvent>
#include <QPainter>

#include <vector>

namespace tessera {

namespace {

// Cells in "Wingdings" or "Symbol" keep their original characters; they are drawn with the
// matching glyphs of a font that is installed everywhere.
bool mapSymbolFont(QString &text, QFont &font)
{
    const QString family = font.family();
    const bool wingdings = family.compare(QLatin1String("Wingdings"), Qt::CaseInsensitive) == 0;
    const bool symbol = family.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0;
    if (!wingdings && !symbol)
        return false;
    for (QChar &ch : text) {
        const ushort u = ch.unicode();
        if (wingdings) {
            if (u == 0xFE)
                ch = QChar(0x2611); // checked box
            else if (u == 'q' || u == 'o' || u == 0xA8)
                ch = QChar(0x2610); // empty box
            else if (u == 0xFD)
                ch = QChar(0x2612); // crossed box
        } else {
            switch (u) {
            case 0xAB:
                ch = QChar(0x2194);
                break; // left-right arrow
            case 0xAC:
                ch = QChar(0x2190);
                break;
            case 0xAD:
                ch = QChar(0x2191);
                break; // up arrow
            case 0xAE:
                ch = QChar(0x2192);
                break;
            case 0xAF:
                ch = QChar(0x2193);
                break; // down arrow
            default:
                break;
            }
        }
    }
    font.setFamily(QStringLiteral("DejaVu Sans"));
    return true;
}

Qt::Alignment qtAlignment(int code, const QString &text, bool rightToLeft)
{
    Qt::Alignment h = Qt::AlignLeft, v = Qt::AlignVCenter;
    switch (code) {
    case 0:
        h = Qt::AlignLeft;
        v = Qt::AlignTop;
        break;
    case 1:
        h = Qt::AlignLeft;
        break;
    case 2:
        h = Qt::AlignLeft;
        v = Qt::AlignBottom;
        break;
    case 3:
        h = Qt::AlignHCenter;
        v = Qt::AlignTop;
        break;
    case 4:
        h = Qt::AlignHCenter;
        break;
    case 5:
        h = Qt::AlignHCenter;
        v = Qt::AlignBottom;
        break;
    case 6:
        h = Qt::AlignRight;
        v = Qt::AlignTop;
        break;
    case 7:
        h = Qt::AlignRight;
        break;
    case 8:
        h = Qt::AlignRight;
        v = Qt::AlignBottom;
        break;
    default: {
        // General: numbers (by the user's locale, as IsNumeric reads them) right, text left.
        // Longer texts are not worth a locale parse on every paint (a megabyte took seconds).
        double ignored = 0;
        const bool number = text.size() <= 400 && NumericValue(text, ignored);
        h = number ? Qt::AlignRight : Qt::AlignLeft;
        break;
    }
    }
    if (rightToLeft && h != Qt::AlignHCenter)
        h = h == Qt::AlignLeft ? Qt::AlignRight : Qt::AlignLeft;
    return h | v;
}

QRect alignedBox(const QRect &cell, const QSize &size, Qt::Alignment a)
{
    int x = cell.x(), y = cell.y();
    if (a & Qt::AlignHCenter)
        x += (cell.width() - size.width()) / 2;
    else if (a & Qt::AlignRight)
        x += cell.width() - size.width();
    if (a & Qt::AlignVCenter)
        y += (cell.height() - size.height()) / 2;
    else if (a & Qt::AlignBottom)
        y += cell.height() - size.height();
    return QRect(QPoint(x, y), size);
}

} // namespace

struct PaintContext {
    QPainter *p;
    CellRange selection;
    bool highlightOn;
};

static void paintCell(const FlexGridPrivate *d, const PaintContext &ctx, const CellRange &range)
{
    QPainter &p = *ctx.p;
    const int r = range.row1, c = range.col1;
    const detail::GridModel &m = d->model;
    const bool fixed = r < d->fixedRows || c < d->fixedCols;
    const bool containsCurrent = d->row >= range.row1 && d->row <= range.row2
        && d->col >= range.col1 && d->col <= range.col2;
    const CellRange &s = ctx.selection;
    const bool inSelection
        = r <= s.row2 && range.row2 >= s.row1 && c <= s.col2 && range.col2 >= s.col1;
    const bool selected
        = !fixed && ctx.highlightOn && inSelection && !(containsCurrent && d->focusRect != 0);

    QRect rect = d->rangeRect(range);
    if (rect.width() <= 0 || rect.height() <= 0)
        return; // hidden column or row
    rect.moveLeft(d->mirrorX(rect.x(), rect.width()));

    // Background.
    QVariant v = m.format(r, c, CellAttr::BackColor);
    qint32 back = fixed ? d->backColorFixed : d->backColor;
    if (selected)
        back = d->backColorSel;
    else if (v.isValid())
        back = v.toInt();
    p.fillRect(rect, d->color(back));

    // Grid lines take the right and bottom edges of the cell.
    const int lineStyle = fixed ? d->gridLinesFixed : d->gridLines;
    const int lw = lineStyle ? d->gridLineWidth : 0;
    const QRect inner = rect.adjusted(d->rightToLeft ? lw : 0, 0, d->rightToLeft ? 0 : -lw, -lw);
    if (lineStyle == 1) {
        const QColor line = d->color(fixed ? d->gridColorFixed : d->gridColor);
        if (d->rightToLeft)
            p.fillRect(QRect(rect.left(), rect.top(), lw, rect.height()), line);
        else
            p.fillRect(QRect(rect.right() - lw + 1, rect.top(), lw, rect.height()), line);
        p.fillRect(QRect(rect.left(), rect.bottom() - lw + 1, rect.width(), lw), line);
    } else if (lineStyle >= 2) {
        const QColor light = d->q->palette().color(QPalette::Light);
        const QColor dark = d->color(fixed ? d->gridColorFixed : d->gridColor);
        const QColor topLeft = lineStyle == 2 ? dark : light;
        const QColor bottomRight = lineStyle == 2 ? light : dark;
        p.fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), topLeft);
        p.fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), topLeft);
        p.fillRect(QRect(rect.left(), rect.bottom() - lw + 1, rect.width(), lw), bottomRight);
        p.fillRect(QRect(rect.right() - lw + 1, rect.top(), lw, rect.height()), bottomRight);
    }

    // Picture.
    v = m.format(r, c, CellAttr::Picture);
    if (v.isValid()) {
        const QPixmap pic = v.value<QPixmap>();
        if (!pic.isNull()) {
            const QVariant pa = m.format(r, c, CellAttr::PictureAlignment);
            const int code = pa.isValid() ? pa.toInt() : FlexGrid::flexAlignLeftCenter;
            p.save();
            p.setClipRect(inner, Qt::IntersectClip);
            if (code == FlexGrid::flexAlignGeneral)
                p.drawPixmap(inner, pic);
            else if (code == FlexGrid::flexAlignTile)
                p.drawTiledPixmap(inner, pic);
            else
                p.drawPixmap(
                    alignedBox(inner, pic.size(), qtAlignment(code, {}, d->rightToLeft)), pic);
            p.restore();
        }
    }

    // Text.
    QString text = m.text(r, c);
    if (!text.isEmpty()) {
        QFont font = d->cellFont(r, c);
        mapSymbolFont(text, font);
        v = m.format(r, c, CellAttr::ForeColor);
        qint32 fore = fixed ? d->foreColorFixed : d->foreColor;
        if (selected)
            fore = d->foreColorSel;
        else if (v.isValid())
            fore = v.toInt();
        v = m.format(r, c, CellAttr::Alignment);
        int code;
        if (v.isValid()) {
            code = v.toInt();
        } else if (r < d->fixedRows) {
            code = m.fixedAlignment(c);
            if (code < 0)
                code = m.colAlignment(c);
        } else {
            code = m.colAlignment(c);
        }
        const Qt::Alignment align = qtAlignment(code, text, d->rightToLeft);
        const int flags = int(align) | (d->wordWrap ? Qt::TextWordWrap : 0);
        v = m.format(r, c, CellAttr::TextStyle);
        const int style = v.isValid() ? v.toInt() : (fixed ? d->textStyleFixed : d->textStyle);
        const QRect textRect = inner.adjusted(3, 1, -3, -1);
        // Laying out a megabyte text takes seconds and shows a few dozen characters: draw only
        // what could fit, from the side the alignment shows.
        const qint64 visible
            = 256 + qint64(std::max(textRect.width(), 0)) * std::max(textRect.height(), 0) / 8;
        if (text.size() > visible) {
            if (align & Qt::AlignRight)
                text = text.right(visible);
            else if (align & Qt::AlignHCenter)
                text = text.mid((text.size() - visible) / 2, visible);
            else
                text.truncate(visible);
        }
        p.save();
        p.setClipRect(inner, Qt::IntersectClip);
        p.setFont(font);
        if (style != 0) {
            // Raised text has a light edge below right, inset text a dark one.
            const bool raised = style == 1 || style == 3;
            const bool lightStyle = style >= 3;
            QColor edge = raised ? QColor(Qt::white) : QColor(Qt::darkGray);
            if (lightStyle)
                edge = raised ? QColor(230, 230, 230) : QColor(160, 160, 160);
            p.setPen(edge);
            p.drawText(textRect.translated(1, 1), flags, text);
        }
        p.setPen(d->color(fore));
        p.drawText(textRect, flags, text);
        p.restore();
    }

    // Focus rectangle on the current cell.
    if (containsCurrent && !fixed && d->focusRect != 0) {
        p.save();
        QPen pen(d->color(d->foreColor));
        if (d->focusRect == 1) {
            pen.setStyle(Qt::DotLine);
            pen.setWidth(1);
            p.setPen(pen);
            p.drawRect(inner.adjusted(0, 0, -1, -1));
        } else {
            pen.setWidth(2);
            pen.setJoinStyle(Qt::MiterJoin);
            p.setPen(pen);
            p.drawRect(inner.adjusted(1, 1, -1, -1));
        }
        p.restore();
    }
}

void FlexGrid::paintEvent(QPaintEvent *event)
{
    d->updatePending = false;
    if (!d->redraw)
        return;
    QPainter p(viewport());
    const QRect all = viewport()->rect();
    p.fillRect(event->rect(), d->color(d->backColorBkg));
    const int rows = d->model.rows(), cols = d->model.cols();
    if (rows == 0 || cols == 0)
        return;

    PaintContext ctx { &p, d->shownSelection(),
        d->highLight == 1 || (d->highLight == 2 && hasFocus()) };
    const int fh = d->fixedHeight(), fw = d->fixedWidth();
    const int lastRow = d->lastVisibleRow(), lastCol = d->lastVisibleCol();
    struct Span {
        int first, last, from, to; // index range and pixel range
    };
    const Span rowSpans[2]
        = { { 0, d->fixedRows - 1, 0, fh }, { d->topRow, lastRow, fh, all.height() } };
    const Span colSpans[2]
        = { { 0, d->fixedCols - 1, 0, fw }, { d->leftCol, lastCol, fw, all.width() } };
    // Only the cells the exposed rectangle touches (a cursor move exposes a few).
    const QRect exposed = event->rect();
    const int exposedLeft = d->mirrorX(exposed.x(), exposed.width());
    const int rowLo = d->rowAtY(exposed.top()), rowHi = d->rowAtY(exposed.bottom());
    const int colLo = d->colAtX(exposedLeft), colHi = d->colAtX(exposedLeft + exposed.width() - 1);

    // Scrolling cells first, frozen cells over them.
    for (int ri = 1; ri >= 0; --ri) {
        for (int ci = 1; ci >= 0; --ci) {
            const Span &rs = rowSpans[ri], &cs = colSpans[ci];
            if (rs.first > rs.last || cs.first > cs.last || rs.from >= rs.to || cs.from >= cs.to)
                continue;
            QRect clip(cs.from, rs.from, cs.to - cs.from, rs.to - rs.from);
            clip.moveLeft(d->mirrorX(clip.x(), clip.width()));
            if (!clip.intersects(event->rect()))
                continue;
            p.setClipRect(clip);
            // Merged ranges drawn in this region: their other cells are skipped without asking
            // the model again (a long merged column costs one lookup, not one per cell).
            std::vector<CellRange> drawn;
            auto inDrawn = [&drawn](int r, int c) {
                for (const CellRange &m : drawn)
                    if (r >= m.row1 && r <= m.row2 && c >= m.col1 && c <= m.col2)
                        return true;
                return false;
            };
            const int r1 = std::max(rs.first, rowLo),
                      r2 = rowHi < 0 ? rs.last : std::min(rs.last, rowHi);
            const int c1 = std::max(cs.first, colLo),
                      c2 = colHi < 0 ? cs.last : std::min(cs.last, colHi);
            for (int r = r1; r <= r2; ++r) {
                for (int c = c1; c <= c2; ++c) {
                    CellRange range { r, c, r, c };
                    if (d->mergeCells != 0) {
                        if (inDrawn(r, c))
                            continue;
                        range
                            = d->model.mergedRange(r, c, d->mergeCells, d->fixedRows, d->fixedCols);
                        if (range.row1 != range.row2 || range.col1 != range.col2)
                            drawn.push_back(range);
                    }
                    paintCell(d.get(), ctx, range);
                }
            }
        }
    }
}

} // namespace tessera
