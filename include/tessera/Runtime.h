// The host runtime's text services: leading-number value, locale-aware numeric test and
// conversion, format expressions, Boolean texts and the variant comparison rules.
//
// Values follow the runtime's Variant model: an invalid QVariant is Empty, a valid QVariant whose
// isNull() is true (e.g. QVariant::fromValue(nullptr)) is Null; bool, the integer types, float and
// double are numbers; QString (and QByteArray, QChar) are texts; QDate, QDateTime and QTime are
// dates. These services are meant for the GUI thread (the user locale is one global setting).
#pragma once

#include <tessera/Error.h>

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QVariant>

namespace tessera {

// The user's locale for every locale-aware service below (default: the system locale).
void setUserLocale(const QLocale &locale);
QLocale userLocale();
// Bumps with every setUserLocale: what a cache of locale-dependent texts checks.
int userLocaleGeneration();

// Value of the leading number of a text; 0 when the text has no such prefix. Blanks, tabs and line
// feeds are ignored anywhere; "." is the decimal point in every locale; E or D start an exponent;
// &H / &O read hexadecimal / octal integers (16-bit when they fit, else 32-bit, else their plain
// value). Never raises: a number beyond the Double range gives an infinity of its sign.
double Val(QStringView text);

// True when the locale-aware conversion accepts the value.
bool IsNumeric(const QVariant &value);
// The same test for a text, giving the number it reads as (the value CDbl gives).
bool NumericValue(QStringView text, double &value);

// Locale-aware conversion to a number; Error 13 when the value is not numeric.
double CDbl(const QVariant &value);
// The same, rounded half to even to a 16- or 32-bit integer, or narrowed to a Single; Error 6
// when the number does not fit.
qint16 CInt(const QVariant &value);
qint32 CLng(const QVariant &value);
float CSng(const QVariant &value);

// Formats a value with a format expression, in the user's locale. Numbers (and Booleans as -1/0,
// numeric texts as their number) go through the section for their sign: one section puts "-"
// before a negative, unless it rounds to all zeros; a second section shows negatives without
// sign, a third shows exact zero, a fourth Empty and Null (which otherwise give ""). Digits are
// the value's 15 significant ones (7 for a Single), rounded half away from zero. In an exponent
// format the placeholders before the decimal point give the mantissa's integer digits and those
// after E+ E- e+ e- the exponent's minimum digits (none: as many as it needs); E- and e- show no
// plus sign. A text that is not numeric comes back unchanged; an empty expression gives CStr.
// An expression whose first section has date tokens and no digit placeholders reads numbers as
// date serials. One whose first section has @ & < > or ! is a text format and takes any value
// by its text (CStr): @ shows a character or a space, & a character or nothing, filled from the
// right (from the left after !), characters beyond them go before (after) everything else;
// < and > change the case; a second section is for empty texts and Null.
QString Format(const QVariant &value, const QString &expression = QString());

// Text-to-Boolean conversion; Error 13 when the value has none.
bool CBool(const QVariant &value);

// The runtime's texts for true and false: "True", "False".
QString CStr(bool value);

// The value as text: numbers in the user's locale (no grouping, at most 15 significant digits,
// exponent form from 1E+15 up and below 0.0001), Booleans "True"/"False", dates in the user's
// short date format (with the time when it is not midnight), Empty and Null "".
QString CStr(const QVariant &value);

// Orders two values: numbers (and Booleans, dates) by value, texts by their UTF-16 code units,
// a number against a numeric text by value, a number before a non-numeric text. Empty counts as
// 0 beside a number and as "" beside a text; Null comes before everything else.
// Returns <0, 0 or >0.
int CompareVariants(const QVariant &a, const QVariant &b);

// The runtime's type name of a value: "Empty", "Null", "Boolean", "Byte", "Integer", "Long",
// "Single", "Double", "String", "Date"; an object held in the value by its class name
// ("Nothing" for a null object).
QString TypeName(const QVariant &value);

// The runtime's Null value, and the tests for Empty and Null.
QVariant Null();
bool IsEmpty(const QVariant &value);
bool IsNull(const QVariant &value);

// Date serial numbers as the runtime stores dates: days since 30 December 1899, the time of day
// as the fraction.
double DateToSerial(const QDateTime &dateTime);
QDateTime SerialToDate(double serial);

} // namespace tessera
