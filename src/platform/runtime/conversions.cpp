// Conversions of the runtime: user locale, decimal digits, Val, IsNumeric/CDbl, CBool, CStr.
// Sections: locale cache - Decimal - radix integers - Val - locale numbers - public conversions.
#include "runtime_p.h"

#include <tessera/Runtime.h>
#include <tessera/VariantTypes.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace tessera {
namespace detail {

// ---- locale cache -----------------------------------------------------------------------------

namespace {

// Qt's short formats print two-digit years; the runtime shows four.
QString fourDigitYears(QString pattern)
{
    if (!pattern.contains(QLatin1String("yyyy")))
        pattern.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return pattern;
}

LocaleInfo makeInfo(const QLocale &locale)
{
    LocaleInfo info;
    info.locale = locale;
    info.decimal = locale.decimalPoint();
    info.group = locale.groupSeparator();
    info.currency = locale.currencySymbol(QLocale::CurrencySymbol);
    info.currencyPos = locale.toCurrencyString(1.0, info.currency, 0);
    info.currencyNeg = locale.toCurrencyString(-1.0, info.currency, 0);
    info.shortDate = fourDigitYears(locale.dateFormat(QLocale::ShortFormat));
    info.longDate = locale.dateFormat(QLocale::LongFormat);
    info.mediumDate = QStringLiteral("dd-MMM-yy");
    info.longTime = locale.timeFormat(QLocale::LongFormat);
    info.shortTime = QStringLiteral("HH:mm");
    // Long time formats carry a time zone; the runtime's long time has none.
    info.longTime.remove(QLatin1Char('t'));
    info.longTime = info.longTime.trimmed();
    info.am = locale.amText();
    info.pm = locale.pmText();
    info.dateSeparator = QStringLiteral("/");
    for (QChar c : info.shortDate) {
        if (!c.isLetter()) {
            info.dateSeparator = QString(c);
            break;
        }
    }
    info.timeSeparator = QStringLiteral(":");
    for (QChar c : info.longTime) {
        if (!c.isLetter() && !c.isSpace()) {
            info.timeSeparator = QString(c);
            break;
        }
    }
    return info;
}

LocaleInfo &currentInfo()
{
    static LocaleInfo info = makeInfo(QLocale::system());
    return info;
}

} // namespace

const LocaleInfo &localeInfo()
{
    return currentInfo();
}

// ---- Decimal
// -------------------------------------------------------------------------------------

namespace {

constexpr double kPow10[] = { 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12,
    1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20 };
constexpr double kNegPow10[] = { 1e0, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6 };

double pow10(int n)
{
    return n >= 0 ? kPow10[n] : kNegPow10[-n];
}

// 15 significant digits by one multiplication. The product's rounding error is recovered exactly
// with a fused multiply-add, so the rounding of the 15th digit is decided on the exact value.
bool fastFifteenDigits(double v, Decimal &d)
{
    if (!(v >= 1e-5 && v < 1e15))
        return false;
    // e: the number of integer digits, 10^(e-1) <= v < 10^e.
    int binaryExp = 0;
    std::frexp(v, &binaryExp);
    int e = std::clamp(int(std::floor((binaryExp - 1) * 0.30102999566398120)) + 1, -4, 15);
    while (e > -4 && v < pow10(e - 1))
        --e;
    while (e < 15 && v >= pow10(e))
        ++e;
    const int k = 15 - e;
    if (k < 0 || k > 20)
        return false;
    const double scale = kPow10[k];
    const double p = v * scale;
    if (p >= 1e15)
        return false;
    const double error = std::fma(v, scale, -p); // v * scale == p + error, exactly
    const double whole = std::floor(p);
    // The sign of (exact fraction - 1/2); a tie rounds away from zero.
    const double aboveHalf = (p - whole - 0.5) + error;
    const auto r = std::uint64_t(whole) + (aboveHalf >= 0 ? 1 : 0);
    d = Decimal::fromUInt(r);
    d.exp -= k;
    return true;
}

} // namespace

Decimal Decimal::fromDouble(double absValue)
{
    Decimal d;
    if (!(absValue > 0))
        return d;
    if (fastFifteenDigits(absValue, d))
        return d;
    // 15 significant digits: what the runtime prints, and what hides binary noise such as
    // 0.1 + 0.2 = 0.30000000000000004. 25 digits first, then 15 with the runtime's rounding: half
    // away from zero, also on the rare exact ties where the C library would round to even.
    char buf[48];
    const auto res
        = std::to_chars(buf, buf + sizeof buf, absValue, std::chars_format::scientific, 24);
    const char *p = buf;
    const char *end = res.ptr;
    while (p < end && *p != 'e') {
        if (*p != '.')
            d.digits[d.count++] = *p;
        ++p;
    }
    int e = 0;
    if (p < end) {
        ++p;
        std::from_chars(*p == '+' ? p + 1 : p, end, e);
    }
    d.exp = e + 1;
    d.roundAt(15);
    d.trim();
    return d;
}

Decimal Decimal::fromUInt(std::uint64_t value)
{
    Decimal d;
    if (value == 0)
        return d;
    const auto res = std::to_chars(d.digits, d.digits + sizeof d.digits, value);
    d.count = int(res.ptr - d.digits);
    d.exp = d.count;
    while (d.count > 0 && d.digits[d.count - 1] == '0')
        --d.count;
    return d;
}

void Decimal::trim()
{
    while (count > 0 && digits[count - 1] == '0')
        --count;
    int lead = 0;
    while (lead < count && digits[lead] == '0')
        ++lead;
    if (lead > 0) {
        std::memmove(digits, digits + lead, size_t(count - lead));
        count -= lead;
        exp -= lead;
    }
    if (count == 0)
        exp = 0;
}

void Decimal::roundAt(int keep)
{
    if (keep >= count)
        return;
    if (keep < 0) {
        count = 0;
        exp = 0;
        return;
    }
    const bool up = digits[keep] >= '5';
    count = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && digits[i] == '9') {
            digits[i] = '0';
            --i;
        }
        if (i >= 0) {
            ++digits[i];
        } else {
            // 9.99 -> 10.0: one more integer digit.
            digits[0] = '1';
            count = 1;
            ++exp;
        }
    }
    trim();
}

