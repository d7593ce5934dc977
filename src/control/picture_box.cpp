// PictureBox: placement in twips and text measuring.
#include "picture_box.h"

#include <tessera/Twips.h>

#include <QFontMetrics>

namespace tessera {

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
}

qint32 PictureBox::Left() const
{
    return m_left;
}

void PictureBox::setLeft(qint32 twips)
{
    m_left = twips;
    move(toPixels(twips), y());
}

qint32 PictureBox::Top() const
{
    return m_top;
}

void PictureBox::setTop(qint32 twips)
{
    m_top = twips;
    move(x(), toPixels(twips));
}

qint32 PictureBox::TextHeight(const QString &text) const
{
    const QFontMetrics metrics(font());
    const qsizetype lines = text.count(QLatin1Char('\n')) + 1;
    return toTwips(qint64(lines) * metrics.height());
}

} // namespace tessera
