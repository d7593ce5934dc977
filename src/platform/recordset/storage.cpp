// Columnar storage: type classification, value conversion into a field's type, date units,
// row comparison for sorting, and the layer's error texts.
#include "storage.h"

#include <tessera/Runtime.h>
#include <tessera/VariantTypes.h>

#include <QLocale>
#include <QUuid>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace tessera::detail {

namespace {
constexpr qint64 serialEpochJulianDay = 2415019; // 1899-12-30

// Number a value stands for; false when it is not one. Booleans are -1 / 0 as in the host.
bool toNumber(const QVariant &v, double &out, bool acceptBoolText, bool allowNonFinite = false)
{
    const int id = v.metaType().id();
    if (id == QMetaType::Bool) {
        out = v.toBool() ? -1.0 : 0.0;
        return true;
    }
    if (isIntegerTypeId(id) || id == QMetaType::Double || id == QMetaType::Float) {
        bool ok = false;
        out = v.toDouble(&ok);
        return ok && (allowNonFinite || std::isfinite(out));
    }
    if (id == QMetaType::QDateTime || id == QMetaType::QDate) {
        const QDateTime dt = v.toDateTime();
        out = double(dateToUnits(dt.date(), dt.time()) - unitsFromDay(serialEpochJulianDay, 0))
            / double(usPerDay);
        return dt.isValid();
    }
    if (id == QMetaType::QString || id == QMetaType::QByteArray) {
        const QString s = v.toString().trimmed();
        bool ok = false;
        if (allowNonFinite) {
            QString dec;
            if (parseDecimal(s, dec) && (dec == u"NaN" || dec.endsWith(u"Infinity"))) {
                out = dec == u"NaN"        ? std::numeric_limits<double>::quiet_NaN()
                    : dec.startsWith(u'-') ? -std::numeric_limits<double>::infinity()
                                           : std::numeric_limits<double>::infinity();
                return true;
            }
        }
        out = QLocale::c().toDouble(s, &ok);
        if (!ok)
            out = userLocale().toDouble(s, &ok);
        if (!ok && acceptBoolText) {
            if (s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
                out = -1;
                ok = true;
            } else if (s.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
                out = 0;
                ok = true;
            }
        }
        return ok && std::isfinite(out);
    }
    return false;
}

bool intRange(DataTypeEnum type, qint64 &lo, qint64 &hi)
{
    switch (type) {
    case adSmallInt:
        lo = -32768;
        hi = 32767;
        return true;
    case adInteger:
        lo = std::numeric_limits<qint32>::min();
        hi = std::numeric_limits<qint32>::max();
        return true;
    case adTinyInt:
        lo = -128;
        hi = 127;
        return true;
    case adUnsignedTinyInt:
        lo = 0;
        hi = 255;
        return true;
    default:
        lo = std::numeric_limits<qint64>::min();
        hi = std::numeric_limits<qint64>::max();
        return true;
    }
}

bool limitedLength(const FieldDef &def)
{
    return def.definedSize > 0 && def.type != adLongVarChar && def.type != adLongVarWChar
        && def.type != adGUID && def.type != adLongVarBinary;
}

int readDigits(QStringView s, qsizetype &i, int maxDigits, int &value)
{
    int n = 0;
    value = 0;
    while (i < s.size() && n < maxDigits && s[i] >= u'0' && s[i] <= u'9') {
        value = value * 10 + (s[i].unicode() - u'0');
        ++i;
        ++n;
    }
    return n;
}
} // namespace

qsizetype characterCount(QStringView s)
{
    qsizetype n = s.size();
    for (const QChar c : s)
        n -= c.isLowSurrogate() ? 1 : 0;
    return n;
}

void Column::setTextUtf8(int row, const char *s, qsizetype n)
{
    qsizetype k = 0;
    while (k < n && uchar(s[k]) < 0x80)
        ++k;
    if (k < n || n > maxTextLength) {
        setText(row, QString::fromUtf8(s, n));
        return;
    }
    const size_t start = arena.size();
    arena.resize(start + size_t(n));
    char16_t *o = arena.data() + start;
    for (qsizetype j = 0; j < n; ++j)
        o[j] = char16_t(uchar(s[j]));
    spans[size_t(row)] = (quint64(start) << 24) | quint64(n);
    setNullBit(row, false);
}

Kind kindOf(DataTypeEnum type)
{
    switch (type) {
    case adSmallInt:
    case adInteger:
    case adBoolean:
    case adTinyInt:
    case adUnsignedTinyInt:
    case adBigInt:
        return Kind::Int;
    case adSingle:
    case adDouble:
        return Kind::Real;
    case adDecimal:
    case adNumeric:
        return Kind::Decimal;
    case adCurrency:
        return Kind::Currency;
    case adDate:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp:
        return Kind::Date;
    case adBinary:
    case adVarBinary:
    case adLongVarBinary:
        return Kind::Bytes;
    default:
        return Kind::Text;
    }
}

