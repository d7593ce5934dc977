// Internals shared by the runtime's text services: the cached separators of the user locale and
// a small decimal representation used for rounding without binary surprises.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <cstdint>

namespace tessera::detail {

// What the services need from the user locale, read once per setUserLocale.
struct LocaleInfo {
    QLocale locale;
    QString decimal; // decimal separator
    QString group; // thousands separator
    QString currency; // currency symbol
    QString currencyPos; // currency pattern for positive amounts, "1" stands for the number
    QString currencyNeg; // the same for negative amounts
    QString dateSeparator; // "/" in en_US
    QString timeSeparator; // ":"
    QString shortDate; // runtime-style date pattern ("M/d/yyyy")
    QString longDate;
    QString mediumDate;
    QString longTime;
    QString shortTime;
    QString am, pm;
};

const LocaleInfo &localeInfo();

// A finite non-negative number as decimal digits: value = 0.d1d2...dn * 10^exp.
// At most 40 significant digits are kept (doubles give 15, 64-bit integers up to 20).
struct Decimal {
    char digits[40];
    int count = 0; // 0 means the value is zero
    int exp = 0;

    static Decimal fromDouble(double absValue); // 15 significant digits, as the runtime shows
    static Decimal fromUInt(std::uint64_t value);
    bool isZero() const { return count == 0; }
    // Keeps `places` digits after the decimal point, half away from zero.
    void roundToFraction(int places);
    // Keeps `significant` digits, half away from zero.
    void roundToSignificant(int significant);
    // Digit at a position counted from the first significant one; '0' beyond the stored ones.
    char digitAt(int index) const { return index >= 0 && index < count ? digits[index] : '0'; }

private:
    void roundAt(int keep);
    void trim();
};

// Locale-aware text-to-number conversion shared by IsNumeric and CDbl.
bool parseLocaleNumber(QStringView text, const LocaleInfo &info, double &out);
// &H / &O integers: `text` starts after the ampersand. Returns false when no digit follows.
// Sets overflow when the value does not fit in 32 bits. `used` receives the characters read.
bool parseRadixInteger(
    QStringView text, double &out, bool &overflow, qsizetype &used, bool skipBlanks);

// Plain text of a number as the runtime prints it (CStr), in the given locale: 15 significant
// digits for a Double, 7 for a Single.
QString doubleToText(double value, const LocaleInfo &info, int significant = 15);

// Date formatting with the runtime's date tokens (d, m, y, h, n, s, w, q, c, AM/PM ...).
QString formatDate(const QDateTime &dateTime, QStringView section, const LocaleInfo &info);
// The default text of a date: short date, plus the time when it is not midnight.
QString generalDate(const QDateTime &dateTime, const LocaleInfo &info);
// True when a format section uses date or time tokens.
bool sectionHasDateTokens(QStringView section);

// A date, time or date-time value as a date-time; a bare time falls on the zero date.
QDateTime variantDateTime(const QVariant &value);

} // namespace tessera::detail
