// SQLite rows read with SQLite's own API under the driver's connection (read-only). A column's
// type comes from its declared type name, as SQLite's affinity rules and the usual names suggest;
// each value is then read by that type whatever its storage class, so an INTEGER stored in a
// DATE column is a Unix time, a REAL a Julian day number, a TEXT an ISO date.
//
// Declared names (case ignored; first match): BOOL, BOOLEAN adBoolean; TINYINT adTinyInt;
// SMALLINT, INT2 adSmallInt; BIGINT, INT8, UNSIGNED BIG INT adBigInt; other names with INT
// adInteger (widened to adBigInt when a value needs 64 bits); DATE adDBDate; TIME adDBTime;
// DATETIME, TIMESTAMP adDBTimeStamp; UUID, GUID, UNIQUEIDENTIFIER adGUID; MONEY, CURRENCY
// adCurrency; NUMERIC / DECIMAL(p,s) adNumeric p, s (without them: 0, 0); names with CHAR, CLOB
// or TEXT: CHAR(n) adWChar n, VARCHAR(n) adVarWChar n, others adLongVarWChar; BLOB
// adLongVarBinary; REAL, FLOAT, DOUBLE adDouble. No declared type (expressions, untyped
// columns) or an unknown one: the first value's storage class decides (INTEGER adBigInt, REAL
// adDouble, TEXT adLongVarWChar, BLOB adLongVarBinary), widened when later values need it.
#include "sql_source.h"

#include <sqlite3.h>

#include <QRegularExpression>
#include <QSqlDriver>
#include <QUuid>
#include <QVariant>

#include <cmath>

namespace tessera::detail {

namespace {

// Days of the Julian day number at 2000-01-01 00:00, and the Unix time then.
constexpr double julianDayAtUnitsEpoch = 2451544.5;
constexpr qint64 unixAtUnitsEpoch = 946684800;

// The field a declared type name describes; false when the name decides nothing.
bool fieldFor(const QString &declared, FieldDef &d)
{
    static const QRegularExpression form(
        QStringLiteral(R"(^\s*([A-Z ]*?)\s*(?:\(\s*(\d+)\s*(?:,\s*(\d+)\s*)?\))?\s*$)"));
    const QString upper = declared.toUpper();
    const QRegularExpressionMatch m = form.match(upper);
    const QString base = m.hasMatch() ? m.captured(1).simplified() : upper.simplified();
    const int a = m.captured(2).toInt(), b = m.captured(3).toInt();
    const bool sized = !m.captured(2).isEmpty();
    if (base.isEmpty())
        return false;
    if (base == QLatin1String("BOOL") || base == QLatin1String("BOOLEAN"))
        d.type = adBoolean;
    else if (base == QLatin1String("TINYINT"))
        d.type = adTinyInt;
    else if (base == QLatin1String("SMALLINT") || base == QLatin1String("INT2"))
        d.type = adSmallInt;
    else if (base == QLatin1String("BIGINT") || base == QLatin1String("INT8")
        || base == QLatin1String("UNSIGNED BIG INT"))
        d.type = adBigInt;
    else if (base.contains(QLatin1String("INT")))
        d.type = adInteger;
    else if (base == QLatin1String("DATE")) {
        d.type = adDBDate;
        d.precision = 10;
    } else if (base == QLatin1String("TIME")) {
        d.type = adDBTime;
        d.precision = 15;
        d.scale = 6;
    } else if (base == QLatin1String("DATETIME") || base == QLatin1String("TIMESTAMP")) {
        d.type = adDBTimeStamp;
        d.precision = 26;
        d.scale = 6;
    } else if (base == QLatin1String("UUID") || base == QLatin1String("GUID")
        || base == QLatin1String("UNIQUEIDENTIFIER"))
        d.type = adGUID;
    else if (base == QLatin1String("MONEY") || base == QLatin1String("CURRENCY"))
        d.type = adCurrency;
    else if (base == QLatin1String("NUMERIC") || base == QLatin1String("DECIMAL")) {
        d.type = adNumeric;
        d.precision = quint8(std::clamp(a, 0, 255));
        d.scale = quint8(std::clamp(b, 0, 255));
    } else if (base.contains(QLatin1String("CHAR")) || base.contains(QLatin1String("CLOB"))
        || base.contains(QLatin1String("TEXT"))) {
        const bool fixed = base == QLatin1String("CHAR") || base == QLatin1String("NCHAR")
            || base == QLatin1String("CHARACTER") || base == QLatin1String("NATIVE CHARACTER");
        d.type = sized && a > 0 ? (fixed ? adWChar : adVarWChar) : adLongVarWChar;
        d.definedSize = sized && a > 0 ? a : 0;
    } else if (base == QLatin1String("BLOB"))
        d.type = adLongVarBinary;
    else if (base.contains(QLatin1String("REAL")) || base.contains(QLatin1String("FLOA"))
        || base.contains(QLatin1String("DOUB")))
        d.type = adDouble;
    else
        return false;
    return true;
}

DataTypeEnum typeOfStorage(int storage)
{
    switch (storage) {
    case SQLITE_INTEGER:
        return adBigInt;
    case SQLITE_FLOAT:
        return adDouble;
    case SQLITE_BLOB:
        return adLongVarBinary;
    default:
        return adLongVarWChar;
    }
}

class SqliteReader final : public SqlReader {
public:
    SqliteReader(std::unique_ptr<SqlConnection> c, const QString &query, Table &t)
        : conn(std::move(c))
    {
        const QVariant h = conn->db().driver()->handle();
        if (qstrcmp(h.typeName(), "sqlite3*") != 0)
            raise(adErrInvalidSource, QStringLiteral("The SQLite driver gives no handle."));
        db = *static_cast<sqlite3 *const *>(h.constData());
        const QByteArray sql = query.toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK)
            raise(adErrInvalidSource,
                QStringLiteral("Query failed: %1").arg(QString::fromUtf8(sqlite3_errmsg(db))));
        try {
            if (!st || sqlite3_column_count(st) == 0)
                raise(adErrInvalidSource, QStringLiteral("The query returns no records."));
            describe(t);
        } catch (...) {
            sqlite3_finalize(st); // the destructor does not run for a constructor that throws
            throw;
        }
    }

