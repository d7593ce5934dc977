// Every column type at its edge values, on PostgreSQL and SQLite alike: what Open loads, as Save
// writes it, must be what the database holds (the database itself compares), survive Save and
// Open of the XML unchanged, and filter and sort as the database does. Then NOT NULL, keys and
// declared sizes. The machine's zone is Europe/Rome, where 2024-03-31 02:30 does not exist.
#include <PostgresTestHelpers.h>
#include <TestHelpers.h>
#include <tessera/Recordset.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>
#include <QtTest>

#include <ctime>

using namespace tessera;

namespace {

// One column type: its declaration, its values, what the record set makes of it, and how the
// database compares `v` with one of our values (compare: %lit is ours as text, %op the operator).
struct Case {
    Case() = default;
    Case(QString t, QStringList l, int c, int sz, int p, int sc, int v, QString cmp = {},
        bool o = true, QString by = QStringLiteral("v"))
        : type(std::move(t))
        , literals(std::move(l))
        , code(c)
        , size(sz)
        , precision(p)
        , scale(sc)
        , valueType(v)
        , compare(std::move(cmp))
        , ordered(o)
        , orderBy(std::move(by))
    {
    }
    QString type; // declared type
    QStringList literals; // SQL literals, one record each; a NULL record is added
    int code = 0;
    int size = 0, precision = -1, scale = -1; // -1: not checked
    int valueType = 0; // metatype of Value() for the first record
    QString compare; // "" for the default
    bool ordered = true; // Sort and Filter > follow the database (not for texts, bytes)
    QString orderBy; // the database's order of the values
};

QString sqlQuote(QString s)
{
    return u'\'' + s.replace(u'\'', QLatin1String("''")) + u'\'';
}

// The values of field `v` per record, as saved (absent: Null).
QList<std::optional<QString>> savedValues(const QByteArray &xml)
{
    QList<std::optional<QString>> out;
    QXmlStreamReader xr(xml);
    while (!xr.atEnd()) {
        if (xr.readNext() != QXmlStreamReader::StartElement || xr.name() != QLatin1String("row"))
            continue;
        const QXmlStreamAttributes a = xr.attributes();
        out << (a.hasAttribute(QLatin1String("v"))
                ? std::optional<QString>(a.value(QLatin1String("v")).toString())
                : std::nullopt);
    }
    return out;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(Case)

class TestRecordsetTypes : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void valuesAsTheDatabaseHasThem_data();
    void valuesAsTheDatabaseHasThem();
    void notNullKeysAndSizes_data();
    void notNullKeysAndSizes();

private:
    QTemporaryDir dir;
    QString sqliteUrl, pgUrl;
    int tableNumber = 0;
    QSqlDatabase database(const QString &backend);
    QString connection(const QString &backend) const
    {
        return backend == QLatin1String("pg") ? pgUrl : sqliteUrl;
    }
    void exec(const QString &backend, const QString &sql);
    QList<int> ids(const QString &backend, const QString &sql);
};

QSqlDatabase TestRecordsetTypes::database(const QString &backend)
{
    return QSqlDatabase::database(QStringLiteral("types_") + backend);
}

void TestRecordsetTypes::exec(const QString &backend, const QString &sql)
{
    QSqlQuery q(database(backend));
    if (!q.exec(sql))
        QFAIL(qPrintable(sql + QLatin1String(": ") + q.lastError().text()));
}

QList<int> TestRecordsetTypes::ids(const QString &backend, const QString &sql)
{
    QList<int> out;
    QSqlQuery q(database(backend));
    if (!q.exec(sql))
        qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    while (q.next())
        out << q.value(0).toInt();
    return out;
}

void TestRecordsetTypes::initTestCase()
{
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("types.db"));
    QSqlDatabase lite
        = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("types_sqlite"));
    lite.setDatabaseName(file);
    QVERIFY(lite.open());
    sqliteUrl = QStringLiteral("sqlite://") + file;
    pgUrl = qEnvironmentVariable("TESSERA_PG_URL");
    if (pgUrl.isEmpty())
        return; // the PostgreSQL rows skip, or fail under CI
    QSqlDatabase pg = test::openPostgres(QStringLiteral("types_pg"), pgUrl);
    QVERIFY(pg.isOpen());
    // The records are compared in a zone of their own, not the one the loader fixes.
    exec(QStringLiteral("pg"), QStringLiteral("SET TIME ZONE 'America/New_York'"));
    exec(QStringLiteral("pg"), QStringLiteral("DROP SCHEMA IF EXISTS types CASCADE"));
    exec(QStringLiteral("pg"), QStringLiteral("CREATE SCHEMA types"));
}