void Decimal::roundToFraction(int places)
{
    roundAt(exp + places);
}

void Decimal::roundToSignificant(int significant)
{
    roundAt(significant);
}

// ---- radix integers
// -------------------------------------------------------------------------------

static bool isValBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

bool parseRadixInteger(
    QStringView text, double &out, bool &overflow, qsizetype &used, bool skipBlanks)
{
    overflow = false;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skip = [&] {
        while (skipBlanks && i < n && isValBlank(text[i]))
            ++i;
    };
    skip();
    if (i >= n)
        return false;
    const QChar kind = text[i].toUpper();
    int base = 0;
    if (kind == QLatin1Char('H'))
        base = 16;
    else if (kind == QLatin1Char('O'))
        base = 8;
    else
        return false;
    ++i;
    std::uint64_t value = 0;
    double wide = 0; // the plain value, for those beyond 32 bits
    int digitCount = 0;
    for (;;) {
        skip();
        if (i >= n)
            break;
        const char16_t c = text[i].unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0 || digit >= base)
            break;
        value = value * std::uint64_t(base) + std::uint64_t(digit);
        wide = wide * base + digit;
        if (wide > 4294967295.0)
            overflow = true;
        ++digitCount;
        ++i;
    }
    used = i;
    if (digitCount == 0)
        return false;
    // The runtime's integer literals: 16-bit when the value fits there, else 32-bit; beyond that
    // the plain value, so nothing is lost.
    if (overflow)
        out = wide;
    else if (value <= 0xFFFF)
        out = double(qint16(quint16(value)));
    else
        out = double(qint32(quint32(value)));
    return true;
}

// ---- locale numbers -----------------------------------------------------------------------------

