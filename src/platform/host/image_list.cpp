// ImageList: pictures of one size by item number or key, with the list's error numbers.
#include <tessera/Error.h>
#include <tessera/ImageList.h>
#include <tessera/VariantTypes.h>

#include <QMetaType>

#include <cmath>

namespace tessera {

namespace {

constexpr int InvalidPropertyValue = 380;

[[noreturn]] void outOfBounds()
{
    throw Error(ilErrIndexOutOfBounds, QStringLiteral("Index out of bounds"));
}

// A 1-based item number from a numeric variant; fractions round as the runtime rounds (to even).
qint64 itemNumber(const QVariant &v)
{
    const double d = v.toDouble();
    if (!(d > -2147483649.0 && d < 2147483648.0))
        outOfBounds();
    return qint64(std::nearbyint(d));
}

bool isAllDigits(const QString &key)
{
    if (key.isEmpty())
        return false;
    for (QChar c : key) {
        if (!c.isDigit())
            return false;
    }
    return true;
}

} // namespace

ImageList::ImageList(QObject *parent)
    : QObject(parent)
{
}

ImageList::~ImageList() = default;

void ImageList::setImageWidth(qint16 width)
{
    if (width == m_width)
        return;
    if (!m_images.isEmpty())
        throw Error(ilErrReadOnlyWithImages,
            QStringLiteral("ImageWidth cannot change while the list holds images"));
    if (width < 0)
        throw Error(InvalidPropertyValue, QStringLiteral("Invalid property value"));
    m_width = width;
}

void ImageList::setImageHeight(qint16 height)
{
    if (height == m_height)
        return;
    if (!m_images.isEmpty())
        throw Error(ilErrReadOnlyWithImages,
            QStringLiteral("ImageHeight cannot change while the list holds images"));
    if (height < 0)
        throw Error(InvalidPropertyValue, QStringLiteral("Invalid property value"));
    m_height = height;
}

qsizetype ImageList::findKey(const QString &key) const
{
    for (qsizetype i = 0; i < m_images.size(); ++i) {
        if (m_images.at(i).key.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

qsizetype ImageList::position(const QVariant &indexOrKey) const
{
    if (isNumberTypeId(indexOrKey.typeId())) {
        const qint64 n = itemNumber(indexOrKey);
        if (n < 1 || n > m_images.size())
            outOfBounds();
        return qsizetype(n - 1);
    }
    if (indexOrKey.metaType().id() == QMetaType::QString) {
        const QString key = indexOrKey.toString();
        const qsizetype pos = key.isEmpty() ? -1 : findKey(key);
        if (pos < 0)
            throw Error(ilErrElementNotFound, QStringLiteral("Element not found: \"%1\"").arg(key));
        return pos;
    }
    throw Error(
        errTypeMismatch, QStringLiteral("Type mismatch: an image is chosen by number or by key"));
}

ListImage ImageList::imageAt(qsizetype pos) const
{
    const Entry &e = m_images.at(pos);
    return ListImage { qint32(pos + 1), e.key, e.picture };
}

qint32 ImageList::Images::Count() const
{
    return qint32(m_list->m_images.size());
}

ListImage ImageList::Images::Item(const QVariant &indexOrKey) const
{
    return m_list->imageAt(m_list->position(indexOrKey));
}

ListImage ImageList::Images::Add(const QVariant &index, const QString &key, const QPixmap &picture)
{
    ImageList &l = *m_list;
    qsizetype pos = l.m_images.size();
    if (index.isValid() && !index.isNull()) {
        if (!isNumberTypeId(index.typeId()))
            throw Error(errTypeMismatch, QStringLiteral("Type mismatch: index must be a number"));
        const qint64 n = itemNumber(index);
        if (n < 1 || n > l.m_images.size() + 1)
            outOfBounds();
        pos = qsizetype(n - 1);
    }
    if (isAllDigits(key))
        throw Error(
            ilErrInvalidKey, QStringLiteral("Invalid key: \"%1\" (a key needs a letter)").arg(key));
    if (!key.isEmpty() && l.findKey(key) >= 0)
        throw Error(
            ilErrKeyNotUnique, QStringLiteral("Key is not unique in collection: \"%1\"").arg(key));
    if (picture.isNull())
        throw Error(ilErrInvalidPicture, QStringLiteral("Invalid picture"));

    // The first image fixes the list's size where none was set; later ones are scaled to it.
    if (l.m_images.isEmpty()) {
        if (l.m_width == 0)
            l.m_width = qint16(qMin(picture.width(), 32767));
        if (l.m_height == 0)
            l.m_height = qint16(qMin(picture.height(), 32767));
    }
    QPixmap stored = picture;
    if (stored.width() != l.m_width || stored.height() != l.m_height)
        stored = picture.scaled(
            l.m_width, l.m_height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    l.m_images.insert(pos, Entry { key, stored });
    emit l.Changed();
    return l.imageAt(pos);
}

void ImageList::Images::Remove(const QVariant &indexOrKey)
{
    m_list->m_images.removeAt(m_list->position(indexOrKey));
    emit m_list->Changed();
}

void ImageList::Images::Clear()
{
    if (m_list->m_images.isEmpty())
        return;
    m_list->m_images.clear();
    emit m_list->Changed();
}

} // namespace tessera
