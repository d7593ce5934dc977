// FlexGrid cell formats: the Cell* members act on the current cell, or on the whole selection
// while FillStyle is 1 (one range entry in the model, whatever the size of the selection).
#include "flexgrid_p.h"

namespace tessera {

void FlexGridPrivate::setFormat(CellAttr attr, const QVariant &value)
{
    if (model.rows() == 0 || model.cols() == 0)
        throw Error(flexErrSubscript, QStringLiteral("Subscript out of range"));
    const CellRange range = fillRange();
    if (model.setFormat(range, attr, value))
        updateCells(range);
}

QVariant FlexGridPrivate::currentFormat(CellAttr attr) const
{
    if (row >= model.rows() || col >= model.cols())
        return {};
    return model.format(row, col, attr);
}

// The font a cell is drawn with: the grid font (or the fixed-cell font) plus the cell's own.
QFont FlexGridPrivate::cellFont(int r, int c) const
{
    QFont f = (fontFixed && (r < fixedRows || c < fixedCols)) ? *fontFixed : font;
    QVariant v = model.format(r, c, CellAttr::FontName);
    if (v.isValid())
        f.setFamily(v.toString());
    v = model.format(r, c, CellAttr::FontSize);
    if (v.isValid() && v.toFloat() > 0)
        f.setPointSizeF(v.toFloat());
    v = model.format(r, c, CellAttr::FontBold);
    if (v.isValid())
        f.setBold(v.toBool());
    v = model.format(r, c, CellAttr::FontItalic);
    if (v.isValid())
        f.setItalic(v.toBool());
    v = model.format(r, c, CellAttr::FontUnderline);
    if (v.isValid())
        f.setUnderline(v.toBool());
    v = model.format(r, c, CellAttr::FontStrikeThrough);
    if (v.isValid())
        f.setStrikeOut(v.toBool());
    v = model.format(r, c, CellAttr::FontWidth);
    const float width = v.isValid() ? v.toFloat() : fontWidth;
    if (width > 0 && f.pointSizeF() > 0) {
        // Average character width in points against the font's natural one (about half its size).
        const int stretch = int(width * 200.0 / f.pointSizeF());
        f.setStretch(std::clamp(stretch, 1, 4000));
    }
    return f;
}

qint32 FlexGrid::CellBackColor() const
{
    const QVariant v = d->currentFormat(CellAttr::BackColor);
    if (v.isValid())
        return v.toInt();
    return (d->row < d->fixedRows || d->col < d->fixedCols) ? d->backColorFixed : d->backColor;
}

void FlexGrid::setCellBackColor(qint32 color)
{
    d->setFormat(CellAttr::BackColor, color);
}

qint32 FlexGrid::CellForeColor() const
{
    if (d->row >= d->model.rows() || d->col >= d->model.cols())
        return d->foreColor;
    return CellForeColorAt(d->row, d->col);
}

void FlexGrid::setCellForeColor(qint32 color)
{
    d->setFormat(CellAttr::ForeColor, color);
}

qint32 FlexGrid::CellForeColorAt(qint32 row, qint32 col) const
{
    d->checkCell(row, col);
    const QVariant v = d->model.format(row, col, CellAttr::ForeColor);
    if (v.isValid())
        return v.toInt();
    return (row < d->fixedRows || col < d->fixedCols) ? d->foreColorFixed : d->foreColor;
}

void FlexGrid::setCellForeColorAt(qint32 row, qint32 col, qint32 color)
{
    d->checkCell(row, col);
    if (d->model.setFormat({ row, col, row, col }, CellAttr::ForeColor, color))
        d->updateCells({ row, col, row, col });
}

qint16 FlexGrid::CellAlignment() const
{
    const QVariant v = d->currentFormat(CellAttr::Alignment);
    if (v.isValid())
        return qint16(v.toInt());
    if (d->col >= d->model.cols())
        return flexAlignGeneral;
    if (d->row < d->fixedRows)
        return FixedAlignment(d->col);
    return qint16(d->model.colAlignment(d->col));
}

void FlexGrid::setCellAlignment(qint16 alignment)
{
    FlexGridPrivate::checkRange(alignment, 0, flexAlignGeneral);
    d->setFormat(CellAttr::Alignment, int(alignment));
}

qint16 FlexGrid::CellTextStyle() const
{
    const QVariant v = d->currentFormat(CellAttr::TextStyle);
    if (v.isValid())
        return qint16(v.toInt());
    return (d->row < d->fixedRows || d->col < d->fixedCols) ? d->textStyleFixed : d->textStyle;
}

void FlexGrid::setCellTextStyle(qint16 style)
{
    FlexGridPrivate::checkRange(style, 0, 4);
    d->setFormat(CellAttr::TextStyle, int(style));
}

QPixmap FlexGrid::CellPicture() const
{
    return d->currentFormat(CellAttr::Picture).value<QPixmap>();
}

void FlexGrid::setCellPicture(const QPixmap &picture)
{
    d->setFormat(CellAttr::Picture, picture.isNull() ? QVariant() : QVariant::fromValue(picture));
}

qint16 FlexGrid::CellPictureAlignment() const
{
    const QVariant v = d->currentFormat(CellAttr::PictureAlignment);
    return v.isValid() ? qint16(v.toInt()) : qint16(flexAlignLeftCenter);
}

void FlexGrid::setCellPictureAlignment(qint16 alignment)
{
    FlexGridPrivate::checkRange(alignment, 0, flexAlignTile);
    d->setFormat(CellAttr::PictureAlignment, int(alignment));
}

QString FlexGrid::CellFontName() const
{
    if (d->row >= d->model.rows() || d->col >= d->model.cols())
        return d->font.family();
    return d->cellFont(d->row, d->col).family();
}

void FlexGrid::setCellFontName(const QString &name)
{
    d->setFormat(CellAttr::FontName, name);
}

float FlexGrid::CellFontSize() const
{
    const QVariant v = d->currentFormat(CellAttr::FontSize);
    return v.isValid() ? v.toFloat() : float(d->font.pointSizeF());
}

void FlexGrid::setCellFontSize(float size)
{
    if (!(size > 0) || size > 2048)
        FlexGridPrivate::invalidValue();
    d->setFormat(CellAttr::FontSize, size);
}

bool FlexGrid::CellFontBold() const
{
    const QVariant v = d->currentFormat(CellAttr::FontBold);
    return v.isValid() ? v.toBool() : d->font.bold();
}

void FlexGrid::setCellFontBold(bool bold)
{
    d->setFormat(CellAttr::FontBold, bold);
}

bool FlexGrid::CellFontItalic() const
{
    const QVariant v = d->currentFormat(CellAttr::FontItalic);
    return v.isValid() ? v.toBool() : d->font.italic();
}

void FlexGrid::setCellFontItalic(bool italic)
{
    d->setFormat(CellAttr::FontItalic, italic);
}

bool FlexGrid::CellFontUnderline() const
{
    const QVariant v = d->currentFormat(CellAttr::FontUnderline);
    return v.isValid() ? v.toBool() : d->font.underline();
}

void FlexGrid::setCellFontUnderline(bool underline)
{
    d->setFormat(CellAttr::FontUnderline, underline);
}

bool FlexGrid::CellFontStrikeThrough() const
{
    const QVariant v = d->currentFormat(CellAttr::FontStrikeThrough);
    return v.isValid() ? v.toBool() : d->font.strikeOut();
}

void FlexGrid::setCellFontStrikeThrough(bool strikeThrough)
{
    d->setFormat(CellAttr::FontStrikeThrough, strikeThrough);
}

float FlexGrid::CellFontWidth() const
{
    const QVariant v = d->currentFormat(CellAttr::FontWidth);
    return v.isValid() ? v.toFloat() : d->fontWidth;
}

void FlexGrid::setCellFontWidth(float width)
{
    if (!(width >= 0) || width > 2048) // NaN included
        FlexGridPrivate::invalidValue();
    d->setFormat(CellAttr::FontWidth, width);
}

} // namespace tessera