namespace {

bool isOuterBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QChar(0x00A0)
        || c == QChar(0x202F) || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

bool startsWithAt(QStringView text, qsizetype pos, const QString &what)
{
    return !what.isEmpty() && text.mid(pos).startsWith(what);
}

// Converts an ASCII number; false when it is out of the Double range (tiny values become 0).
bool asciiToDouble(const std::string &ascii, double &out)
{
    const char *first = ascii.data();
    const char *last = first + ascii.size();
    const auto res = std::from_chars(first, last, out);
    if (res.ec == std::errc::result_out_of_range) {
        // Decide between overflow and underflow from the decimal magnitude.
        // The exponent saturates: "1e-99999999999" is tiny, not an unreadable exponent of 0.
        const auto e = ascii.find('e');
        qint64 exponent = 0;
        if (e != std::string::npos) {
            size_t k = e + 1;
            const bool negative = k < ascii.size() && ascii[k] == '-';
            if (k < ascii.size() && (ascii[k] == '-' || ascii[k] == '+'))
                ++k;
            for (; k < ascii.size() && ascii[k] >= '0' && ascii[k] <= '9'; ++k)
                exponent = std::min<qint64>(exponent * 10 + (ascii[k] - '0'), qint64(1) << 40);
            if (negative)
                exponent = -exponent;
        }
        std::string mantissa = ascii.substr(0, e);
        const auto dot = mantissa.find('.');
        qint64 intDigits = 0;
        bool seen = false;
        qint64 leadingFractionZeros = 0;
        for (size_t k = 0; k < mantissa.size(); ++k) {
            const char c = mantissa[k];
            if (c < '0' || c > '9')
                continue;
            const bool inFraction = dot != std::string::npos && k > dot;
            if (!inFraction) {
                if (c != '0' || seen) {
                    seen = true;
                    ++intDigits;
                }
            } else if (!seen) {
                if (c == '0')
                    ++leadingFractionZeros;
                else
                    seen = true;
            }
        }
        const qint64 magnitude = (intDigits > 0 ? intDigits : -leadingFractionZeros) + exponent;
        if (magnitude > 0)
            return false;
        out = 0;
        return true;
    }
    return res.ec == std::errc() && res.ptr == last;
}

} // namespace

bool parseLocaleNumber(QStringView text, const LocaleInfo &info, double &out)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isOuterBlank(text[begin]))
        ++begin;
    while (end > begin && isOuterBlank(text[end - 1]))
        --end;
    if (begin == end)
        return false;
    text = text.mid(begin, end - begin);

    if (text[0] == QLatin1Char('&')) {
        bool overflow = false;
        qsizetype used = 0;
        double value = 0;
        if (!parseRadixInteger(text.mid(1), value, overflow, used, false) || overflow
            || used + 1 != text.size())
            return false;
        out = value;
        return true;
    }

    const QChar groupChar = info.group.size() == 1 ? info.group[0] : QChar();
    const bool spaceGroups = groupChar == QChar(0x00A0) || groupChar == QChar(0x202F);
    bool negative = false, sign = false, currency = false, paren = false;
    qsizetype i = 0;
    const qsizetype n = text.size();

    // Leading decorations: sign, currency symbol, opening parenthesis, blanks between them.
    for (;;) {
        if (i >= n)
            return false;
        const QChar c = text[i];
        if ((c == QLatin1Char('-') || c == QLatin1Char('+')) && !sign && !paren) {
            sign = true;
            negative = c == QLatin1Char('-');
            ++i;
        } else if (c == QLatin1Char('(') && !paren && !sign) {
            paren = true;
            ++i;
        } else if (!currency && startsWithAt(text, i, info.currency)) {
            currency = true;
            i += info.currency.size();
        } else if (isOuterBlank(c) && i > 0) {
            ++i;
        } else {
            break;
        }
    }

    std::string ascii;
    ascii.reserve(size_t(n) + 2);
    int mantissaDigits = 0;
    bool inFraction = false;
    while (i < n) {
        const QChar c = text[i];
        if (c.unicode() >= '0' && c.unicode() <= '9') {
            ascii += char(c.unicode());
            ++mantissaDigits;
            ++i;
        } else if (!inFraction && startsWithAt(text, i, info.decimal)) {
            inFraction = true;
            ascii += '.';
            i += info.decimal.size();
        } else if (!inFraction && mantissaDigits > 0
            && (startsWithAt(text, i, info.group) || (spaceGroups && c == QLatin1Char(' ')))) {
            i += c == QLatin1Char(' ') ? 1 : info.group.size();
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return false;

    // Exponent: E or D, optional sign, at least one digit.
    if (i < n) {
        const QChar e = text[i].toUpper();
        if (e == QLatin1Char('E') || e == QLatin1Char('D')) {
            qsizetype j = i + 1;
            std::string exponent = "e";
            if (j < n && (text[j] == QLatin1Char('-') || text[j] == QLatin1Char('+')))
                exponent += char(text[j++].unicode());
            const qsizetype digitsStart = j;
            while (j < n && text[j].unicode() >= '0' && text[j].unicode() <= '9')
                exponent += char(text[j++].unicode());
            if (j == digitsStart)
                return false;
            ascii += exponent;
            i = j;
        }
    }

    // Trailing decorations.
    while (i < n) {
        const QChar c = text[i];
        if ((c == QLatin1Char('-') || c == QLatin1Char('+')) && !sign && !paren) {
            sign = true;
            negative = c == QLatin1Char('-');
            ++i;
        } else if (c == QLatin1Char(')') && paren) {
            paren = false;
            negative = true;
            sign = true;
            ++i;
        } else if (!currency && startsWithAt(text, i, info.currency)) {
            currency = true;
            i += info.currency.size();
        } else if (isOuterBlank(c)) {
            ++i;
        } else {
            return false;
        }
    }
    if (paren)
        return false;
    double value = 0;
    if (!asciiToDouble(ascii, value))
        return false;
    out = negative ? -value : value;
    return true;
}

// ---- plain text of numbers ----------------------------------------------------------------------

QString doubleToText(double value, const LocaleInfo &info, int significant)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
    Decimal d = Decimal::fromDouble(std::fabs(value));
    d.roundToSignificant(significant);
    QString out;
    if (d.isZero())
        return QStringLiteral("0");
    if (value < 0)
        out += QLatin1Char('-');
    const int sciExp = d.exp - 1;
    if (sciExp >= 15 || sciExp < -4) {
        out += QLatin1Char(d.digits[0]);
        if (d.count > 1) {
            out += info.decimal;
            for (int k = 1; k < d.count; ++k)
                out += QLatin1Char(d.digits[k]);
        }
        out += QLatin1Char('E');
        out += QLatin1Char(sciExp < 0 ? '-' : '+');
        const int a = sciExp < 0 ? -sciExp : sciExp;
        if (a < 10)
            out += QLatin1Char('0');
        out += QString::number(a);
        return out;
    }
    if (d.exp <= 0) {
        out += QLatin1Char('0');
    } else {
        for (int k = 0; k < d.exp; ++k)
            out += QLatin1Char(d.digitAt(k));
    }
    if (d.count > d.exp) {
        out += info.decimal;
        for (int k = d.exp; k < d.count; ++k)
            out += QLatin1Char(d.digitAt(k));
    }
    return out;
}

