// Columnar record storage shared by every cursor of a record set: one typed vector per field plus
// a null bitmap, a deleted-record bitmap and change counters that cursors use to stay in step.
#pragma once

#include <tessera/Recordset.h>

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <limits>
#include <memory>
#include <vector>

namespace tessera::detail {

// How a field's values are held.
enum class Kind {
    Int, // qint64: integer types and Boolean (0 / 1)
    Real, // double: single, double (NaN and infinities included)
    Currency, // qint64 scaled by 10,000: exact to four decimals
    Date, // qint64 microseconds since 2000-01-01 00:00, wall clock; the extremes are +-infinity
    Text, // QString: character types and GUIDs ("{...}")
    Decimal, // decimal, numeric: the exact digits as ASCII text in the text arena
    Bytes, // QByteArray: binary types
};

Kind kindOf(DataTypeEnum type);
// Characters of a text as sizes count them: a surrogate pair is one.
qsizetype characterCount(QStringView s);
bool isKnownType(int type);
// Whether an integer fits the integer type.
bool inRange(DataTypeEnum type, qint64 v);
// The size a field of that type has when none is given.
qint32 defaultSize(DataTypeEnum type);

// Date <-> storage units. The epoch is the one PostgreSQL counts from, so that its whole range
// of microsecond timestamps fits; +-infinity are the extremes, as there.
constexpr qint64 usPerDay = 86400000000LL;
constexpr qint64 unitsEpochJulianDay = 2451545; // 2000-01-01
constexpr qint64 dateInfinity = std::numeric_limits<qint64>::max();
constexpr qint64 dateMinusInfinity = std::numeric_limits<qint64>::min();
qint64 dateToUnits(const QDate &date, const QTime &time);
// True when the date is valid and its units cannot wrap: 64-bit microseconds reach past year
// 294,000 (PostgreSQL's whole range), but a date may be given with a six-digit year.
bool dateFitsUnits(const QDate &date);
qint64 unitsFromDay(qint64 julianDay, qint64 usOfDay);
// Julian day and microseconds of the day of finite units.
void splitUnits(qint64 units, qint64 &julianDay, qint64 &usOfDay);
// The wall clock in a UTC QDateTime, so that no time-zone rule moves or refuses it.
QDateTime unitsToDateTime(qint64 units);
// What Value() gives for a date field: QDate (adDBDate), QTime (adDBTime), QDateTime (others);
// the text "infinity" / "-infinity" (or "24:00:00") where Qt's types have no such value.
QVariant dateValue(DataTypeEnum type, qint64 units);
// Days since 1899-12-30 (the classic date serial) <-> storage units.
qint64 serialToUnits(double serial);
// Reads "yyyy-mm-dd[( |T)hh:mm[:ss[.ffffff]]][Z|+hh[:mm]|-hh[:mm]][ BC]" (a zone offset moves
// the time to UTC), "infinity", "-infinity", a bare time "hh:mm[:ss[.ffffff]]" and, when usLike,
// "m/d/yyyy [h:mm[:ss] [AM|PM]]".
bool parseDateText(QStringView text, qint64 &units, bool usLike = true);
// parseDateText over a short ASCII text (a database's own date text), without a QString.
bool parseDateAscii(const char *text, qsizetype length, qint64 &units);
// ISO text of units: "yyyy-mm-ddThh:mm:ss[.fff|.ffffff]", "yyyy-mm-dd" for adDBDate,
// "hh:mm:ss[...]" for adDBTime, "infinity", "-infinity"; empty when !hasDateText.
QString dateText(DataTypeEnum type, qint64 units);
// True when dateText can write the units: a time of day, an infinity, or a year in 1..9999
// (a database may hold wider years; ISO text has four digits).
bool hasDateText(DataTypeEnum type, qint64 units);

// Exact decimal text: [-]digits[.digits], no leading zeros, "NaN", "Infinity", "-Infinity".
// Accepts a sign, an exponent, "inf", "nan" in any case; false when the text is not a number.
bool parseDecimal(QStringView text, QString &out);
QString decimalFromDouble(double v);
// Orders decimal texts as numbers: -Infinity < numbers < Infinity < NaN, as PostgreSQL does.
int compareDecimal(QStringView a, QStringView b);

// A key whose unsigned order is the order of doubles, with -0 = 0 and NaN after +infinity,
// equal to itself (PostgreSQL's order, which SQL filters and sorts follow).
quint64 realOrderKey(double v);

// Currency units (value x 10,000) as plain decimal text without trailing zeros.
QString currencyText(qint64 units, QChar point = u'.');
// Exact decimal text to currency units (extra decimals rounded); false when not a number.
bool parseCurrency(QStringView text, qint64 &units);

struct FieldDef {
    QString name;
    DataTypeEnum type = adVarWChar;
    qint32 definedSize = 0;
    qint32 attributes = adFldUnspecified;
    quint8 precision = 0;
    quint8 scale = 0;
};

// Resolves what Open fixes about a field: unspecified attributes become "updatable, may be
// null", fixed-length and long types get their flags, numeric types their usual precision.
void normalizeDef(FieldDef &def);

class Column {
public:
    explicit Column(FieldDef def);

