// Which QVariant types hold numbers, shared by every layer that converts or compares values.
#pragma once

#include <QMetaType>

namespace tessera {

// Integer types of any width and sign (Boolean excluded).
constexpr bool isIntegerTypeId(int typeId)
{
    switch (typeId) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

// Integer and floating-point types (Boolean excluded).
constexpr bool isNumberTypeId(int typeId)
{
    return isIntegerTypeId(typeId) || typeId == QMetaType::Double || typeId == QMetaType::Float;
}

} // namespace tessera