bool isKnownType(int type)
{
    switch (type) {
    case adSmallInt:
    case adInteger:
    case adSingle:
    case adDouble:
    case adCurrency:
    case adDate:
    case adBoolean:
    case adDecimal:
    case adTinyInt:
    case adUnsignedTinyInt:
    case adBigInt:
    case adGUID:
    case adBinary:
    case adChar:
    case adWChar:
    case adNumeric:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp:
    case adVarChar:
    case adLongVarChar:
    case adVarWChar:
    case adLongVarWChar:
    case adVarBinary:
    case adLongVarBinary:
        return true;
    default:
        return false;
    }
}

bool inRange(DataTypeEnum type, qint64 v)
{
    qint64 lo = 0, hi = 0;
    intRange(type, lo, hi);
    return v >= lo && v <= hi;
}

qint32 defaultSize(DataTypeEnum type)
{
    switch (type) {
    case adTinyInt:
    case adUnsignedTinyInt:
        return 1;
    case adSmallInt:
    case adBoolean:
        return 2;
    case adInteger:
    case adSingle:
        return 4;
    case adDouble:
    case adCurrency:
    case adBigInt:
        return 8;
    case adDBDate:
    case adDBTime:
        return 6;
    case adDate:
    case adDBTimeStamp:
    case adDecimal:
    case adGUID:
        return 16;
    case adNumeric:
        return 19;
    case adLongVarChar:
    case adLongVarBinary:
        return 2147483647;
    case adLongVarWChar:
        return 1073741823;
    default:
        return 0;
    }
}

qint64 unitsFromDay(qint64 julianDay, qint64 usOfDay)
{
    return (julianDay - unitsEpochJulianDay) * usPerDay + usOfDay;
}

bool dateFitsUnits(const QDate &date)
{
    // A margin of days for the time of day and a zone offset of up to 99:59.
    constexpr qint64 maxDays = std::numeric_limits<qint64>::max() / usPerDay - 6;
    const qint64 days = date.toJulianDay() - unitsEpochJulianDay;
    return date.isValid() && days <= maxDays && days >= -maxDays;
}

qint64 dateToUnits(const QDate &date, const QTime &time)
{
    if (!date.isValid())
        return 0;
    return unitsFromDay(
        date.toJulianDay(), time.isValid() ? qint64(time.msecsSinceStartOfDay()) * 1000 : 0);
}

void splitUnits(qint64 units, qint64 &julianDay, qint64 &usOfDay)
{
    qint64 day = units / usPerDay;
    qint64 us = units % usPerDay;
    if (us < 0) {
        us += usPerDay;
        --day;
    }
    julianDay = day + unitsEpochJulianDay;
    usOfDay = us;
}

QDateTime unitsToDateTime(qint64 units)
{
    qint64 day = 0, us = 0;
    splitUnits(units, day, us);
    return QDateTime(
        QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(us / 1000)), Qt::UTC);
}

QVariant dateValue(DataTypeEnum type, qint64 units)
{
    if (units == dateInfinity || units == dateMinusInfinity)
        return QVariant(dateText(type, units));
    if (type == adDBTime) {
        if (units == usPerDay)
            return QVariant(QStringLiteral("24:00:00"));
        return QVariant(unitsToDateTime(units).time());
    }
    if (type == adDBDate)
        return QVariant(unitsToDateTime(units).date());
    return QVariant(unitsToDateTime(units));
}

qint64 serialToUnits(double serial)
{
    return unitsFromDay(serialEpochJulianDay, 0) + qint64(std::llround(serial * double(usPerDay)));
}

namespace {
// The fraction of a second after the point: up to six digits, finer ones dropped.
int readFraction(QStringView s, qsizetype &i)
{
    int us = 0, n = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        if (n < 6) {
            us = us * 10 + (s[i].unicode() - u'0');
            ++n;
        }
        ++i;
    }
    for (; n < 6; ++n)
        us *= 10;
    return us;
}

struct TimeParts {
    int h = 0, mi = 0, sec = 0, us = 0;
    qint64 usOfDay() const { return ((qint64(h) * 60 + mi) * 60 + sec) * 1000000 + us; }
};

// "hh:mm[:ss[.ffffff]]" from i, unchecked.
bool readTime(QStringView s, qsizetype &i, TimeParts &t)
{
    if (readDigits(s, i, 2, t.h) == 0 || i >= s.size() || s[i] != u':')
        return false;
    ++i;
    if (readDigits(s, i, 2, t.mi) != 2)
        return false;
    if (i < s.size() && s[i] == u':') {
        ++i;
        if (readDigits(s, i, 2, t.sec) != 2)
            return false;
        if (i < s.size() && s[i] == u'.') {
            ++i;
            t.us = readFraction(s, i);
        }
    }
    return t.mi <= 59 && t.sec <= 59;
}

