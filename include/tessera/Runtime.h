// The host runtime's text services: leading-number value, locale-aware numeric test and
// conversion, format expressions, Boolean texts and the variant comparison rules.
#pragma once

#include <tessera/Error.h>

#include <QLocale>
#include <QString>
#include <QVariant>

namespace tessera {

// The user's locale for every locale-aware service below (default: the system locale).
void setUserLocale(const QLocale &locale);
QLocale userLocale();

// Value of the leading number of a text; 0 when the text has no such prefix.
double Val(const QString &text);

// True when the locale-aware conversion accepts the value.
bool IsNumeric(const QVariant &value);

// Locale-aware conversion to a number; Error 13 when the value is not numeric.
double CDbl(const QVariant &value);

// Formats a value with a format expression, in the user's locale.
QString Format(const QVariant &value, const QString &expression = QString());

// Text-to-Boolean conversion; Error 13 when the value has none.
bool CBool(const QVariant &value);

// The runtime's texts for true and false: "True", "False".
QString CStr(bool value);

} // namespace tessera
