// tessera::Error: number, description and the runtime's standard texts.
#include <tessera/Error.h>

namespace tessera {

Error::Error(int number, QString description, QString source)
    : m_number(number)
    , m_description(description.isEmpty() ? standardDescription(number) : std::move(description))
    , m_source(std::move(source))
{
    m_what = QStringLiteral("Error %1: %2").arg(m_number).arg(m_description).toUtf8();
}

QString Error::standardDescription(int number)
{
    switch (number) {
    case errInvalidProcedureCall:
        return QStringLiteral("Invalid procedure call or argument");
    case errOverflow:
        return QStringLiteral("Overflow");
    case errOutOfMemory:
        return QStringLiteral("Out of memory");
    case errSubscriptOutOfRange:
        return QStringLiteral("Subscript out of range");
    case errTypeMismatch:
        return QStringLiteral("Type mismatch");
    case errFileNotFound:
        return QStringLiteral("File not found");
    case errFileAccess:
        return QStringLiteral("Path/File access error");
    case errInvalidFileFormat:
        return QStringLiteral("Invalid file format");
    case errObjectNotSet:
        return QStringLiteral("Object variable or With block variable not set");
    case errInvalidPropertyValue:
        return QStringLiteral("Invalid property value");
    case errInvalidPropertyArrayIndex:
        return QStringLiteral("Invalid property array index");
    case errObjectDoesNotSupportMember:
        return QStringLiteral("Object doesn't support this property or method");
    case errArgumentNotOptional:
        return QStringLiteral("Argument not optional");
    case errCantOpenClipboard:
        return QStringLiteral("Can't open Clipboard");
    default:
        return {};
    }
}

} // namespace tessera