// "Z", "+hh", "+hhmm", "+hh:mm" from i, as seconds east of UTC.
bool readOffset(QStringView s, qsizetype &i, qint64 &seconds)
{
    seconds = 0;
    if (i >= s.size())
        return true;
    if (s[i] == u'Z' || s[i] == u'z') {
        ++i;
        return true;
    }
    if (s[i] != u'+' && s[i] != u'-')
        return true;
    const bool west = s[i] == u'-';
    ++i;
    int h = 0, m = 0, sec = 0;
    if (readDigits(s, i, 2, h) != 2)
        return false;
    if (i < s.size() && s[i] == u':')
        ++i;
    readDigits(s, i, 2, m);
    if (i < s.size() && s[i] == u':') {
        ++i;
        readDigits(s, i, 2, sec);
    }
    seconds = (qint64(h) * 3600 + m * 60 + sec) * (west ? -1 : 1);
    return h <= 15 && m <= 59;
}
} // namespace

bool parseDateText(QStringView s, qint64 &units, bool usLike)
{
    s = s.trimmed();
    if (s.compare(QLatin1String("infinity"), Qt::CaseInsensitive) == 0
        || s.compare(QLatin1String("+infinity"), Qt::CaseInsensitive) == 0) {
        units = dateInfinity;
        return true;
    }
    if (s.compare(QLatin1String("-infinity"), Qt::CaseInsensitive) == 0) {
        units = dateMinusInfinity;
        return true;
    }
    qsizetype i = 0;
    int y = 0, mo = 0, d = 0;
    int a = 0;
    const int na = readDigits(s, i, 6, a);
    if (na == 0 || i >= s.size())
        return false;
    const QChar sep = s[i];
    if (sep == u':' && na <= 2) {
        // A time of day; an offset moves it to UTC within the day.
        i = 0;
        TimeParts t;
        qint64 offset = 0;
        // 24:00:00 is accepted, as SQL times allow it.
        if (!readTime(s, i, t) || !readOffset(s, i, offset) || i != s.size() || t.h > 24
            || (t.h == 24 && (t.mi || t.sec || t.us)))
            return false;
        qint64 us = t.usOfDay();
        if (offset) {
            us = (us - offset * 1000000) % usPerDay;
            if (us < 0)
                us += usPerDay;
        }
        units = us;
        return true;
    }
    if ((na == 4 || (na > 4 && sep == u'-')) && (sep == u'-' || sep == u'/')) {
        y = a;
        ++i;
        if (readDigits(s, i, 2, mo) == 0 || i >= s.size() || s[i] != sep)
            return false;
        ++i;
        if (readDigits(s, i, 2, d) == 0)
            return false;
    } else if (usLike && na <= 2 && sep == u'/') {
        mo = a;
        ++i;
        if (readDigits(s, i, 2, d) == 0 || i >= s.size() || s[i] != u'/')
            return false;
        ++i;
        const int ny = readDigits(s, i, 4, y);
        if (ny == 0)
            return false;
        if (ny <= 2)
            y += y < 30 ? 2000 : 1900;
    } else {
        return false;
    }
    qint64 us = 0, offset = 0;
    if (i < s.size() && (s[i] == u'T' || s[i] == u' ') && i + 1 < s.size() && s[i + 1] != u'B') {
        ++i;
        while (i < s.size() && s[i] == u' ')
            ++i;
        TimeParts t;
        if (!readTime(s, i, t))
            return false;
        int &h = t.h;
        while (i < s.size() && s[i] == u' ')
            ++i;
        if (i + 1 < s.size() && (s[i + 1] == u'M' || s[i + 1] == u'm')) {
            const QChar ap = s[i].toUpper();
            if (ap != u'A' && ap != u'P')
                return false;
            if (h < 1 || h > 12)
                return false;
            h = (h % 12) + (ap == u'P' ? 12 : 0);
            i += 2;
        } else if (!readOffset(s, i, offset)) {
            return false;
        }
        if (h > 23)
            return false;
        us = t.usOfDay();
    }
    // Years before the common era, as PostgreSQL writes them: 1 BC is year 0 there, -1 here.
    if (s.mid(i).compare(QLatin1String(" BC"), Qt::CaseInsensitive) == 0) {
        y = -y;
        i = s.size();
    }
    if (i != s.size())
        return false;
    const QDate date(y, mo, d);
    if (!dateFitsUnits(date))
        return false;
    units = unitsFromDay(date.toJulianDay(), us) - offset * 1000000;
    return true;
}