    ~SqliteReader() override { sqlite3_finalize(st); }

    bool fetch(Table &t, int maxRows) override
    {
        if (done)
            return false;
        const int nf = int(dynamic.size());
        for (int k = 0; k < maxRows; ++k) {
            const int rc = sqlite3_step(st);
            if (rc == SQLITE_DONE) {
                done = true;
                return false;
            }
            if (rc != SQLITE_ROW)
                raise(adErrInvalidSource,
                    QStringLiteral("Reading failed: %1")
                        .arg(QString::fromUtf8(sqlite3_errmsg(db))));
            const int row = t.appendRow();
            for (int f = 0; f < nf; ++f) {
                const int storage = sqlite3_column_type(st, f);
                if (storage != SQLITE_NULL)
                    store(t, f, row, storage);
            }
        }
        return true;
    }

private:
    std::unique_ptr<SqlConnection> conn;
    sqlite3 *db = nullptr;
    sqlite3_stmt *st = nullptr;
    bool done = false;
    // 1: typed by the first value, 2: and that value has come.
    std::vector<quint8> dynamic;

    void describe(Table &t)
    {
        const int nf = sqlite3_column_count(st);
        dynamic.assign(size_t(nf), 0);
        for (int f = 0; f < nf; ++f) {
            FieldDef d;
            d.name = uniqueFieldName(t, QString::fromUtf8(sqlite3_column_name(st, f)), f);
            const char *declared = sqlite3_column_decltype(st, f);
            if (!declared || !fieldFor(QString::fromUtf8(declared), d)) {
                d.type = adLongVarWChar;
                dynamic[size_t(f)] = 1;
            }
            d.attributes = adFldUpdatable | adFldIsNullable | adFldMayBeNull;
            const char *table = sqlite3_column_table_name(st, f);
            const char *origin = sqlite3_column_origin_name(st, f);
            int notNull = 0, key = 0, autoIncrement = 0;
            if (table && origin
                && sqlite3_table_column_metadata(db, sqlite3_column_database_name(st, f), table,
                       origin, nullptr, nullptr, &notNull, &key, &autoIncrement)
                    == SQLITE_OK) {
                if (notNull || (key && d.type == adInteger))
                    d.attributes &= ~(adFldIsNullable | adFldMayBeNull);
                if (key)
                    d.attributes |= adFldKeyColumn;
                if (autoIncrement)
                    d.attributes |= adFldRowID;
            }
            const bool unconstrained = d.type == adNumeric && d.precision == 0;
            normalizeDef(d);
            if (unconstrained)
                d.precision = d.scale = 0;
            t.columns.emplace_back(std::move(d));
        }
    }

    // A column typed by its values takes a wider type, its values converted.
    void retype(Table &t, int f, DataTypeEnum type, int rows)
    {
        Column &old = t.columns[size_t(f)];
        FieldDef def = old.def;
        def.type = type;
        def.definedSize = 0;
        def.precision = def.scale = 0;
        def.attributes &= ~(adFldFixed | adFldLong);
        normalizeDef(def);
        Column fresh(def);
        fresh.reserve(size_t(rows));
        for (int r = 0; r < rows; ++r) {
            fresh.appendNull();
            if (!old.isNull(r))
                fresh.setValue(r, old.value(r));
        }
        old = std::move(fresh);
    }

