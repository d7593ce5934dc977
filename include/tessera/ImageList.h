// An image list a host hands to a control: pictures of one size, reached by 1-based item number
// or by key.
#pragma once

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QString>
#include <QVariant>

namespace tessera {

// One image of the list, as handed out (a copy; QPixmap shares its data).
struct ListImage {
    qint32 Index = 0;
    QString Key;
    QPixmap Picture;
};

// Error numbers of the list (tessera::Error::number()).
enum ImageListError : int {
    ilErrInvalidPicture = 481, // "Invalid picture"
    ilErrIndexOutOfBounds = 35600, // "Index out of bounds"
    ilErrElementNotFound = 35601, // no image with that key
    ilErrKeyNotUnique = 35602, // "Key is not unique in collection"
    ilErrInvalidKey = 35603, // a key made of digits only
    ilErrReadOnlyWithImages = 35611, // size change while images are held
};

// Index and key lookups take a number (1-based) or a text key.
class ImageList : public QObject {
    Q_OBJECT
public:
    explicit ImageList(QObject *parent = nullptr);
    ~ImageList() override;

    // Size of every image, in pixels; 0 until set or taken from the first image added.
    qint16 ImageWidth() const { return m_width; }
    void setImageWidth(qint16 width);
    qint16 ImageHeight() const { return m_height; }
    void setImageHeight(qint16 height);

    // The collection of images: ListImages().Count(), ListImages(3).Picture, ListImages("key").
    class Images {
    public:
        qint32 Count() const;
        ListImage Item(const QVariant &indexOrKey) const;
        // Inserts before `index` (empty: at the end) and returns the new image.
        ListImage Add(const QVariant &index = QVariant(), const QString &key = QString(),
            const QPixmap &picture = QPixmap());
        void Remove(const QVariant &indexOrKey);
        void Clear();

    private:
        friend class ImageList;
        explicit Images(ImageList *list)
            : m_list(list)
        {
        }
        ImageList *m_list;
    };
    Images ListImages() { return Images(this); }
    const Images ListImages() const { return Images(const_cast<ImageList *>(this)); }
    ListImage ListImages(const QVariant &indexOrKey) const { return ListImages().Item(indexOrKey); }

    // Shortcut for ListImages(indexOrKey).Picture.
    QPixmap Picture(const QVariant &indexOrKey) const { return ListImages(indexOrKey).Picture; }

signals:
    void Changed();

private:
    struct Entry {
        QString key;
        QPixmap picture;
    };
    qsizetype position(const QVariant &indexOrKey) const;
    qsizetype findKey(const QString &key) const;
    ListImage imageAt(qsizetype pos) const;

    QList<Entry> m_images;
    qint16 m_width = 0;
    qint16 m_height = 0;
};

} // namespace tessera