bool parseDateAscii(const char *v, qsizetype len, qint64 &units)
{
    char16_t buf[64];
    if (len >= 64)
        return false;
    for (qsizetype k = 0; k < len; ++k)
        buf[k] = char16_t(uchar(v[k]));
    return parseDateText(QStringView(buf, len), units, false);
}

bool hasDateText(DataTypeEnum type, qint64 units)
{
    // 0001-01-01T00:00 up to, not including, 10000-01-01T00:00.
    constexpr qint64 first = (1721426 - unitsEpochJulianDay) * usPerDay;
    constexpr qint64 end = (5373485 - unitsEpochJulianDay) * usPerDay;
    return type == adDBTime || units == dateInfinity || units == dateMinusInfinity
        || (units >= first && units < end);
}

QString dateText(DataTypeEnum type, qint64 units)
{
    if (units == dateInfinity)
        return QStringLiteral("infinity");
    if (units == dateMinusInfinity)
        return QStringLiteral("-infinity");
    qint64 day = 0, us = 0;
    splitUnits(units, day, us);
    if (type == adDBTime && units == usPerDay)
        return QStringLiteral("24:00:00");
    char buf[40];
    char *p = buf;
    auto two = [&p](int v) {
        *p++ = char('0' + v / 10);
        *p++ = char('0' + v % 10);
    };
    if (type != adDBTime) {
        int y = 0, mo = 0, dd = 0;
        if (!hasDateText(type, units))
            return QString();
        QDate::fromJulianDay(day).getDate(&y, &mo, &dd);
        two(y / 100);
        two(y % 100);
        *p++ = '-';
        two(mo);
        *p++ = '-';
        two(dd);
        if (type == adDBDate && us == 0)
            return QString::fromLatin1(buf, p - buf);
        *p++ = 'T';
    }
    const qint64 secs = us / 1000000;
    two(int(secs / 3600));
    *p++ = ':';
    two(int(secs / 60 % 60));
    *p++ = ':';
    two(int(secs % 60));
    if (const int frac = int(us % 1000000)) {
        // Milliseconds as three digits, finer values as six.
        const bool six = frac % 1000 != 0;
        int v = six ? frac : frac / 1000;
        char digits[6];
        const int n = six ? 6 : 3;
        for (int k = n - 1; k >= 0; --k) {
            digits[k] = char('0' + v % 10);
            v /= 10;
        }
        *p++ = '.';
        for (int k = 0; k < n; ++k)
            *p++ = digits[k];
    }
    return QString::fromLatin1(buf, p - buf);
}

bool parseDecimal(QStringView text, QString &out)
{
    text = text.trimmed();
    const auto is = [&text](const char *w) {
        return text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    };
    if (is("nan")) {
        out = QStringLiteral("NaN");
        return true;
    }
    if (is("inf") || is("infinity") || is("+inf") || is("+infinity")) {
        out = QStringLiteral("Infinity");
        return true;
    }
    if (is("-inf") || is("-infinity")) {
        out = QStringLiteral("-Infinity");
        return true;
    }
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    std::string digits; // all digits, the point taken out
    qint64 pointAt = -1;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9')
            digits.push_back(char(c));
        else if (c == u'.' && pointAt < 0)
            pointAt = qint64(digits.size());
        else
            break;
    }
    if (digits.empty())
        return false;
    if (pointAt < 0)
        pointAt = qint64(digits.size());
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool expNegative = false;
        if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
            expNegative = text[i++] == u'-';
        qint64 e = 0;
        int n = 0;
        for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i, ++n)
            if (e < 100000)
                e = e * 10 + (text[i].unicode() - u'0');
        if (n == 0 || e >= 100000)
            return false;
        pointAt += expNegative ? -e : e;
    }
    if (i != text.size())
        return false;
    // Pad so that the point falls within the digits, then trim zeros on both ends.
    if (pointAt < 0) {
        digits.insert(0, size_t(-pointAt), '0');
        pointAt = 0;
    }
    if (pointAt > qint64(digits.size()))
        digits.append(size_t(pointAt - qint64(digits.size())), '0');
    std::string whole = digits.substr(0, size_t(pointAt));
    std::string frac = digits.substr(size_t(pointAt));
    const size_t firstDigit = whole.find_first_not_of('0');
    whole = firstDigit == std::string::npos ? std::string("0") : whole.substr(firstDigit);
    const bool zero = whole == "0" && frac.find_first_not_of('0') == std::string::npos;
    out = QString::fromLatin1(whole);
    if (!frac.empty()) {
        out += u'.';
        out += QString::fromLatin1(frac);
    }
    if (negative && !zero)
        out.prepend(u'-');
    return true;
}

