// Columnar storage: type classification, value conversion into a field's type, date units,
// row comparison for sorting, and the layer's error texts.
#include "storage.h"

#include <tessera/Runtime.h>
#include <tessera/VariantTypes.h>

#include <QLocale>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessera::detail {

namespace {
constexpr qint64 msPerDay = 86400000;
constexpr qint64 serialEpochJulianDay = 2415019; // 1899-12-30

// Number a value stands for; false when it is not one. Booleans are -1 / 0 as in the host.
bool toNumber(const QVariant &v, double &out, bool acceptBoolText)
{
    const int id = v.metaType().id();
    if (id == QMetaType::Bool) {
        out = v.toBool() ? -1.0 : 0.0;
        return true;
    }
    if (isIntegerTypeId(id) || id == QMetaType::Double || id == QMetaType::Float) {
        bool ok = false;
        out = v.toDouble(&ok);
        return ok && std::isfinite(out);
    }
    if (id == QMetaType::QDateTime || id == QMetaType::QDate) {
        const QDateTime dt = v.toDateTime();
        out = double(dateToUnits(dt.date(), dt.time()) - serialEpochJulianDay * msPerDay)
            / msPerDay;
        return dt.isValid();
    }
    if (id == QMetaType::QString || id == QMetaType::QByteArray) {
        const QString s = v.toString().trimmed();
        bool ok = false;
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
        && def.type != adGUID;
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
    case adDecimal:
    case adNumeric:
        return Kind::Real;
    case adCurrency:
        return Kind::Currency;
    case adDate:
    case adDBTimeStamp:
        return Kind::Date;
    case adBinary:
    case adVarBinary:
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
    case adDBTimeStamp:
    case adVarChar:
    case adLongVarChar:
    case adVarWChar:
    case adLongVarWChar:
    case adVarBinary:
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
    case adDate:
    case adDBTimeStamp:
    case adDecimal:
    case adGUID:
        return 16;
    case adNumeric:
        return 19;
    case adLongVarChar:
        return 2147483647;
    case adLongVarWChar:
        return 1073741823;
    default:
        return 0;
    }
}

qint64 dateToUnits(const QDate &date, const QTime &time)
{
    if (!date.isValid())
        return 0;
    return date.toJulianDay() * msPerDay + (time.isValid() ? time.msecsSinceStartOfDay() : 0);
}

QDateTime unitsToDateTime(qint64 units)
{
    qint64 day = units / msPerDay;
    qint64 ms = units % msPerDay;
    if (ms < 0) {
        ms += msPerDay;
        --day;
    }
    return QDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

qint64 serialToUnits(double serial)
{
    return serialEpochJulianDay * msPerDay + qint64(std::llround(serial * double(msPerDay)));
}

bool parseDateText(QStringView s, qint64 &units, bool usLike)
{
    s = s.trimmed();
    qsizetype i = 0;
    int y = 0, mo = 0, d = 0;
    int a = 0;
    const int na = readDigits(s, i, 4, a);
    if (na == 0 || i >= s.size())
        return false;
    const QChar sep = s[i];
    if (na == 4 && (sep == u'-' || sep == u'/')) {
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
    const QDate date(y, mo, d);
    if (!date.isValid())
        return false;
    int h = 0, mi = 0, sec = 0, ms = 0;
    if (i < s.size() && (s[i] == u'T' || s[i] == u' ')) {
        ++i;
        while (i < s.size() && s[i] == u' ')
            ++i;
        if (readDigits(s, i, 2, h) == 0 || i >= s.size() || s[i] != u':')
            return false;
        ++i;
        if (readDigits(s, i, 2, mi) != 2)
            return false;
        if (i < s.size() && s[i] == u':') {
            ++i;
            if (readDigits(s, i, 2, sec) != 2)
                return false;
            if (i < s.size() && s[i] == u'.') {
                ++i;
                int frac = 0;
                const int nf = readDigits(s, i, 3, frac);
                ms = nf == 1 ? frac * 100 : nf == 2 ? frac * 10 : frac;
                int skip = 0;
                readDigits(s, i, 9, skip); // finer digits are dropped
            }
        }
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
        } else if (i < s.size() && (s[i] == u'Z' || s[i] == u'z')) {
            ++i;
        } else if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
            i = s.size(); // a zone offset: the wall-clock time is kept as written
        }
    }
    if (i != s.size())
        return false;
    const QTime time(h, mi, sec, ms);
    if (!time.isValid())
        return false;
    units = dateToUnits(date, time);
    return true;
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
        def.attributes |= adFldFixed;
        break;
    case adLongVarChar:
    case adLongVarWChar:
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
        return QVariant(unitsToDateTime(ints[r]));
    case Kind::Text:
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
        } else if (isIntegerTypeId(id) && id != QMetaType::ULongLong) {
            iv = v.toLongLong();
        } else {
            double d = 0;
            if (!toNumber(v, d, false))
                fail("the value is not a number");
            d = std::nearbyint(d);
            if (!(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18))
                fail("the value is out of range");
            iv = qint64(d);
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
        if (!toNumber(v, d, false))
            fail("the value is not a number");
        if (def.type == adSingle) {
            if (std::fabs(d) > double(std::numeric_limits<float>::max()))
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
        qint64 units = 0;
        if (id == QMetaType::QDateTime) {
            const QDateTime dt = v.toDateTime();
            if (!dt.isValid())
                fail("the value is not a date");
            units = dateToUnits(dt.date(), dt.time());
        } else if (id == QMetaType::QDate) {
            if (!v.toDate().isValid())
                fail("the value is not a date");
            units = dateToUnits(v.toDate(), QTime(0, 0));
        } else if (id == QMetaType::QString) {
            const QString s = v.toString();
            if (!parseDateText(s, units)) {
                const QLocale loc = userLocale();
                QDateTime dt = loc.toDateTime(s, QLocale::ShortFormat);
                if (!dt.isValid())
                    dt = QDateTime(loc.toDate(s, QLocale::ShortFormat), QTime(0, 0));
                if (!dt.isValid())
                    fail("the text is not a date");
                units = dateToUnits(dt.date(), dt.time());
            }
        } else {
            double d = 0;
            if (!toNumber(v, d, false) || std::fabs(d) > 3e6)
                fail("the value is not a date");
            units = serialToUnits(d);
        }
        ints[r] = units;
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
        } else if (limitedLength(def) && s.size() > def.definedSize) {
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
    case Kind::Real:
        return reals[x] < reals[y] ? -1 : reals[x] > reals[y] ? 1 : 0;
    case Kind::Text:
        return compareNoCase(text(a), text(b));
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