void TestRecordsetTypes::cleanupTestCase()
{
    for (const char *name : { "types_sqlite", "types_pg" }) {
        QSqlDatabase::database(QLatin1String(name), false).close();
        QSqlDatabase::removeDatabase(QLatin1String(name));
    }
}

void TestRecordsetTypes::valuesAsTheDatabaseHasThem_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<Case>("c");
    const int i16 = QMetaType::Short, i32 = QMetaType::Int, i64 = QMetaType::LongLong,
              dbl = QMetaType::Double, flt = QMetaType::Float, str = QMetaType::QString,
              bin = QMetaType::QByteArray, day = QMetaType::QDate, tod = QMetaType::QTime,
              stamp = QMetaType::QDateTime, yes = QMetaType::Bool;
    auto pg = [](const char *name, Case c) { QTest::newRow(name) << QStringLiteral("pg") << c; };
    auto lite
        = [](const char *name, Case c) { QTest::newRow(name) << QStringLiteral("sqlite") << c; };

    pg("pg smallint", { "smallint", { "-32768", "32767", "0" }, adSmallInt, 2, 5, -1, i16 });
    pg("pg integer", { "integer", { "-2147483648", "2147483647" }, adInteger, 4, 10, -1, i32 });
    pg("pg bigint",
        { "bigint", { "-9223372036854775808", "9223372036854775807", "9007199254740993", "-1" },
            adBigInt, 8, 19, -1, i64 });
    pg("pg double precision",
        { "double precision",
            { "'NaN'", "'Infinity'", "'-Infinity'", "1.7976931348623157e308", "5e-324", "0.1",
                "-2.5" },
            adDouble, 8, 15, -1, dbl });
    pg("pg real",
        { "real", { "3.4028235e38", "1.4e-45", "'NaN'", "0.1", "'-Infinity'" }, adSingle, 4, 7, -1,
            flt });
    pg("pg numeric(22,2)",
        { "numeric(22,2)", { "12345678901234567890.12", "-0.01", "0", "'NaN'" }, adNumeric, 19, 22,
            2, str });
    pg("pg numeric",
        { "numeric", { "1e-30", "-123456789012345678901234567890.123456789", "'Infinity'" },
            adNumeric, 19, 0, 0, str });
    pg("pg money",
        { "money", { "'-922337203685477.58'", "'1234.56'", "0" }, adCurrency, 8, 19, -1, dbl });
    pg("pg date",
        { "date", { "'2024-02-29'", "'infinity'", "'-infinity'", "'0001-01-01'", "'9999-12-31'" },
            adDBDate, 6, 10, -1, day });
    pg("pg time",
        { "time", { "'12:34:56.5'", "'00:00:00'", "'23:59:59.999999'", "'24:00:00'" }, adDBTime, 6,
            15, 6, tod });
    pg("pg timetz",
        { "time with time zone", { "'12:00:00.000001+02'", "'23:30:00-05:30'" }, adDBTime, 6, 15, 6,
            tod, "(v AT TIME ZONE 'UTC')::time %op CAST(%lit AS time)", true,
            "(v AT TIME ZONE 'UTC')::time" });
    pg("pg timestamp",
        { "timestamp",
            { "'2024-01-02 03:04:05.123456'", "'2024-03-31 02:30:00'", "'infinity'", "'-infinity'",
                "'9999-12-31 23:59:59.999999'", "'0001-01-01 00:00:00'" },
            adDBTimeStamp, 16, 26, 6, stamp });
    pg("pg timestamptz",
        { "timestamptz",
            { "'2024-06-01 12:00:00.654321+02'", "'2024-10-27 02:30:00+01'", "'infinity'" },
            adDBTimeStamp, 16, 26, 6, stamp,
            "v %op (CAST(%lit AS timestamp) AT TIME ZONE 'UTC')" });
    pg("pg boolean", { "boolean", { "true", "false" }, adBoolean, 2, -1, -1, yes });
    pg("pg bytea",
        { "bytea", { "'\\x00ff10'", "''" }, adLongVarBinary, 2147483647, -1, -1, bin,
            "v %op decode(%lit, 'hex')", false });
    pg("pg uuid",
        { "uuid",
            { "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'", "'00000000-0000-0000-0000-000000000000'" },
            adGUID, 16, -1, -1, str });
    pg("pg varchar(5)",
        { "varchar(5)", { "'Città'", "'😀😀😀😀😀'", "''", "'a''b'" }, adVarWChar, 5, -1, -1, str, {},
            false });
    pg("pg char(3)", { "char(3)", { "'ab'", "'xyz'" }, adWChar, 3, -1, -1, str, {}, false });
    pg("pg text",
        { "text", { "'ελληνικά'", "'日本語 mixed'", "'tab\tand\nline'" }, adLongVarWChar,
            1073741823, -1, -1, str, {}, false });

    const QString julian = QStringLiteral("julianday(v) %op julianday(%lit)");
    lite("sqlite SMALLINT", { "SMALLINT", { "-32768", "32767", "0" }, adSmallInt, 2, 5, -1, i16 });
    lite("sqlite INTEGER",
        { "INTEGER", { "-2147483648", "2147483647" }, adInteger, 4, 10, -1, i32 });
    lite("sqlite BIGINT",
        { "BIGINT", { "-9223372036854775808", "9223372036854775807", "9007199254740993", "-1" },
            adBigInt, 8, 19, -1, i64 });
    lite("sqlite DOUBLE PRECISION",
        { "DOUBLE PRECISION", { "1e999", "-1e999", "1.7976931348623157e308", "5e-324", "0.1" },
            adDouble, 8, 15, -1, dbl,
            "v %op (CASE %lit WHEN 'INF' THEN 9e999 WHEN '-INF' THEN -9e999 ELSE CAST(%lit AS "
            "REAL) END)" });
    lite("sqlite REAL", { "REAL", { "0.1", "-2.5" }, adDouble, 8, 15, -1, dbl });
    lite("sqlite NUMERIC(22,2)",
        { "NUMERIC(22,2)", { "12345678901234567890.12", "-0.01", "0", "'2.50'" }, adNumeric, 19, 22,
            2, str });
    lite("sqlite MONEY", { "MONEY", { "1234.56", "-0.01" }, adCurrency, 8, 19, -1, dbl });
    lite("sqlite DATE",
        { "DATE", { "'2024-02-29'", "'0001-01-01'", "2460369.5" }, adDBDate, 6, 10, -1, day, julian,
            true, "julianday(v)" });
    lite("sqlite TIME",
        { "TIME", { "'12:34:56.5'", "'00:00:00'", "'23:59:59.999'" }, adDBTime, 6, 15, 6, tod,
            julian });
    lite("sqlite TIMESTAMP",
        { "TIMESTAMP",
            { "'2024-01-02 03:04:05.123'", "'2024-03-31 02:30:00'",
                "'2024-06-01T12:00:00.654+02:00'", "2460369.75" },
            adDBTimeStamp, 16, 26, 6, stamp, julian, true, "julianday(v)" });
    lite("sqlite DATETIME",
        { "DATETIME", { "'9999-12-31 23:59:59.999'" }, adDBTimeStamp, 16, 26, 6, stamp, julian });
    lite("sqlite BOOLEAN",
        { "BOOLEAN", { "1", "0" }, adBoolean, 2, -1, -1, yes,
            "v %op (CASE %lit WHEN 'True' THEN 1 ELSE 0 END)" });
    lite("sqlite BLOB",
        { "BLOB", { "X'00FF10'", "X''" }, adLongVarBinary, 2147483647, -1, -1, bin,
            "hex(v) %op upper(%lit)", false });
    lite("sqlite UUID",
        { "UUID", { "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'" }, adGUID, 16, -1, -1, str,
            "upper('{' || v || '}') %op %lit", false });
    lite("sqlite VARCHAR(5)",
        { "VARCHAR(5)", { "'Città'", "'😀😀😀😀😀'", "''", "'a''b'" }, adVarWChar, 5, -1, -1, str, {},
            false });
    lite("sqlite TEXT",
        { "TEXT", { "'ελληνικά'", "'日本語 mixed'" }, adLongVarWChar, 1073741823, -1, -1, str, {},
            false });
}

