// Incremental loading on SQLite and PostgreSQL: the first records at once, the rest in batches
// while the event loop runs, ending equal to a complete Open; filters, sorts and clones take the
// new records in; Cancel keeps what came; a failure after the first batch ends the load with it;
// dropping the record set mid-load stops it cleanly. PostgreSQL rows skip without a server.
#include <PostgresTestHelpers.h>
#include <TestHelpers.h>
#include <tessera/Recordset.h>

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using namespace tessera;

namespace {
constexpr int total = 30000;
}

class TestRecordsetIncremental : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void batchesEndAsACompleteOpen_data() { backends(); }
    void batchesEndAsACompleteOpen();
    void cancelKeepsWhatCame_data() { backends(); }
    void cancelKeepsWhatCame();
    void failureAfterTheFirstBatch();

private:
    QTemporaryDir dir;
    QString sqliteUrl, pgUrl;
    void backends();
    QString connection()
    {
        QFETCH(QString, backend);
        return backend == QLatin1String("pg") ? pgUrl : sqliteUrl;
    }
};

void TestRecordsetIncremental::backends()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("pg") << QStringLiteral("pg");
}

void TestRecordsetIncremental::initTestCase()
{
    QVERIFY(dir.isValid());
    const QString ddl = QStringLiteral("CREATE TABLE %1 (id integer PRIMARY KEY, qty bigint, "
                                       "name varchar(20), at timestamp)");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("s"));
        db.setDatabaseName(dir.filePath(QStringLiteral("inc.db")));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(ddl.arg(QLatin1String("items"))));
        QVERIFY(q.exec(QStringLiteral(
            "WITH RECURSIVE g(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM g WHERE i < %1) "
            "INSERT INTO items SELECT i, (i * 7919) %% 1000 * 10000000000, 'item ' || i, "
            "datetime(1700000000 + i, 'unixepoch') FROM g")
                           .arg(total)
                           .replace("%%", "%")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("s"));
    sqliteUrl = dir.filePath(QStringLiteral("inc.db"));
    pgUrl = qEnvironmentVariable("TESSERA_PG_URL");
    if (pgUrl.isEmpty())
        return;
    QSqlDatabase db = test::openPostgres(QStringLiteral("p"), pgUrl);
    QVERIFY(db.isOpen());
    QSqlQuery q(db);
    QVERIFY(q.exec(QStringLiteral("DROP SCHEMA IF EXISTS inc CASCADE")));
    QVERIFY(q.exec(QStringLiteral("CREATE SCHEMA inc")));
    QVERIFY(q.exec(ddl.arg(QLatin1String("inc.items"))));
    QVERIFY(q.exec(QStringLiteral(
        "INSERT INTO inc.items SELECT i, (i * 7919) % 1000 * 10000000000, 'item ' || i, "
        "to_timestamp(1700000000 + i) AT TIME ZONE 'UTC' FROM generate_series(1, %1) i")
                       .arg(total)));
}

void TestRecordsetIncremental::cleanupTestCase()
{
    QSqlDatabase::database(QStringLiteral("p"), false).close();
    QSqlDatabase::removeDatabase(QStringLiteral("p"));
}