    FieldDef def;
    Kind kind;
    std::vector<qint64> ints;
    std::vector<double> reals;
    // Text: the UTF-16 units of every value in one arena, and per record its start and length
    // packed as start << 24 | length. A rewritten value is appended; the old units stay unused.
    std::vector<char16_t> arena;
    std::vector<quint64> spans;
    std::vector<QByteArray> bytes;
    std::vector<quint64> nullBits; // bit set: value is Null

    bool isNull(int row) const { return (nullBits[size_t(row) >> 6] >> (row & 63)) & 1u; }
    void setNullBit(int row, bool null)
    {
        const quint64 bit = quint64(1) << (row & 63);
        if (null)
            nullBits[size_t(row) >> 6] |= bit;
        else
            nullBits[size_t(row) >> 6] &= ~bit;
    }

    // Appends one Null value.
    void appendNull();
    void reserve(size_t rows);

    QVariant value(int row) const;
    // Converts `v` to the field's type and stores it; throws adErrDataConversion when it cannot.
    void setValue(int row, const QVariant &v);
    // The stored form `v` converts to, without storing it (same errors as setValue).
    QVariant convert(const QVariant &v) const;

    // Typed fast writers for bulk loading (no checks beyond the kind).
    void setInt(int row, qint64 v)
    {
        ints[size_t(row)] = v;
        setNullBit(row, false);
    }
    void setReal(int row, double v)
    {
        reals[size_t(row)] = v;
        setNullBit(row, false);
    }
    static constexpr qsizetype maxTextLength = 0xFFFFFF;
    QStringView text(int row) const
    {
        const quint64 s = spans[size_t(row)];
        return QStringView(arena.data() + (s >> 24), qsizetype(s & 0xFFFFFF));
    }
    // Throws adErrDataConversion beyond maxTextLength units.
    void setText(int row, QStringView v);
    void setTextUtf8(int row, const char *s, qsizetype n);
    void setBytes(int row, QByteArray v)
    {
        bytes[size_t(row)] = std::move(v);
        setNullBit(row, false);
    }

    // Orders two rows of this column: Null first, text without regard to case.
    int compareRows(int a, int b) const;
};

// A load still bringing records into a table (incremental loading).
class TableFetch {
public:
    virtual ~TableFetch() = default;
    virtual void detach() = 0; // the table is going away
    virtual bool running() const = 0;
    virtual void cancel() = 0;
};

struct Table {
    Table() = default;
    Table(Table &&) = default;
    Table &operator=(Table &&) = default;
    ~Table();
    std::vector<Column> columns;
    int rows = 0;
    std::vector<quint8> deleted; // one byte per record: 1 when deleted
    quint64 version = 1; // any change of records or values
    quint64 deleteVersion = 0; // records deleted

    int appendRow();
    void reserve(size_t n);
    int findColumn(QStringView name) const; // without regard to case; -1 when missing

    // Incremental loading: the batch signals (made on first use) and the fetch still running.
    std::unique_ptr<RecordsetEvents> events;
    std::shared_ptr<TableFetch> fetch;
    RecordsetEvents *eventsObject();
};

// Orders texts without regard to case (as QString::compare with Qt::CaseInsensitive), with a
// quick path for ASCII.
int compareNoCase(QStringView a, QStringView b);

[[noreturn]] void raise(int number, const QString &detail = QString());
QString standardText(int number);

} // namespace tessera::detail
