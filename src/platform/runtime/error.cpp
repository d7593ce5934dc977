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
    case InvalidProcedureCall:
        return QStringLiteral("Invalid procedure call or argument");
    case Overflow:
        return QStringLiteral("Overflow");
    case SubscriptOutOfRange:
        return QStringLiteral("Subscript out of range");
    case TypeMismatch:
        return QStringLiteral("Type mismatch");
    case ObjectNotSet:
        return QStringLiteral("Object variable or With block variable not set");
    case InvalidPropertyArrayIndex:
        return QStringLiteral("Invalid property array index");
    default:
        return {};
    }
}

} // namespace tessera