void TestRecordsetTypes::valuesAsTheDatabaseHasThem()
{
    QFETCH(QString, backend);
    QFETCH(Case, c);
    if (backend == QLatin1String("pg")) {
        TESSERA_POSTGRES_URL(url);
    }
    const bool pg = backend == QLatin1String("pg");
    const QString table = QStringLiteral("%1t%2").arg(pg ? "types." : "").arg(++tableNumber);
    exec(backend,
        QStringLiteral("CREATE TABLE %1 (id integer PRIMARY KEY, v %2)").arg(table, c.type));
    QStringList literals = c.literals;
    literals << QStringLiteral("NULL");
    for (int k = 0; k < literals.size(); ++k)
        exec(backend,
            QStringLiteral("INSERT INTO %1 VALUES (%2, %3)")
                .arg(table)
                .arg(k + 1)
                .arg(literals[k]));

    auto rs = std::make_shared<Recordset>();
    rs->Open(QStringLiteral("SELECT id, v FROM %1 ORDER BY id").arg(table), connection(backend));
    QCOMPARE(rs->RecordCount(), literals.size());
    const Field f = rs->Fields().Item(1);
    QCOMPARE(int(f.Type()), c.code);
    QCOMPARE(f.DefinedSize(), c.size);
    if (c.precision >= 0)
        QCOMPARE(int(f.Precision()), c.precision);
    if (c.scale >= 0)
        QCOMPARE(int(f.NumericScale()), c.scale);
    rs->MoveFirst();
    QCOMPARE(f.Value().metaType().id(), c.valueType);
    for (int r = 0; r < rs->RecordCount(); ++r) {
        const QVariant v = rs->ViewValue(r, 1);
        QCOMPARE(v.isNull(), r == literals.size() - 1);
        if (v.metaType().id() == QMetaType::QDateTime)
            QVERIFY2(v.toDateTime().isValid(), qPrintable(literals[r])); // the zone's gap too
    }

    const QString first = dir.filePath(table + QStringLiteral(".xml"));
    rs->Save(first);
    const QByteArray xml = readAll(first);
    const QList<std::optional<QString>> ours = savedValues(xml);
    QCOMPARE(ours.size(), literals.size());
    const bool dates = c.code == adDBDate || c.code == adDBTime || c.code == adDBTimeStamp;
    rs->MoveFirst();
    for (int k = 0; dates && k < ours.size(); ++k, rs->MoveNext())
        QCOMPARE(f.DateText(), ours[k].value_or(QString())); // the microseconds Value() lacks

    // The database says whether each value we hold is the one it has.
    const QString compare = !c.compare.isEmpty() ? c.compare
        : pg ? QStringLiteral("v %op CAST(%lit AS %1)").arg(c.type)
             : QStringLiteral("v %op %lit");
    auto where = [&](const QString &op, const QString &value) {
        return QString(compare)
            .replace(QLatin1String("%op"), op)
            .replace(QLatin1String("%lit"), sqlQuote(value));
    };
    for (int k = 0; k < ours.size(); ++k) {
        const QString sql = QStringLiteral("SELECT id FROM %1 WHERE id = %2 AND %3")
                                .arg(table)
                                .arg(k + 1)
                                .arg(ours[k] ? where(QStringLiteral("="), *ours[k])
                                             : QStringLiteral("v IS NULL"));
        QVERIFY2(ids(backend, sql) == QList<int> { k + 1 },
            qPrintable(
                QStringLiteral("%1 loaded as %2").arg(literals[k], ours[k].value_or("Null"))));
    }

    // Save and Open of the XML keep every value and the field's description.
    Recordset back;
    back.Open(first);
    const QString second = dir.filePath(table + QStringLiteral("-again.xml"));
    back.Save(second);
    QCOMPARE(readAll(second), xml);

    // Filter and Sort agree with the database's WHERE and ORDER BY.
    const QChar code = c.code == adBoolean ? u'b' : dates ? u'#' : u'\'';
    for (int k = 0; k < ours.size(); ++k) {
        if (!ours[k] || c.code == adLongVarBinary)
            continue;
        const QString lit = code == u'b' ? *ours[k]
            : code == u'#'               ? u'#' + *ours[k] + u'#'
                                         : sqlQuote(*ours[k]);
        for (const QString &op : { QStringLiteral("="), QStringLiteral(">") }) {
            if (op == QLatin1String(">") && !c.ordered)
                continue;
            rs->setFilter(QStringLiteral("v %1 %2").arg(op, lit));
            QList<int> found;
            for (int r = 0; r < rs->RecordCount(); ++r)
                found << rs->ViewValue(r, 0).toInt();
            QCOMPARE(found,
                ids(backend,
                    QStringLiteral("SELECT id FROM %1 WHERE %2 ORDER BY id")
                        .arg(table, where(op, *ours[k]))));
        }
    }
    if (c.ordered) {
        rs->setFilter(QString());
        for (const bool desc : { false, true }) {
            rs->setSort(desc ? QStringLiteral("v DESC") : QStringLiteral("v"));
            QList<int> order;
            for (int r = 0; r < rs->RecordCount(); ++r)
                order << rs->ViewValue(r, 0).toInt();
            QCOMPARE(order,
                ids(backend,
                    QStringLiteral("SELECT id FROM %1 ORDER BY %2 %3, id")
                        .arg(table, c.orderBy, desc ? "DESC NULLS LAST" : "ASC NULLS FIRST")));
        }
    }
}