    [[noreturn]] void bad(const Column &c, int f)
    {
        raise(adErrDataConversion,
            QStringLiteral("Field '%1': the value '%2' is not of its type.")
                .arg(c.def.name,
                    QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, f)))
                        .left(60)));
    }

    QString text(int f)
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, f)),
            sqlite3_column_bytes(st, f));
    }

    void store(Table &t, int f, int row, int storage)
    {
        if (dynamic[size_t(f)]) {
            const DataTypeEnum want = typeOfStorage(storage);
            const DataTypeEnum have = t.columns[size_t(f)].def.type;
            if (dynamic[size_t(f)] == 1) {
                dynamic[size_t(f)] = 2;
                if (want != have)
                    retype(t, f, want, row + 1);
            } else if (have != want && have != adLongVarWChar) {
                // Integers meeting reals become reals; anything meeting text becomes text.
                const DataTypeEnum wider = (have == adBigInt && want == adDouble)
                        || (have == adDouble && want == adBigInt)
                    ? adDouble
                    : adLongVarWChar;
                if (wider != have)
                    retype(t, f, wider, row + 1);
            }
        }
        Column &c = t.columns[size_t(f)];
        switch (c.kind) {
        case Kind::Int: {
            qint64 x = 0;
            if (storage == SQLITE_INTEGER) {
                x = sqlite3_column_int64(st, f);
            } else if (storage == SQLITE_FLOAT) {
                const double d = sqlite3_column_double(st, f);
                if (d != std::nearbyint(d) || !(std::fabs(d) < 9.2e18))
                    bad(c, f);
                x = qint64(d);
            } else {
                c.setValue(row, text(f));
                return;
            }
            if (c.def.type == adBoolean) {
                x = x != 0;
            } else if (!inRange(c.def.type, x)) {
                // SQLite integers may exceed what the declared type suggests: widen.
                c.def.type = adBigInt;
                c.def.definedSize = 8;
                c.def.precision = 19;
            }
            c.setInt(row, x);
            return;
        }
        case Kind::Real:
            if (storage == SQLITE_FLOAT || storage == SQLITE_INTEGER)
                c.setReal(row, sqlite3_column_double(st, f));
            else
                c.setValue(row, text(f));
            return;
        case Kind::Decimal: {
            QString dec;
            if (storage == SQLITE_INTEGER)
                dec = QString::number(sqlite3_column_int64(st, f));
            else if (storage == SQLITE_FLOAT)
                dec = decimalFromDouble(sqlite3_column_double(st, f));
            else if (!parseDecimal(text(f), dec))
                bad(c, f);
            c.setText(row, dec);
            return;
        }
        case Kind::Currency:
            if (storage == SQLITE_INTEGER) {
                const qint64 x = sqlite3_column_int64(st, f);
                if (x > 922337203685477LL || x < -922337203685477LL)
                    bad(c, f);
                c.setInt(row, x * 10000);
            } else if (storage == SQLITE_FLOAT) {
                c.setValue(row, sqlite3_column_double(st, f));
            } else {
                qint64 units = 0;
                if (!parseCurrency(text(f), units))
                    bad(c, f);
                c.setInt(row, units);
            }
            return;
        case Kind::Date: {
            qint64 units = 0;
            if (storage == SQLITE_INTEGER) {
                units = (sqlite3_column_int64(st, f) - unixAtUnitsEpoch) * 1000000;
            } else if (storage == SQLITE_FLOAT) {
                const double jd = sqlite3_column_double(st, f);
                if (!(std::fabs(jd) < 1e8))
                    bad(c, f);
                units = qint64(std::llround((jd - julianDayAtUnitsEpoch) * double(usPerDay)));
            } else if (!parseDateAscii(reinterpret_cast<const char *>(sqlite3_column_text(st, f)),
                           sqlite3_column_bytes(st, f), units)
                && !parseDateText(text(f), units, false)) {
                bad(c, f);
            }
            if (c.def.type == adDBTime && units != dateInfinity && units != dateMinusInfinity
                && units != usPerDay) {
                qint64 day = 0;
                splitUnits(units, day, units);
            }
            c.setInt(row, units);
            return;
        }
        case Kind::Text:
            if (c.def.type == adGUID) {
                if (storage == SQLITE_BLOB && sqlite3_column_bytes(st, f) == 16) {
                    const QByteArray b(static_cast<const char *>(sqlite3_column_blob(st, f)), 16);
                    c.setText(row, QUuid::fromRfc4122(b).toString(QUuid::WithBraces).toUpper());
                } else {
                    c.setValue(row, text(f));
                }
                return;
            }
            c.setTextUtf8(row, reinterpret_cast<const char *>(sqlite3_column_text(st, f)),
                sqlite3_column_bytes(st, f));
            // SQLite does not hold texts to their declared length; the field grows to fit.
            if (c.def.definedSize > 0 && c.def.type != adLongVarWChar
                && c.text(row).size() > c.def.definedSize
                && characterCount(c.text(row)) > c.def.definedSize)
                c.def.definedSize = qint32(characterCount(c.text(row)));
            return;
        case Kind::Bytes: {
            const void *p
                = storage == SQLITE_BLOB ? sqlite3_column_blob(st, f) : sqlite3_column_text(st, f);
            const int n = sqlite3_column_bytes(st, f);
            c.setBytes(row, QByteArray(static_cast<const char *>(p), n));
            return;
        }
        }
    }
};

} // namespace

std::unique_ptr<SqlReader> openSqlite(
    std::unique_ptr<SqlConnection> connection, const QString &query, Table &t)
{
    return std::make_unique<SqliteReader>(std::move(connection), query, t);
}

} // namespace tessera::detail