QDateTime variantDateTime(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return QDateTime(value.toDate(), QTime(0, 0));
    case QMetaType::QTime:
        return QDateTime(QDate(1899, 12, 30), value.toTime());
    default:
        return value.toDateTime();
    }
}

} // namespace detail

using namespace detail;

// ---- public conversions
// ---------------------------------------------------------------------------

namespace {
int localeGeneration = 0;
} // namespace

void setUserLocale(const QLocale &locale)
{
    LocaleInfo &info = detail::currentInfo();
    info = detail::makeInfo(locale);
    ++localeGeneration;
}

int userLocaleGeneration()
{
    return localeGeneration;
}

QLocale userLocale()
{
    return localeInfo().locale;
}

double Val(QStringView text)
{
    const QStringView s = text;
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto skip = [&] {
        while (i < n && isValBlank(s[i]))
            ++i;
    };
    skip();
    if (i >= n)
        return 0;
    if (s[i] == QLatin1Char('&')) {
        double value = 0;
        bool overflow = false;
        qsizetype used = 0;
        if (!parseRadixInteger(s.mid(i + 1), value, overflow, used, true))
            return 0;
        return value;
    }
    std::string ascii;
    if (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+')) {
        if (s[i] == QLatin1Char('-'))
            ascii += '-';
        ++i;
    }
    int digits = 0;
    bool point = false;
    for (;;) {
        skip();
        if (i >= n)
            break;
        const char16_t c = s[i].unicode();
        if (c >= u'0' && c <= u'9') {
            ascii += char(c);
            ++digits;
        } else if (c == u'.' && !point) {
            ascii += '.';
            point = true;
        } else {
            break;
        }
        ++i;
    }
    if (digits == 0)
        return 0;
    skip();
    if (i < n) {
        const char16_t c = s[i].unicode();
        if (c == u'e' || c == u'E' || c == u'd' || c == u'D') {
            qsizetype j = i + 1;
            std::string exponent = "e";
            while (j < n && isValBlank(s[j]))
                ++j;
            if (j < n && (s[j] == QLatin1Char('-') || s[j] == QLatin1Char('+')))
                exponent += char(s[j++].unicode());
            int expDigits = 0;
            for (;;) {
                while (j < n && isValBlank(s[j]))
                    ++j;
                if (j >= n || s[j].unicode() < '0' || s[j].unicode() > '9')
                    break;
                exponent += char(s[j++].unicode());
                ++expDigits;
            }
            if (expDigits > 0)
                ascii += exponent;
        }
    }
    if (ascii.back() == '.')
        ascii.pop_back();
    double value = 0;
    if (!asciiToDouble(ascii, value))
        return ascii[0] == '-' ? -std::numeric_limits<double>::infinity()
                               : std::numeric_limits<double>::infinity();
    return value;
}

