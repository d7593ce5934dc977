// PostgreSQL rows read from libpq's results under the driver's connection: each value from the
// server's own text by the column's type OID, so nothing passes through a double or the
// machine's time zone. The session is fixed first (UTC, ISO dates, hex bytea, shortest exact
// floats, C money) so the texts have one form; queries run in a read-only transaction.
//
// Type mapping: bool adBoolean; int2 adSmallInt; int4 adInteger; int8, oid adBigInt; float4
// adSingle; float8 adDouble; numeric(p,s) adNumeric with p and s (plain numeric: 0, 0); money
// adCurrency; date adDBDate; time, timetz adDBTime; timestamp, timestamptz adDBTimeStamp
// (timestamptz as its UTC wall clock); bytea adLongVarBinary; uuid adGUID; char(n) adWChar n;
// varchar(n) adVarWChar n; name adVarWChar 63; text, varchar, json and every other type
// adLongVarWChar with the server's text.
#include "sql_source.h"

#include <libpq-fe.h>

#include <QSqlDriver>
#include <QVariant>

#include <charconv>
#include <cmath>
#include <limits>

namespace tessera::detail {

namespace {

enum Oid : unsigned {
    BoolOid = 16,
    ByteaOid = 17,
    CharOid = 18,
    NameOid = 19,
    Int8Oid = 20,
    Int2Oid = 21,
    Int4Oid = 23,
    TextOid = 25,
    OidOid = 26,
    Float4Oid = 700,
    Float8Oid = 701,
    MoneyOid = 790,
    BpcharOid = 1042,
    VarcharOid = 1043,
    DateOid = 1082,
    TimeOid = 1083,
    TimestampOid = 1114,
    TimestamptzOid = 1184,
    TimetzOid = 1266,
    NumericOid = 1700,
    UuidOid = 2950,
};

// How a column's text becomes a value.
enum class Parse { Bool, Int, Float4, Float8, Numeric, Money, Date, Bytea, Uuid, Text };

FieldDef fieldFor(const PGresult *res, int f, Parse &parse)
{
    FieldDef d;
    d.name = QString::fromUtf8(PQfname(res, f));
    const unsigned type = PQftype(res, f);
    const int mod = PQfmod(res, f);
    parse = Parse::Text;
    switch (type) {
    case BoolOid:
        d.type = adBoolean;
        parse = Parse::Bool;
        break;
    case Int2Oid:
        d.type = adSmallInt;
        parse = Parse::Int;
        break;
    case Int4Oid:
        d.type = adInteger;
        parse = Parse::Int;
        break;
    case Int8Oid:
    case OidOid:
        d.type = adBigInt;
        parse = Parse::Int;
        break;
    case Float4Oid:
        d.type = adSingle;
        parse = Parse::Float4;
        break;
    case Float8Oid:
        d.type = adDouble;
        parse = Parse::Float8;
        break;
    case NumericOid:
        d.type = adNumeric;
        parse = Parse::Numeric;
        if (mod >= 4) {
            d.precision = quint8(std::min(((mod - 4) >> 16) & 0xFFFF, 255));
            const int scale = (mod - 4) & 0x7FF; // an 11-bit signed scale; negative ones are 0
            d.scale = quint8(scale > 1000 ? 0 : std::min(scale, 255));
        }
        break;
    case MoneyOid:
        d.type = adCurrency;
        parse = Parse::Money;
        break;
    case DateOid:
        d.type = adDBDate;
        d.precision = 10;
        parse = Parse::Date;
        break;
    case TimeOid:
    case TimetzOid:
        d.type = adDBTime;
        d.precision = 15;
        d.scale = 6;
        parse = Parse::Date;
        break;
    case TimestampOid:
    case TimestamptzOid:
        d.type = adDBTimeStamp;
        d.precision = 26;
        d.scale = 6;
        parse = Parse::Date;
        break;
    case ByteaOid:
        d.type = adLongVarBinary;
        parse = Parse::Bytea;
        break;
    case UuidOid:
        d.type = adGUID;
        parse = Parse::Uuid;
        break;
    case BpcharOid:
        d.type = mod > 4 ? adWChar : adLongVarWChar;
        d.definedSize = mod > 4 ? mod - 4 : 0;
        break;
    case VarcharOid:
        d.type = mod > 4 ? adVarWChar : adLongVarWChar;
        d.definedSize = mod > 4 ? mod - 4 : 0;
        break;
    case NameOid:
        d.type = adVarWChar;
        d.definedSize = 63;
        break;
    case CharOid:
        d.type = adWChar;
        d.definedSize = 1;
        break;
    default:
        d.type = adLongVarWChar;
        break;
    }
    d.attributes = adFldUpdatable | adFldIsNullable | adFldMayBeNull;
    return d;
}

[[noreturn]] void badValue(const Column &c, const char *v)
{
    raise(adErrDataConversion,
        QStringLiteral("Field '%1': the server's value '%2' cannot be read.")
            .arg(c.def.name, QString::fromUtf8(v).left(60)));
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void storeValue(Column &c, Parse parse, int row, const char *v, int len)
{
    const size_t r = size_t(row);
    switch (parse) {
    case Parse::Bool:
        c.setInt(row, v[0] == 't');
        return;
    case Parse::Int: {
        qint64 x = 0;
        const auto res = std::from_chars(v, v + len, x);
        if (res.ec != std::errc() || res.ptr != v + len)
            badValue(c, v);
        c.setInt(row, x);
        return;
    }
    case Parse::Float4:
    case Parse::Float8: {
        double x = 0;
        if (v[0] == 'N') {
            x = std::numeric_limits<double>::quiet_NaN();
        } else if (v[0] == 'I' || (v[0] == '-' && v[1] == 'I')) {
            x = v[0] == '-' ? -std::numeric_limits<double>::infinity()
                            : std::numeric_limits<double>::infinity();
        } else if (parse == Parse::Float4) {
            // The server writes the shortest text that reads back as the same single.
            float f = 0;
            const auto res = std::from_chars(v, v + len, f);
            if (res.ec != std::errc() || res.ptr != v + len)
                badValue(c, v);
            x = double(f);
        } else {
            const auto res = std::from_chars(v, v + len, x);
            if (res.ec != std::errc() || res.ptr != v + len)
                badValue(c, v);
        }
        c.setReal(row, x);
        return;
    }
    case Parse::Numeric:
        c.setTextUtf8(row, v, len); // the server's digits are already plain
        return;
    case Parse::Money: {
        // "-$1,234.56" under lc_monetary C: the symbol and the grouping go.
        char16_t buf[64];
        int n = 0;
        for (int k = 0; k < len && n < 63; ++k)
            if (v[k] != '$' && v[k] != ',')
                buf[n++] = char16_t(uchar(v[k]));
        qint64 units = 0;
        if (!parseCurrency(QStringView(buf, n), units))
            raise(adErrDataConversion,
                QStringLiteral("Field '%1': the money value %2 is beyond the currency range.")
                    .arg(c.def.name, QString::fromUtf8(v)));
        c.setInt(row, units);
        return;
    }
    case Parse::Date: {
        qint64 units = 0;
        if (!parseDateAscii(v, len, units))
            badValue(c, v);
        c.setInt(row, units);
        return;
    }
    case Parse::Bytea: {
        // Hex output: "\x" then two digits a byte.
        if (len < 2 || v[0] != '\\' || v[1] != 'x' || len % 2)
            badValue(c, v);
        QByteArray b(qsizetype((len - 2) / 2), Qt::Uninitialized);
        char *o = b.data();
        for (int k = 2; k < len; k += 2) {
            const int hi = hexValue(v[k]), lo = hexValue(v[k + 1]);
            if (hi < 0 || lo < 0)
                badValue(c, v);
            *o++ = char(hi << 4 | lo);
        }
        c.bytes[r] = std::move(b);
        c.setNullBit(row, false);
        return;
    }
    case Parse::Uuid: {
        // "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11" to the stored "{A0EEBC99-...}".
        if (len != 36)
            badValue(c, v);
        char16_t buf[38];
        buf[0] = u'{';
        for (int k = 0; k < 36; ++k) {
            const char ch = v[k];
            buf[k + 1] = char16_t(ch >= 'a' && ch <= 'f' ? ch - 32 : ch);
        }
        buf[37] = u'}';
        c.setText(row, QStringView(buf, 38));
        return;
    }
    case Parse::Text:
        c.setTextUtf8(row, v, len);
        if (c.def.definedSize > 0 && c.def.type != adLongVarWChar
            && characterCount(c.text(row)) > c.def.definedSize)
            c.def.definedSize = qint32(characterCount(c.text(row)));
        return;
    }
}

class PgReader final : public SqlReader {
public:
    PgReader(std::unique_ptr<SqlConnection> c, const QString &query, bool incremental, Table &t)
        : conn(std::move(c))
        , cursor(incremental)
    {
        const QVariant h = conn->db().driver()->handle();
        if (qstrcmp(h.typeName(), "PGconn*") != 0 && qstrcmp(h.typeName(), "pg_conn*") != 0)
            raise(adErrInvalidSource, QStringLiteral("The PostgreSQL driver gives no handle."));
        pg = *static_cast<PGconn *const *>(h.constData());
        try {
            command(
                "SET TIME ZONE 'UTC'; SET DateStyle = 'ISO, YMD'; SET IntervalStyle = 'postgres';"
                " SET bytea_output = 'hex'; SET extra_float_digits = 1; SET lc_monetary = 'C';"
                " SET client_encoding = 'UTF8'; BEGIN TRANSACTION READ ONLY");
            const QByteArray sql = query.toUtf8();
            if (cursor) {
                command(
                    QByteArray("DECLARE tessera_rows NO SCROLL CURSOR FOR ") + sql, "Query failed");
                next(500);
            } else {
                result = PQexec(pg, sql.constData());
                check(result, "Query failed");
                if (PQresultStatus(result) != PGRES_TUPLES_OK)
                    raise(adErrInvalidSource, QStringLiteral("The query returns no records."));
            }
            describe(t);
        } catch (...) {
            // The destructor does not run for a constructor that throws.
            if (result)
                PQclear(result);
            throw;
        }
    }

    ~PgReader() override
    {
        if (result)
            PQclear(result);
        if (pg && PQstatus(pg) == CONNECTION_OK)
            PQclear(PQexec(pg, "ROLLBACK"));
    }

    bool fetch(Table &t, int maxRows) override
    {
        if (!result)
            return false;
        int done = 0;
        for (;;) {
            const int n = PQntuples(result);
            const int take = std::min(n - at, maxRows - done);
            if (take > 0) {
                read(t, at, take);
                at += take;
                done += take;
            }
            if (at < n)
                return true;
            // This result is used up: the complete load ends, a cursor fetches on.
            if (!cursor || n == 0) {
                PQclear(result);
                result = nullptr;
                return false;
            }
            if (done >= maxRows)
                return true;
            next(std::clamp(maxRows - done, 100, 50000));
        }
    }

private:
    std::unique_ptr<SqlConnection> conn;
    PGconn *pg = nullptr;
    PGresult *result = nullptr;
    int at = 0;
    bool cursor;
    std::vector<Parse> plans;

    void check(PGresult *res, const char *what)
    {
        const ExecStatusType st = PQresultStatus(res);
        if (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK)
            return;
        const QString message
            = QString::fromUtf8(res ? PQresultErrorMessage(res) : PQerrorMessage(pg)).trimmed();
        if (res && res != result)
            PQclear(res);
        raise(adErrInvalidSource, QStringLiteral("%1: %2").arg(QLatin1String(what), message));
    }

    void command(const QByteArray &sql, const char *what = "Preparing the session failed")
    {
        PGresult *res = PQexec(pg, sql.constData());
        check(res, what);
        PQclear(res);
    }

    void next(int rows)
    {
        if (result)
            PQclear(result);
        result = nullptr;
        at = 0;
        PGresult *res = PQexec(pg,
            QByteArray("FETCH FORWARD " + QByteArray::number(rows) + " FROM tessera_rows")
                .constData());
        check(res, "Reading failed");
        result = res;
    }

    void describe(Table &t)
    {
        const int nf = PQnfields(result);
        plans.resize(size_t(nf));
        QStringList origins;
        for (int f = 0; f < nf; ++f) {
            FieldDef d = fieldFor(result, f, plans[size_t(f)]);
            d.name = uniqueFieldName(t, d.name, f);
            const quint8 precision = d.precision, scale = d.scale;
            const bool unconstrained = d.type == adNumeric && d.precision == 0;
            normalizeDef(d);
            if (unconstrained) {
                d.precision = precision;
                d.scale = scale;
            }
            t.columns.emplace_back(std::move(d));
            if (PQftable(result, f) != 0 && PQftablecol(result, f) > 0)
                origins << QStringLiteral("(%1,%2)")
                               .arg(PQftable(result, f))
                               .arg(PQftablecol(result, f));
        }
        if (origins.isEmpty())
            return;
        // NOT NULL, keys and generated values of the columns that come straight from tables.
        const QByteArray sql = "SELECT a.attrelid::bigint, a.attnum, a.attnotnull,"
                               " EXISTS (SELECT 1 FROM pg_index i WHERE i.indrelid = a.attrelid"
                               " AND i.indisprimary AND a.attnum = ANY (i.indkey)),"
                               " a.attidentity <> '' OR COALESCE(pg_get_expr(d.adbin, d.adrelid)"
                               " LIKE 'nextval(%', false)"
                               " FROM pg_attribute a LEFT JOIN pg_attrdef d ON d.adrelid ="
                               " a.attrelid AND d.adnum = a.attnum"
                               " WHERE (a.attrelid::bigint, a.attnum::int) IN (VALUES "
            + origins.join(u',').toLatin1() + ")";
        PGresult *res = PQexec(pg, sql.constData());
        check(res, "Reading the columns failed");
        for (int k = 0; k < PQntuples(res); ++k) {
            const qint64 rel = QByteArray(PQgetvalue(res, k, 0)).toLongLong();
            const int num = QByteArray(PQgetvalue(res, k, 1)).toInt();
            for (int f = 0; f < nf; ++f) {
                if (qint64(PQftable(result, f)) != rel || PQftablecol(result, f) != num)
                    continue;
                qint32 &a = t.columns[size_t(f)].def.attributes;
                if (PQgetvalue(res, k, 2)[0] == 't')
                    a &= ~(adFldIsNullable | adFldMayBeNull);
                if (PQgetvalue(res, k, 3)[0] == 't')
                    a |= adFldKeyColumn;
                if (PQgetvalue(res, k, 4)[0] == 't')
                    a |= adFldRowID;
            }
        }
        PQclear(res);
    }

    void read(Table &t, int first, int count)
    {
        const int nf = int(plans.size());
        if (!cursor && first == 0)
            t.reserve(size_t(t.rows) + size_t(count)); // once: the whole result is here
        for (int k = first; k < first + count; ++k) {
            const int row = t.appendRow();
            for (int f = 0; f < nf; ++f) {
                if (PQgetisnull(result, k, f))
                    continue;
                storeValue(t.columns[size_t(f)], plans[size_t(f)], row, PQgetvalue(result, k, f),
                    PQgetlength(result, k, f));
            }
        }
    }
};

} // namespace

std::unique_ptr<SqlReader> openPostgres(
    std::unique_ptr<SqlConnection> connection, const QString &query, bool incremental, Table &t)
{
    return std::make_unique<PgReader>(std::move(connection), query, incremental, t);
}

} // namespace tessera::detail