QString decimalFromDouble(double v)
{
    if (std::isnan(v))
        return QStringLiteral("NaN");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    QString out;
    parseDecimal(QString::fromLatin1(buf, res.ptr - buf), out);
    return out;
}

int compareDecimal(QStringView a, QStringView b)
{
    // Ranks: -Infinity 0, negative 1, zero 2, positive 3, Infinity 4, NaN 5.
    const auto rank = [](QStringView v) {
        if (v == u"NaN")
            return 5;
        if (v == u"Infinity")
            return 4;
        if (v == u"-Infinity")
            return 0;
        if (v.startsWith(u'-'))
            return 1;
        return v == u"0" ? 2 : 3;
    };
    const int ra = rank(a), rb = rank(b);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    if (ra != 1 && ra != 3)
        return 0;
    if (ra == 1) {
        a = a.mid(1);
        b = b.mid(1);
    }
    const qsizetype pa = a.indexOf(u'.'), pb = b.indexOf(u'.');
    const qsizetype wa = pa < 0 ? a.size() : pa, wb = pb < 0 ? b.size() : pb;
    int cmp = 0;
    if (wa != wb) {
        cmp = wa < wb ? -1 : 1;
    } else {
        cmp = a.left(wa).compare(b.left(wb));
        if (cmp == 0) {
            const QStringView fa = pa < 0 ? QStringView() : a.mid(pa + 1);
            const QStringView fb = pb < 0 ? QStringView() : b.mid(pb + 1);
            const qsizetype n = std::max(fa.size(), fb.size());
            for (qsizetype k = 0; k < n && cmp == 0; ++k) {
                const char16_t x = k < fa.size() ? fa[k].unicode() : u'0';
                const char16_t y = k < fb.size() ? fb[k].unicode() : u'0';
                cmp = x < y ? -1 : x > y ? 1 : 0;
            }
        }
        cmp = cmp < 0 ? -1 : cmp > 0 ? 1 : 0;
    }
    return ra == 1 ? -cmp : cmp;
}

quint64 realOrderKey(double v)
{
    if (std::isnan(v))
        return std::numeric_limits<quint64>::max();
    if (v == 0)
        v = 0; // -0 orders as 0
    quint64 bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits >> 63) ? ~bits : bits | (quint64(1) << 63);
}

QString currencyText(qint64 units, QChar point)
{
    const bool negative = units < 0;
    const quint64 u = negative ? quint64(0) - quint64(units) : quint64(units);
    QString s = QString::number(u / 10000);
    quint64 frac = u % 10000;
    if (frac) {
        int digits = 4;
        while (frac % 10 == 0) {
            frac /= 10;
            --digits;
        }
        s += point + QString::number(frac).rightJustified(digits, u'0');
    }
    if (negative)
        s.prepend(u'-');
    return s;
}

bool parseCurrency(QStringView text, qint64 &units)
{
    text = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    quint64 whole = 0;
    int digits = 0;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
        whole = whole * 10 + (text[i++].unicode() - u'0');
        if (++digits > 15)
            break;
    }
    quint64 frac = 0;
    int fracDigits = 0;
    bool roundUp = false;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
            const int dgt = text[i++].unicode() - u'0';
            if (fracDigits < 4) {
                frac = frac * 10 + dgt;
                ++fracDigits;
            } else if (fracDigits == 4) {
                roundUp = dgt >= 5;
                ++fracDigits;
            }
            ++digits;
        }
    }
    if (i != text.size() || digits == 0) {
        // Exponent forms and the like go through a double.
        bool ok = false;
        const double d = text.toDouble(&ok);
        if (!ok || !(std::fabs(d) < 9.2e14))
            return false;
        units = qint64(std::nearbyint(d * 10000.0));
        return true;
    }
    for (int k = std::min(fracDigits, 4); k < 4; ++k)
        frac *= 10;
    // Fifteen whole digits can exceed the range; the minimum has no positive counterpart.
    const quint64 u = whole * 10000 + frac + (roundUp ? 1 : 0);
    const quint64 limit = quint64(std::numeric_limits<qint64>::max()) + (negative ? 1 : 0);
    if (u > limit)
        return false;
    units = negative ? qint64(quint64(0) - u) : qint64(u);
    return true;
}