namespace {

bool isNumberType(int typeId)
{
    return typeId == QMetaType::Bool || isNumberTypeId(typeId);
}

bool isTextType(int typeId)
{
    return typeId == QMetaType::QString || typeId == QMetaType::QByteArray
        || typeId == QMetaType::QChar;
}

bool isDateType(int typeId)
{
    return typeId == QMetaType::QDate || typeId == QMetaType::QDateTime
        || typeId == QMetaType::QTime;
}

double numberValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? -1.0 : 0.0;
    return value.toDouble();
}

// The number a value stands for: numbers, Booleans, dates and numeric texts.
bool toNumber(const QVariant &value, double &out)
{
    if (!value.isValid() || value.isNull())
        return false;
    const int type = value.typeId();
    if (isNumberType(type)) {
        out = numberValue(value);
        return true;
    }
    if (isTextType(type))
        return parseLocaleNumber(value.toString(), localeInfo(), out);
    if (isDateType(type)) {
        const QDateTime dt = variantDateTime(value);
        if (!dt.isValid())
            return false;
        out = DateToSerial(dt);
        return true;
    }
    return false;
}

} // namespace

bool IsNumeric(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return false;
    const int type = value.typeId();
    if (isNumberType(type))
        return true;
    double ignored = 0;
    return isTextType(type) && parseLocaleNumber(value.toString(), localeInfo(), ignored);
}

bool NumericValue(QStringView text, double &value)
{
    // Plain whole numbers ("-12", "300") read the same in every locale: no parse needed.
    const qsizetype n = text.size();
    qsizetype i = n > 0 && text[0] == u'-' ? 1 : 0;
    if (n > i && n - i <= 15) {
        qint64 whole = 0;
        for (qsizetype k = i; k < n; ++k) {
            const char16_t c = text[k].unicode();
            if (c < u'0' || c > u'9') {
                whole = -1;
                break;
            }
            whole = whole * 10 + (c - u'0');
        }
        if (whole >= 0) {
            value = i ? -double(whole) : double(whole);
            return true;
        }
    }
    return parseLocaleNumber(text, localeInfo(), value);
}

double CDbl(const QVariant &value)
{
    double out = 0;
    if (!toNumber(value, out))
        throw Error(errTypeMismatch);
    return out;
}

namespace {
// Whole numbers round half to even, as the runtime's integer conversions do; out of range is 6.
qint64 roundToRange(double value, double min, double max)
{
    const double r = std::nearbyint(value);
    if (!(r >= min && r <= max)) // NaN included
        throw Error(errOverflow);
    return qint64(r);
}
} // namespace

qint16 CInt(const QVariant &value)
{
    return qint16(roundToRange(CDbl(value), -32768.0, 32767.0));
}

qint32 CLng(const QVariant &value)
{
    return qint32(roundToRange(CDbl(value), -2147483648.0, 2147483647.0));
}

float CSng(const QVariant &value)
{
    const double v = CDbl(value);
    if (std::isfinite(v) && std::abs(v) > double(std::numeric_limits<float>::max()))
        throw Error(errOverflow);
    return float(v);
}

bool CBool(const QVariant &value)
{
    if (value.isValid() && !value.isNull()) {
        const int type = value.typeId();
        if (type == QMetaType::Bool)
            return value.toBool();
        if (isTextType(type)) {
            const QString text = value.toString().trimmed();
            if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
                return true;
            if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
                return false;
        }
        double number = 0;
        if (toNumber(value, number))
            return number != 0;
    }
    throw Error(errTypeMismatch);
}

