// Connections to the throwaway PostgreSQL server: what a URL may say and what the server makes of
// it, failures that must come back (never hang) and leave no connection behind, and sources that
// are tables.
#include <PostgresTestHelpers.h>
#include <TestHelpers.h>
#include <tessera/Recordset.h>

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QUrl>
#include <QtTest>

using namespace tessera;

class TestRecordsetPostgres : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void connections_data();
    void connections();
    void failures_data();
    void failures();
    void tables_data();
    void tables();

private:
    QString url; // the server's, with its password
    QUrl parts;
    QSqlDatabase admin() { return QSqlDatabase::database(QStringLiteral("pg_admin")); }
    QString with(const QString &userInfo, const QString &query = QString()) const
    {
        // Concatenated: the percent escapes would read as arg() markers.
        return QStringLiteral("postgresql://") + userInfo + QStringLiteral("@127.0.0.1:")
            + QString::number(parts.port()) + parts.path() + (query.isEmpty() ? "" : "?") + query;
    }
};

void TestRecordsetPostgres::initTestCase()
{
    TESSERA_POSTGRES_URL(server);
    url = server;
    parts = QUrl(url);
    QSqlDatabase db = test::openPostgres(QStringLiteral("pg_admin"), url);
    QVERIFY(db.isOpen());
    QSqlQuery q(db);
    for (const char *sql : { "DROP SCHEMA IF EXISTS conn CASCADE", "CREATE SCHEMA conn",
             "CREATE TABLE conn.empty (id integer PRIMARY KEY, name varchar(20) NOT NULL, "
             "born date)",
             "CREATE TABLE conn.\"Mixed Case\" (n integer)",
             "INSERT INTO conn.\"Mixed Case\" VALUES (1), (2)", "DROP ROLE IF EXISTS \"ü ser@x\"",
             "CREATE ROLE \"ü ser@x\" LOGIN PASSWORD 'p@ss:w/rd%?&='",
             "GRANT USAGE ON SCHEMA conn TO \"ü ser@x\"" })
        QVERIFY2(q.exec(QString::fromUtf8(sql)), qPrintable(q.lastError().text()));
}

void TestRecordsetPostgres::cleanupTestCase()
{
    QSqlDatabase::database(QStringLiteral("pg_admin"), false).close();
    QSqlDatabase::removeDatabase(QStringLiteral("pg_admin"));
}

void TestRecordsetPostgres::connections_data()
{
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("application");
    const QString main
        = parts.userName(QUrl::FullyEncoded) + u':' + parts.password(QUrl::FullyEncoded);
    const QString socket
        = QString::fromUtf8(QUrl::toPercentEncoding(qEnvironmentVariable("TESSERA_PG_SOCKET")));
    QTest::newRow("the server's URL") << url << parts.userName() << QString();
    QTest::newRow("percent-encoded user and password")
        << with(QStringLiteral("%C3%BC%20ser%40x:p%40ss%3Aw%2Frd%25%3F%26%3D"))
        << QString::fromUtf8("ü ser@x") << QString();
    QTest::newRow("socket folder as host") << QStringLiteral("postgresql://") + parts.userName()
            + QStringLiteral("@") + parts.path() + QStringLiteral("?host=") + socket
            + QStringLiteral("&port=") + QString::number(parts.port())
                                           << parts.userName() << QString();
    QTest::newRow("application_name, sslmode, connect_timeout") << with(
        main, QStringLiteral("application_name=tessera%20test&sslmode=disable&connect_timeout=3"))
                                                                << parts.userName()
                                                                << QStringLiteral("tessera test");
}

void TestRecordsetPostgres::connections()
{
    QFETCH(QString, connection);
    QFETCH(QString, user);
    QFETCH(QString, application);
    Recordset rs;
    rs.Open(QStringLiteral("SELECT current_user::text, current_setting('application_name'), "
                           "current_setting('transaction_read_only')"),
        connection);
    QCOMPARE(rs.RecordCount(), 1);
    QCOMPARE(rs.ViewValue(0, 0).toString(), user);
    if (!application.isEmpty())
        QCOMPARE(rs.ViewValue(0, 1).toString(), application);
    QCOMPARE(rs.ViewValue(0, 2).toString(), QStringLiteral("on")); // loads only read
    QVERIFY(QSqlDatabase::connectionNames() == QStringList { QStringLiteral("pg_admin") });
}