void normalizeDef(FieldDef &def)
{
    if (def.attributes == adFldUnspecified)
        def.attributes = adFldUpdatable | adFldIsNullable | adFldMayBeNull;
    switch (def.type) {
    case adChar:
    case adWChar:
    case adBinary:
    case adSmallInt:
    case adInteger:
    case adSingle:
    case adDouble:
    case adCurrency:
    case adDate:
    case adBoolean:
    case adDecimal:
    case adTinyInt:
    case adUnsignedTinyInt:
    case adBigInt:
    case adGUID:
    case adNumeric:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp:
        def.attributes |= adFldFixed;
        break;
    case adLongVarChar:
    case adLongVarWChar:
    case adLongVarBinary:
        def.attributes |= adFldLong;
        break;
    default:
        break;
    }
    if (def.precision == 0) {
        switch (def.type) {
        case adSmallInt:
            def.precision = 5;
            break;
        case adInteger:
            def.precision = 10;
            break;
        case adSingle:
            def.precision = 7;
            break;
        case adDouble:
            def.precision = 15;
            break;
        case adCurrency:
        case adBigInt:
            def.precision = 19;
            break;
        case adTinyInt:
        case adUnsignedTinyInt:
            def.precision = 3;
            break;
        case adDecimal:
        case adNumeric:
            def.precision = 18;
            break;
        case adDBTimeStamp:
            def.precision = 23;
            def.scale = 3;
            break;
        default:
            break;
        }
    }
    if (def.definedSize <= 0)
        def.definedSize = defaultSize(def.type);
}

Column::Column(FieldDef d)
    : def(std::move(d))
    , kind(kindOf(def.type))
{
}

void Column::reserve(size_t rows)
{
    switch (kind) {
    case Kind::Int:
    case Kind::Currency:
    case Kind::Date:
        ints.reserve(rows);
        break;
    case Kind::Real:
        reals.reserve(rows);
        break;
    case Kind::Text:
    case Kind::Decimal:
        // Text room judged by the values so far.
        if (!spans.empty() && rows > spans.size())
            arena.reserve(
                size_t(double(arena.size()) / double(spans.size()) * double(rows) * 1.05));
        spans.reserve(rows);
        break;
    case Kind::Bytes:
        bytes.reserve(rows);
        break;
    }
    nullBits.reserve((rows + 63) / 64);
}

void Column::appendNull()
{
    size_t n = 0;
    switch (kind) {
    case Kind::Int:
    case Kind::Currency:
    case Kind::Date:
        ints.push_back(0);
        n = ints.size();
        break;
    case Kind::Real:
        reals.push_back(0);
        n = reals.size();
        break;
    case Kind::Text:
    case Kind::Decimal:
        spans.push_back(0);
        n = spans.size();
        break;
    case Kind::Bytes:
        bytes.emplace_back();
        n = bytes.size();
        break;
    }
    if (nullBits.size() * 64 < n)
        nullBits.push_back(0);
    setNullBit(int(n - 1), true);
}

QVariant Column::value(int row) const
{
    if (isNull(row))
        return QVariant::fromValue(nullptr); // the runtime's Null
    const size_t r = size_t(row);
    switch (kind) {
    case Kind::Int:
        switch (def.type) {
        case adBoolean:
            return QVariant(ints[r] != 0);
        case adSmallInt:
            return QVariant::fromValue(qint16(ints[r]));
        case adBigInt:
            return QVariant::fromValue(qint64(ints[r]));
        default:
            return QVariant(int(ints[r]));
        }
    case Kind::Real:
        if (def.type == adSingle)
            return QVariant(float(reals[r]));
        return QVariant(reals[r]);
    case Kind::Currency:
        return QVariant(double(ints[r]) / 10000.0);
    case Kind::Date:
        return dateValue(def.type, ints[r]);
    case Kind::Text:
    case Kind::Decimal:
        return QVariant(text(row).toString());
    case Kind::Bytes:
        return QVariant(bytes[r]);
    }
    return QVariant();
}