void TestRecordsetIncremental::batchesEndAsACompleteOpen()
{
    QFETCH(QString, backend);
    if (backend == QLatin1String("pg")) {
        TESSERA_POSTGRES_URL(url);
    }
    const QString table = backend == QLatin1String("pg") ? "inc.items" : "items";
    auto complete = std::make_shared<Recordset>();
    complete->Open(table, connection());
    QCOMPARE(complete->RecordCount(), total);

    auto rs = std::make_shared<Recordset>();
    rs->OpenIncremental(table, connection(), 100);
    QCOMPARE(rs->RecordCount(), 100);
    QCOMPARE(int(rs->State()), adStateOpen | adStateFetching);
    QCOMPARE(rs->Fields().Item(1).Type(), adBigInt);
    // A clone with a filter and a sort, made before the rest arrives, takes it in.
    RecordsetPtr view = rs->Clone();
    view->setFilter(QStringLiteral("qty > 5000000000000"));
    view->setSort(QStringLiteral("qty DESC, name"));
    complete->setFilter(view->Filter());
    complete->setSort(view->Sort());
    QSignalSpy progress(rs->Events(), &RecordsetEvents::FetchProgress);
    QSignalSpy done(rs->Events(), &RecordsetEvents::FetchComplete);
    QVERIFY(done.wait(60000));
    QCOMPARE(done.size(), 1);
    QCOMPARE(done[0][0].toInt(), 0);
    QCOMPARE(rs->State(), adStateOpen);
    QVERIFY(progress.size() >= 2);
    for (int k = 1; k < progress.size(); ++k)
        QVERIFY(progress[k][0].toInt() >= progress[k - 1][0].toInt());
    QCOMPARE(progress.last()[0].toInt(), total);
    QCOMPARE(rs->RecordCount(), total);
    QCOMPARE(view->RecordCount(), complete->RecordCount());
    for (int r = 0; r < view->RecordCount(); ++r)
        for (int f = 0; f < 4; ++f)
            QCOMPARE(view->ViewValue(r, f), complete->ViewValue(r, f));
    QVERIFY(QSqlDatabase::connectionNames().size() <= 1); // the load's connection is gone
}

void TestRecordsetIncremental::cancelKeepsWhatCame()
{
    QFETCH(QString, backend);
    if (backend == QLatin1String("pg")) {
        TESSERA_POSTGRES_URL(url);
    }
    const QString table = backend == QLatin1String("pg") ? "inc.items" : "items";
    auto rs = std::make_shared<Recordset>();
    rs->OpenIncremental(table, connection(), 50);
    QSignalSpy progress(rs->Events(), &RecordsetEvents::FetchProgress);
    QSignalSpy done(rs->Events(), &RecordsetEvents::FetchComplete);
    QVERIFY(progress.wait(10000));
    rs->Cancel();
    QCOMPARE(done.size(), 1);
    QCOMPARE(done[0][0].toInt(), int(adErrOperationCancelled));
    const int kept = rs->RecordCount();
    QVERIFY(kept >= 50 && kept < total);
    QTest::qWait(50);
    QCOMPARE(rs->RecordCount(), kept);
    QCOMPARE(progress.size(), 1);
    QCOMPARE(rs->State(), adStateOpen);
    rs->MoveLast();
    QCOMPARE(rs->Fields().Item(0).Value().toInt(), kept);
    rs->Cancel(); // nothing runs any more
    QCOMPARE(done.size(), 1);

    // A record set dropped while loading stops its load and closes the connection.
    auto dropped = std::make_shared<Recordset>();
    dropped->OpenIncremental(table, connection(), 10);
    dropped.reset();
    QTest::qWait(20);
    QVERIFY(QSqlDatabase::connectionNames().size() <= 1);
}

void TestRecordsetIncremental::failureAfterTheFirstBatch()
{
    TESSERA_POSTGRES_URL(url);
    // The division by zero comes with record 5000, long after the first batch.
    auto rs = std::make_shared<Recordset>();
    rs->OpenIncremental(
        QStringLiteral("SELECT id, 10 / (5000 - id) AS bad FROM inc.items ORDER BY id"), url, 100);
    QSignalSpy done(rs->Events(), &RecordsetEvents::FetchComplete);
    QVERIFY(done.wait(30000));
    QCOMPARE(done[0][0].toInt(), int(adErrInvalidSource));
    QVERIFY2(done[0][1].toString().contains(QLatin1String("division by zero")),
        qPrintable(done[0][1].toString()));
    QVERIFY(rs->RecordCount() >= 100 && rs->RecordCount() < 5000);
    QCOMPARE(rs->State(), adStateOpen);
}

QTEST_GUILESS_MAIN(TestRecordsetIncremental)
#include "tst_recordset_incremental.moc"