void TestRecordsetPostgres::failures_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("connection");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("mentions");
    const QString user = parts.userName();
    QTest::newRow("wrong password") << "SELECT 1" << with(user + QStringLiteral(":wrong"))
                                    << int(adErrInvalidSource) << "password authentication failed";
    QTest::newRow("refused port") << "SELECT 1"
                                  << QStringLiteral("postgresql://%1:x@127.0.0.1:1/db").arg(user)
                                  << int(adErrInvalidSource) << "refused";
    // The listener below takes connections and never answers; only the time limit ends them.
    QTest::newRow("silent server, connect_timeout")
        << "SELECT 1" << QStringLiteral("silent?connect_timeout=2") << int(adErrInvalidSource)
        << "timeout";
    QTest::newRow("silent server, default timeout")
        << "SELECT 1" << QStringLiteral("silent") << int(adErrInvalidSource) << "timeout";
    QTest::newRow("unknown parameter")
        << "SELECT 1" << with(user, QStringLiteral("sslmode=disable&colour=blue"))
        << int(adErrInvalidArgument) << "'colour'";
    QTest::newRow("ssl required of a server without it")
        << "SELECT 1" << url + QStringLiteral("?sslmode=require") << int(adErrInvalidSource)
        << "SSL";
    QTest::newRow("bad timeout") << "SELECT 1" << url + QStringLiteral("?connect_timeout=soon")
                                 << int(adErrInvalidArgument) << "connect_timeout";
    QTest::newRow("a write in the read-only load")
        << "INSERT INTO conn.empty VALUES (1, 'x', NULL) RETURNING id" << url
        << int(adErrInvalidSource) << "read-only";
    QTest::newRow("no such table")
        << "conn.nothing" << url << int(adErrInvalidSource) << "does not exist";
    QTest::newRow("no records") << "SET search_path = conn" << url << int(adErrInvalidSource)
                                << "no records";
}

void TestRecordsetPostgres::failures()
{
    QFETCH(QString, source);
    QFETCH(QString, connection);
    QFETCH(int, error);
    QFETCH(QString, mentions);
    QTcpServer silent;
    if (connection.startsWith(QLatin1String("silent"))) {
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        connection.replace(
            0, 6, QStringLiteral("postgresql://u:p@127.0.0.1:%1/db").arg(silent.serverPort()));
    }
    Recordset rs;
    QElapsedTimer clock;
    clock.start();
    try {
        rs.Open(source, connection);
        QFAIL("Open succeeded");
    } catch (const Error &e) {
        QCOMPARE(e.number(), error);
        QVERIFY2(
            e.description().contains(mentions, Qt::CaseInsensitive), qPrintable(e.description()));
    }
    QVERIFY2(clock.elapsed() < 30000, "the load hung"); // 10 s is the default time limit
    QCOMPARE(rs.State(), adStateClosed);
    QVERIFY(QSqlDatabase::connectionNames() == QStringList { QStringLiteral("pg_admin") });
}

void TestRecordsetPostgres::tables_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("records");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("an empty table") << "conn.empty" << 0 << QStringList { "id", "name", "born" };
    QTest::newRow("a quoted name") << "conn.\"Mixed Case\"" << 2 << QStringList { "n" };
    QTest::newRow("a query with no rows")
        << "SELECT id, born FROM conn.empty WHERE false" << 0 << QStringList { "id", "born" };
}

void TestRecordsetPostgres::tables()
{
    QFETCH(QString, source);
    QFETCH(int, records);
    QFETCH(QStringList, names);
    auto rs = std::make_shared<Recordset>();
    rs->Open(source, url);
    QCOMPARE(rs->RecordCount(), records);
    QCOMPARE(rs->FieldCount(), names.size());
    for (int k = 0; k < names.size(); ++k)
        QCOMPARE(rs->FieldName(k), names[k]);
    if (names.contains(QLatin1String("born")))
        QCOMPARE(rs->FieldType(int(names.indexOf(QLatin1String("born")))), adDBDate);
    QCOMPARE(rs->BOF() && rs->EOF_(), records == 0);
    // No records is still a record set to fill and save.
    rs->AddNew();
    rs->Fields().Item(0).setValue(7);
    rs->Update();
    QCOMPARE(rs->RecordCount(), records + 1);
}

QTEST_GUILESS_MAIN(TestRecordsetPostgres)
#include "tst_recordset_postgres.moc"