void Column::setValue(int row, const QVariant &v)
{
    const size_t r = size_t(row);
    if (v.isNull() && v.metaType().id() != QMetaType::QString) {
        setNullBit(row, true);
        return;
    }
    auto fail = [&](const char *why) {
        raise(adErrDataConversion,
            QStringLiteral("Field '%1': %2.").arg(def.name, QLatin1String(why)));
    };
    switch (kind) {
    case Kind::Int: {
        const int id = v.metaType().id();
        qint64 iv = 0;
        if (def.type == adBoolean) {
            double d = 0;
            if (!toNumber(v, d, true))
                fail("the value is not a truth value");
            iv = d != 0 ? 1 : 0;
        } else if (id == QMetaType::ULongLong || id == QMetaType::ULong) {
            // Drivers hand positive 64-bit values over unsigned.
            const qulonglong u = v.toULongLong();
            if (u > qulonglong(std::numeric_limits<qint64>::max()))
                fail("the value is out of range");
            iv = qint64(u);
        } else if (isIntegerTypeId(id)) {
            iv = v.toLongLong();
        } else {
            bool exact = false;
            if (id == QMetaType::QString) // an integer text exactly: a double has only 53 bits
                iv = v.toString().trimmed().toLongLong(&exact);
            if (!exact) {
                double d = 0;
                if (!toNumber(v, d, false))
                    fail("the value is not a number");
                d = std::nearbyint(d);
                if (!(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18))
                    fail("the value is out of range");
                iv = qint64(d);
            }
        }
        qint64 lo = 0, hi = 0;
        intRange(def.type, lo, hi);
        if (iv < lo || iv > hi)
            fail("the value is out of range");
        ints[r] = iv;
        break;
    }
    case Kind::Real: {
        double d = 0;
        if (!toNumber(v, d, false, true))
            fail("the value is not a number");
        if (def.type == adSingle) {
            if (std::isfinite(d) && std::fabs(d) > double(std::numeric_limits<float>::max()))
                fail("the value is out of range");
            d = double(float(d));
        }
        reals[r] = d;
        break;
    }
    case Kind::Currency: {
        double d = 0;
        if (!toNumber(v, d, false))
            fail("the value is not a number");
        // The currency limits are not doubles: the nearest double lies just beyond each, and a
        // limit read back as a double must go back in, so that far is taken as the limit.
        if (!(std::fabs(d) <= 922337203685477.5807))
            fail("the value is out of range");
        d = std::nearbyint(d * 10000.0);
        ints[r] = d >= 9.2233720368547758e18 ? std::numeric_limits<qint64>::max()
            : d < -9.2233720368547758e18     ? std::numeric_limits<qint64>::min()
                                             : qint64(d);
        break;
    }
    case Kind::Date: {
        const int id = v.metaType().id();
        auto unitsOf = [&fail](const QDate &date, const QTime &time) {
            if (!date.isValid())
                fail("the value is not a date");
            if (!dateFitsUnits(date))
                fail("the date is out of range");
            return dateToUnits(date, time);
        };
        qint64 units = 0;
        if (id == QMetaType::QDateTime) {
            const QDateTime dt = v.toDateTime();
            if (!dt.isValid())
                fail("the value is not a date");
            units = unitsOf(dt.date(), dt.time());
        } else if (id == QMetaType::QTime) {
            if (!v.toTime().isValid())
                fail("the value is not a time");
            units = qint64(v.toTime().msecsSinceStartOfDay()) * 1000;
        } else if (id == QMetaType::QDate) {
            units = unitsOf(v.toDate(), QTime(0, 0));
        } else if (id == QMetaType::QString) {
            const QString s = v.toString();
            if (!parseDateText(s, units)) {
                const QLocale loc = userLocale();
                QDateTime dt = loc.toDateTime(s, QLocale::ShortFormat);
                if (!dt.isValid())
                    dt = QDateTime(loc.toDate(s, QLocale::ShortFormat), QTime(0, 0));
                if (!dt.isValid())
                    fail("the text is not a date");
                units = unitsOf(dt.date(), dt.time());
            }
        } else {
            double d = 0;
            if (!toNumber(v, d, false) || std::fabs(d) > 3e6)
                fail("the value is not a date");
            units = serialToUnits(d);
        }
        if (def.type == adDBTime && units != dateInfinity && units != dateMinusInfinity) {
            // A time keeps the time of day of what it is given.
            qint64 day = 0, us = 0;
            splitUnits(units, day, us);
            units = units == usPerDay ? units : us;
        }
        ints[r] = units;
        break;
    }
    case Kind::Decimal: {
        const int id = v.metaType().id();
        QString dec;
        if (id == QMetaType::Double || id == QMetaType::Float) {
            dec = decimalFromDouble(v.toDouble());
        } else if (isIntegerTypeId(id)) {
            dec = id == QMetaType::ULongLong ? QString::number(v.toULongLong())
                                             : QString::number(v.toLongLong());
        } else if (id == QMetaType::Bool) {
            dec = v.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
        } else if (!(id == QMetaType::QString && parseDecimal(v.toString(), dec))) {
            double d = 0;
            if (!toNumber(v, d, false))
                fail("the value is not a number");
            dec = decimalFromDouble(d);
        }
        setText(row, dec);
        break;
    }
    case Kind::Text: {
        QString s;
        const int id = v.metaType().id();
        if (id == QMetaType::Bool)
            s = v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        else if (id == QMetaType::QUuid)
            s = v.toUuid().toString(QUuid::WithBraces).toUpper();
        else if (v.canConvert<QString>())
            s = v.toString();
        else
            fail("the value has no text form");
        if (def.type == adGUID) {
            const QUuid u = QUuid::fromString(s);
            if (u.isNull() && s.count(u'0') != 32)
                fail("the text is not a GUID");
            s = u.toString(QUuid::WithBraces).toUpper();
        } else if (limitedLength(def) && characterCount(s) > def.definedSize) {
            fail("the text is longer than the field");
        }
        setText(row, s);
        break;
    }
    case Kind::Bytes: {
        if (!v.canConvert<QByteArray>())
            fail("the value is not binary data");
        QByteArray b = v.toByteArray();
        if (def.definedSize > 0 && b.size() > def.definedSize)
            fail("the data is longer than the field");
        bytes[r] = std::move(b);
        break;
    }
    }
    setNullBit(row, false);
}

