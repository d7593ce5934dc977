// TypeName of a value. Kept in its own file: the host layer may bring its own definition.
#include <tessera/Runtime.h>

#include <QObject>

namespace tessera {

namespace {

QString objectTypeName(const QObject *object)
{
    if (!object)
        return QStringLiteral("Nothing");
    QString name = QString::fromLatin1(object->metaObject()->className());
    const qsizetype colon = name.lastIndexOf(QLatin1String("::"));
    if (colon >= 0)
        return name.mid(colon + 2);
    // Qt's own classes lose their leading Q ("ComboBox").
    if (name.size() > 1 && name[0] == QLatin1Char('Q') && name[1].isUpper())
        name.remove(0, 1);
    return name;
}

} // namespace

QString TypeName(const QVariant &value)
{
    if (!value.isValid())
        return QStringLiteral("Empty");
    if (value.metaType().flags() & QMetaType::PointerToQObject)
        return objectTypeName(value.value<QObject *>());
    if (value.isNull())
        return QStringLiteral("Null");
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QStringLiteral("Boolean");
    case QMetaType::UChar:
    case QMetaType::Char:
    case QMetaType::SChar:
        return QStringLiteral("Byte");
    case QMetaType::Short:
    case QMetaType::UShort:
        return QStringLiteral("Integer");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return QStringLiteral("Long");
    case QMetaType::Float:
        return QStringLiteral("Single");
    case QMetaType::Double:
        return QStringLiteral("Double");
    case QMetaType::QString:
    case QMetaType::QChar:
        return QStringLiteral("String");
    case QMetaType::QByteArray:
        return QStringLiteral("Byte()");
    case QMetaType::QDate:
    case QMetaType::QDateTime:
    case QMetaType::QTime:
        return QStringLiteral("Date");
    default:
        break;
    }
    return QString::fromLatin1(value.typeName());
}

} // namespace tessera