void TestRecordsetTypes::notNullKeysAndSizes_data()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("pg") << QStringLiteral("pg");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
}

void TestRecordsetTypes::notNullKeysAndSizes()
{
    QFETCH(QString, backend);
    if (backend == QLatin1String("pg")) {
        TESSERA_POSTGRES_URL(url);
    }
    const QString table
        = backend == QLatin1String("pg") ? QStringLiteral("types.parts") : QStringLiteral("parts");
    exec(backend,
        QStringLiteral("CREATE TABLE %1 (code integer NOT NULL, shop varchar(4) NOT NULL, "
                       "name varchar(5), note text, PRIMARY KEY (code, shop))")
            .arg(table));
    exec(backend, QStringLiteral("INSERT INTO %1 VALUES (1, 'Roma', 'Città', NULL)").arg(table));

    struct Expect {
        bool nullable, key;
        int size;
    };
    const QList<Expect> expect = { { false, true, 4 }, { false, true, 4 }, { true, false, 5 },
        { true, false, 1073741823 } };
    // Aliases and a bare table name keep what the table says of its columns.
    for (const QString &source : { table,
             QStringLiteral("SELECT code AS c, shop AS s, name AS n, note FROM %1").arg(table) }) {
        Recordset rs;
        rs.Open(source, connection(backend));
        QCOMPARE(rs.FieldCount(), 4);
        for (int k = 0; k < 4; ++k) {
            const Field f = rs.Fields().Item(k);
            QCOMPARE(bool(f.Attributes() & adFldIsNullable), expect[k].nullable);
            QCOMPARE(bool(f.Attributes() & adFldMayBeNull), expect[k].nullable);
            QCOMPARE(bool(f.Attributes() & adFldKeyColumn), expect[k].key);
            QCOMPARE(f.DefinedSize(), expect[k].size);
        }
        // The declared size holds, not the longest value loaded.
        rs.MoveFirst();
        rs.Fields().Item(2).setValue(QStringLiteral("Siena"));
        QVERIFY_TESSERA_ERROR(
            rs.Fields().Item(2).setValue(QStringLiteral("Firenze")), adErrDataConversion);
        rs.Fields().Item(3).setValue(QString(100000, u'x'));
    }
    // An expression is nullable and no key.
    Recordset rs;
    rs.Open(QStringLiteral("SELECT code + 1 AS next FROM %1").arg(table), connection(backend));
    QVERIFY(rs.Fields().Item(0).Attributes() & adFldIsNullable);
    QVERIFY(!(rs.Fields().Item(0).Attributes() & adFldKeyColumn));
}

int main(int argc, char **argv)
{
    // A zone with daylight saving, so that a wall-clock time in its gap shows any shifting.
    qputenv("TZ", "Europe/Rome");
    tzset();
    QCoreApplication app(argc, argv);
    TestRecordsetTypes test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recordset_types.moc"
