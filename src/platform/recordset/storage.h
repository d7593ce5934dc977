// Columnar record storage shared by every cursor of a record set: one typed vector per field plus
// a null bitmap, a deleted-record bitmap and change counters that cursors use to stay in step.
#pragma once

#include <tessera/Recordset.h>

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <vector>

namespace tessera::detail {

// How a field's values are held.
enum class Kind {
    Int, // qint64: integer types and Boolean (0 / 1)
    Real, // double: single, double, decimal, numeric
    Currency, // qint64 scaled by 10,000: exact to four decimals
    Date, // qint64 milliseconds since the start of Julian day 0, no time zone
    Text, // QString: character types and GUIDs ("{...}")
    Bytes, // QByteArray: binary types
};

Kind kindOf(DataTypeEnum type);
bool isKnownType(int type);
// Whether an integer fits the integer type.
bool inRange(DataTypeEnum type, qint64 v);
// The size a field of that type has when none is given.
qint32 defaultSize(DataTypeEnum type);

// Date <-> storage units.
qint64 dateToUnits(const QDate &date, const QTime &time);
QDateTime unitsToDateTime(qint64 units);
// Days since 1899-12-30 (the classic date serial) <-> storage units.
qint64 serialToUnits(double serial);
// Reads "yyyy-mm-dd[Thh:mm[:ss[.fff]]][Z]" and, when usLike, "m/d/yyyy [h:mm[:ss] [AM|PM]]".
bool parseDateText(QStringView text, qint64 &units, bool usLike = true);

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
    void setBytes(int row, QByteArray v)
    {
        bytes[size_t(row)] = std::move(v);
        setNullBit(row, false);
    }

    // Orders two rows of this column: Null first, text without regard to case.
    int compareRows(int a, int b) const;
};

struct Table {
    std::vector<Column> columns;
    int rows = 0;
    std::vector<quint8> deleted; // one byte per record: 1 when deleted
    quint64 version = 1; // any change of records or values
    quint64 deleteVersion = 0; // records deleted

    int appendRow();
    void reserve(size_t n);
    int findColumn(QStringView name) const; // without regard to case; -1 when missing
};

// Orders texts without regard to case (as QString::compare with Qt::CaseInsensitive), with a
// quick path for ASCII.
int compareNoCase(QStringView a, QStringView b);

[[noreturn]] void raise(int number, const QString &detail = QString());
QString standardText(int number);

} // namespace tessera::detail