int Column::compareRows(int a, int b) const
{
    const bool na = isNull(a), nb = isNull(b);
    if (na || nb)
        return int(nb) - int(na);
    const size_t x = size_t(a), y = size_t(b);
    switch (kind) {
    case Kind::Int:
    case Kind::Currency:
    case Kind::Date:
        return ints[x] < ints[y] ? -1 : ints[x] > ints[y] ? 1 : 0;
    case Kind::Real: {
        const quint64 ka = realOrderKey(reals[x]), kb = realOrderKey(reals[y]);
        return ka < kb ? -1 : ka > kb ? 1 : 0;
    }
    case Kind::Text:
        return compareNoCase(text(a), text(b));
    case Kind::Decimal:
        return compareDecimal(text(a), text(b));
    case Kind::Bytes:
        return bytes[x] < bytes[y] ? -1 : bytes[y] < bytes[x] ? 1 : 0;
    }
    return 0;
}

void Column::setText(int row, QStringView v)
{
    if (v.size() > maxTextLength)
        raise(adErrDataConversion,
            QStringLiteral("Field '%1': a text of %2 characters is longer than the %3 a field "
                           "can hold.")
                .arg(def.name)
                .arg(v.size())
                .arg(maxTextLength));
    const char16_t *src = reinterpret_cast<const char16_t *>(v.utf16());
    const size_t start = arena.size();
    if (src >= arena.data() && src < arena.data() + arena.size()) {
        // The value comes from this arena, which may move as it grows.
        const std::vector<char16_t> copy(src, src + v.size());
        arena.insert(arena.end(), copy.begin(), copy.end());
    } else {
        arena.insert(arena.end(), src, src + v.size());
    }
    spans[size_t(row)] = (quint64(start) << 24) | quint64(v.size());
    setNullBit(row, false);
}

int compareNoCase(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const char16_t *x = a.utf16(), *y = b.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = x[i], d = y[i];
        if ((c | d) >= 0x80) // beyond ASCII: full case folding from here on
            return QStringView(x + i, a.size() - i)
                .compare(QStringView(y + i, b.size() - i), Qt::CaseInsensitive);
        if (c >= u'A' && c <= u'Z')
            c += 32;
        if (d >= u'A' && d <= u'Z')
            d += 32;
        if (c != d)
            return c < d ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

Table::~Table()
{
    if (fetch)
        fetch->detach();
}

RecordsetEvents *Table::eventsObject()
{
    if (!events)
        events = std::make_unique<RecordsetEvents>();
    return events.get();
}

int Table::appendRow()
{
    for (Column &c : columns)
        c.appendNull();
    deleted.push_back(0);
    ++version;
    return rows++;
}

void Table::reserve(size_t n)
{
    for (Column &c : columns)
        c.reserve(n);
    deleted.reserve(n);
}

int Table::findColumn(QStringView name) const
{
    for (size_t i = 0; i < columns.size(); ++i)
        if (QStringView(columns[i].def.name).compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

QString standardText(int number)
{
    switch (number) {
    case adErrFileExists:
        return QStringLiteral("File already exists");
    case adErrInvalidArgument:
        return QStringLiteral(
            "Arguments are of the wrong type, are out of acceptable range, or are "
            "in conflict with one another.");
    case adErrOpeningFile:
        return QStringLiteral("File could not be opened.");
    case adErrNoCurrentRecord:
        return QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                              "Requested operation requires a current record.");
    case adErrIllegalOperation:
        return QStringLiteral("Operation is not allowed in this context.");
    case adErrItemNotFound:
        return QStringLiteral("Item cannot be found in the collection corresponding to the "
                              "requested name or ordinal.");
    case adErrObjectInCollection:
        return QStringLiteral("Object is already in collection. Cannot append.");
    case adErrObjectClosed:
        return QStringLiteral("Operation is not allowed when the object is closed.");
    case adErrObjectOpen:
        return QStringLiteral("Operation is not allowed when the object is open.");
    case adErrDataConversion:
        return QStringLiteral("Multiple-step operation generated errors. Check each status value.");
    case adErrInvalidSource:
        return QStringLiteral("Recordset cannot be created.");
    default:
        return Error::standardDescription(number);
    }
}

void raise(int number, const QString &detail)
{
    const QString text = standardText(number);
    throw Error(number, detail.isEmpty() ? text : text + QLatin1Char(' ') + detail,
        QStringLiteral("Recordset"));
}

} // namespace tessera::detail
