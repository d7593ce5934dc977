// PictureBox: the hidden picture box the control keeps out of view, used to measure text with a
// font and to compose pictures; positions and text heights in twips.
#pragma once

#include <QImage>
#include <QWidget>

namespace tessera {

class PictureBox : public QWidget {
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);

    qint32 Left() const;
    void setLeft(qint32 twips);
    qint32 Top() const;
    void setTop(qint32 twips);

    // Height of `text` drawn in the box's font, line breaks included.
    qint32 TextHeight(const QString &text) const;

    // The canvas pictures are composed on.
    QImage &Image() { return m_image; }

private:
    QImage m_image;
    qint32 m_left = 0, m_top = 0; // as set, exactly
};

} // namespace tessera