QString CStr(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString CStr(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    const int type = value.typeId();
    switch (type) {
    case QMetaType::Bool:
        return CStr(value.toBool());
    case QMetaType::Double:
        return doubleToText(value.toDouble(), localeInfo());
    case QMetaType::Float:
        return doubleToText(value.toDouble(), localeInfo(), 7);
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UInt:
        return QString::number(value.toULongLong());
    default:
        break;
    }
    if (isNumberType(type))
        return QString::number(value.toLongLong());
    if (isDateType(type)) {
        if (type == QMetaType::QTime)
            return localeInfo().locale.toString(value.toTime(), localeInfo().longTime);
        return generalDate(variantDateTime(value), localeInfo());
    }
    return value.toString();
}

QVariant Null()
{
    return QVariant::fromValue(nullptr);
}

bool IsEmpty(const QVariant &value)
{
    return !value.isValid();
}

bool IsNull(const QVariant &value)
{
    return value.isValid() && value.isNull();
}

static const QDate kSerialEpoch(1899, 12, 30);

double DateToSerial(const QDateTime &dateTime)
{
    const double days = double(kSerialEpoch.daysTo(dateTime.date()));
    const double fraction = dateTime.time().msecsSinceStartOfDay() / 86400000.0;
    // Before the epoch the runtime keeps the time as a positive fraction after the minus sign.
    return days < 0 ? days - fraction : days + fraction;
}

QDateTime SerialToDate(double serial)
{
    if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6)
        throw Error(errOverflow);
    const double whole = std::trunc(serial);
    double fraction = std::fabs(serial - whole);
    qint64 msecs = qint64(std::llround(fraction * 86400000.0));
    qint64 days = qint64(whole);
    if (msecs >= 86400000) {
        msecs -= 86400000;
        days += serial < 0 ? -1 : 1;
    }
    return QDateTime(kSerialEpoch.addDays(days), QTime::fromMSecsSinceStartOfDay(int(msecs)));
}

// ---- comparison ---------------------------------------------------------------------------------

int CompareVariants(const QVariant &a, const QVariant &b)
{
    const bool aNull = IsNull(a), bNull = IsNull(b);
    if (aNull || bNull)
        return int(bNull) - int(aNull);
    const bool aEmpty = !a.isValid(), bEmpty = !b.isValid();
    if (aEmpty && bEmpty)
        return 0;
    auto isText = [](const QVariant &v) { return isTextType(v.typeId()); };
    auto isNum
        = [](const QVariant &v) { return isNumberType(v.typeId()) || isDateType(v.typeId()); };
    auto cmpDouble = [](double x, double y) {
        // NaN sorts first, so the order stays total.
        if (std::isnan(x) || std::isnan(y))
            return int(!std::isnan(x)) - int(!std::isnan(y));
        return x < y ? -1 : (x > y ? 1 : 0);
    };
    if (aEmpty || bEmpty) {
        const QVariant &other = aEmpty ? b : a;
        const int sign = aEmpty ? 1 : -1;
        if (isText(other))
            return sign * QString().compare(other.toString());
        double v = 0;
        if (!toNumber(other, v))
            return sign * -1;
        return sign * cmpDouble(0.0, v);
    }
    const bool aText = isText(a), bText = isText(b);
    if (aText && bText) {
        const int c = a.toString().compare(b.toString(), Qt::CaseSensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    // 64-bit integers beyond 2^53 stay exact.
    auto isSigned = [](int t) {
        return t == QMetaType::Int || t == QMetaType::LongLong || t == QMetaType::Short
            || t == QMetaType::Long || t == QMetaType::SChar || t == QMetaType::Char;
    };
    if (isSigned(a.typeId()) && isSigned(b.typeId())) {
        const qint64 x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    double x = 0, y = 0;
    const bool xOk = toNumber(a, x), yOk = toNumber(b, y);
    if (xOk && yOk && (isNum(a) || isNum(b)))
        return cmpDouble(x, y);
    if (isNum(a) && bText)
        return -1;
    if (aText && isNum(b))
        return 1;
    // Values of other kinds: by their text.
    const int c = CStr(a).compare(CStr(b), Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace tessera
