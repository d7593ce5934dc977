// Record sets loaded from SQL: an SQLite file made here, opened by URL and by path, then
// filtered, sorted and saved; failures and connection clean-up.
#include <TestHelpers.h>
#include <tessera/Recordset.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace tessera;

class TestRecordsetSql : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void openByUrlAndPath_data();
    void openByUrlAndPath();
    void filterSortAndSave();
    void failuresLeaveNoConnection_data();
    void failuresLeaveNoConnection();

private:
    QTemporaryDir dir;
    QString dbPath;
};

void TestRecordsetSql::initTestCase()
{
    QVERIFY(dir.isValid());
    dbPath = dir.filePath(QStringLiteral("stock.db"));
    {
        QSqlDatabase db
            = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
        db.setDatabaseName(dbPath);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral(
            "CREATE TABLE items (id INTEGER NOT NULL PRIMARY KEY, name VARCHAR(30), qty INT, "
            "price DOUBLE, photo BLOB, active BOOLEAN, big INTEGER)")));
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO items VALUES (?, ?, ?, ?, ?, ?, ?)")));
        const QVariant null;
        const QList<QVariantList> rows = {
            { 1, "bolt", 10, 0.25, QByteArray("\x01\x02"), true, 1 },
            { 2, "Nut", 5, 0.1, null, false, qint64(1) << 40 },
            { 3, "washer", null, 0.05, null, true, 3 },
            { 4, "anchor", 5, 12.5, QByteArray("\xff"), null, 4 },
            { 5, null, 0, null, null, false, null },
        };
        for (const QVariantList &r : rows) {
            for (int i = 0; i < r.size(); ++i)
                q.bindValue(i, r[i]);
            QVERIFY(q.exec());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup"));
}

void TestRecordsetSql::openByUrlAndPath_data()
{
    QTest::addColumn<QString>("connection");
    QTest::newRow("url") << QStringLiteral("sqlite://") + dbPath;
    QTest::newRow("plain path") << dbPath;
}

void TestRecordsetSql::openByUrlAndPath()
{
    QFETCH(QString, connection);
    Recordset rs;
    rs.Open(QStringLiteral("SELECT id, name, qty, price, photo, active, big, qty * 2 AS twice "
                           "FROM items ORDER BY id"),
        connection);
    QCOMPARE(rs.RecordCount(), 5);
    QCOMPARE(rs.FieldCount(), 8);
    const QStringList names { "id", "name", "qty", "price", "photo", "active", "big", "twice" };
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(rs.FieldName(i), names[i]);
    QCOMPARE(rs.FieldType(2), adInteger);
    QCOMPARE(rs.FieldType(3), adDouble);
    QCOMPARE(rs.FieldType(4), adLongVarBinary);
    QCOMPARE(rs.FieldType(5), adBoolean);
    // An INTEGER column holding a value beyond 32 bits is widened rather than refused.
    QCOMPARE(rs.FieldType(6), adBigInt);
    QCOMPARE(rs.ViewValue(1, 6).toLongLong(), qint64(1) << 40);
    QVERIFY(rs.FieldType(1) == adVarWChar);
    QVERIFY(!(rs.Fields().Item(0).Attributes() & adFldMayBeNull));
    QVERIFY(rs.Fields().Item(0).Attributes() & adFldKeyColumn);
    QVERIFY(!(rs.Fields().Item(1).Attributes() & adFldKeyColumn));
    QVERIFY(rs.Fields().Item(1).Attributes() & adFldIsNullable);
    QCOMPARE(rs.ViewValue(0, 1).toString(), QStringLiteral("bolt"));
    QCOMPARE(rs.ViewValue(0, 4).toByteArray(), QByteArray("\x01\x02"));
    QCOMPARE(rs.ViewValue(3, 3).toDouble(), 12.5);
    QCOMPARE(rs.ViewValue(0, 5), QVariant(true));
    QVERIFY(rs.ViewValue(2, 2).isNull());
    QVERIFY(rs.ViewValue(4, 1).isNull());
    QVERIFY(rs.ViewValue(3, 5).isNull());
    QCOMPARE(rs.ViewValue(3, 7).toInt(), 10);
    // Disconnected: the records are ours to change.
    rs.MoveFirst();
    rs.setCollect(QStringLiteral("name"), QStringLiteral("screw"));
    rs.Update();
    QCOMPARE(rs.Collect(QStringLiteral("NAME")).toString(), QStringLiteral("screw"));
    QVERIFY(QSqlDatabase::connectionNames().isEmpty());
}

void TestRecordsetSql::filterSortAndSave()
{
    auto rs = std::make_shared<Recordset>();
    rs->Open(QStringLiteral("SELECT id, name, qty, price FROM items"),
        QStringLiteral("sqlite://") + dbPath);
    rs->setFilter(QStringLiteral("qty >= 5 OR name LIKE 'w*'"));
    rs->setSort(QStringLiteral("qty DESC, name"));
    QList<int> ids;
    for (int r = 0; r < rs->RecordCount(); ++r)
        ids << rs->ViewValue(r, 0).toInt();
    QCOMPARE(ids, (QList<int> { 1, 4, 2, 3 }));
    const QString path = dir.filePath(QStringLiteral("items.xml"));
    rs->Save(path);
    Recordset back;
    back.Open(path);
    QCOMPARE(back.RecordCount(), 4);
    for (int r = 0; r < 4; ++r)
        for (int f = 0; f < 4; ++f)
            QCOMPARE(back.ViewValue(r, f), rs->ViewValue(r, f));
    QCOMPARE(back.FieldType(1), rs->FieldType(1));
    QCOMPARE(back.Fields().Item(1).DefinedSize(), rs->Fields().Item(1).DefinedSize());
}

void TestRecordsetSql::failuresLeaveNoConnection_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("connection");
    QTest::addColumn<int>("error");
    QTest::newRow("bad query") << "SELEC id FROM items" << dbPath << int(adErrInvalidSource);
    QTest::newRow("missing table") << "SELECT * FROM nothing" << dbPath << int(adErrInvalidSource);
    QTest::newRow("no records") << "UPDATE items SET qty = 0" << dbPath << int(adErrInvalidSource);
    QTest::newRow("empty query") << "" << dbPath << int(adErrInvalidArgument);
    QTest::newRow("missing file") << "SELECT 1" << dir.filePath(QStringLiteral("none.db"))
                                  << int(adErrOpeningFile);
    QTest::newRow("missing file url")
        << "SELECT 1" << QStringLiteral("sqlite:///no/such.db") << int(adErrOpeningFile);
}

void TestRecordsetSql::failuresLeaveNoConnection()
{
    QFETCH(QString, query);
    QFETCH(QString, connection);
    QFETCH(int, error);
    Recordset rs;
    QVERIFY_TESSERA_ERROR(rs.Open(query, connection), error);
    QCOMPARE(rs.State(), adStateClosed);
    QVERIFY(QSqlDatabase::connectionNames().isEmpty());
    // The read-only connection changed nothing.
    Recordset check;
    check.Open(QStringLiteral("SELECT qty FROM items WHERE id = 1"), dbPath);
    QCOMPARE(check.ViewValue(0, 0).toInt(), 10);
}

QTEST_GUILESS_MAIN(TestRecordsetSql)
#include "tst_recordset_sql.moc"
