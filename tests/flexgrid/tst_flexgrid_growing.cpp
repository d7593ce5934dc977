// A FlexGrid bound to a record set that loads incrementally: its rows grow with each batch,
// cells written meanwhile stay, and batches that land below the visible rows repaint nothing.
#include <FlexGridTestHelpers.h>
#include <tessera/FlexGrid.h>
#include <tessera/Recordset.h>

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace tessera;
using tessera::test::PaintCounter;

class TestFlexGridGrowing : public QObject {
    Q_OBJECT

private slots:
    void rowsGrowWithBatches();
};

void TestFlexGridGrowing::rowsGrowWithBatches()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("rows.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("g"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE t (id INTEGER, name TEXT)")));
        QVERIFY(q.exec(QStringLiteral(
            "WITH RECURSIVE g(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM g WHERE i < 20000) "
            "INSERT INTO t SELECT i, 'row ' || i FROM g")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("g"));

    FlexGrid grid;
    grid.resize(400, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    PaintCounter counter;
    grid.viewport()->installEventFilter(&counter);

    auto rs = std::make_shared<Recordset>();
    rs->OpenIncremental(QStringLiteral("t"), file, 100);
    QSignalSpy progress(rs->Events(), &RecordsetEvents::FetchProgress);
    QSignalSpy done(rs->Events(), &RecordsetEvents::FetchComplete);
    grid.setDataSource(rs);
    QCOMPARE(grid.Rows(), 1 + 100);
    grid.setTextMatrix(1, 1, QStringLiteral("written"));
    QVERIFY(done.wait(30000));
    QCoreApplication::processEvents();
    QVERIFY(progress.size() >= 2);
    QCOMPARE(grid.Rows(), 1 + 20000);
    QCOMPARE(grid.TextMatrix(20000, 2), QStringLiteral("row 20000"));
    QCOMPARE(grid.TextMatrix(1, 1), QStringLiteral("written"));
    QCOMPARE(grid.TextMatrix(2, 1), QStringLiteral("2"));
    // One paint for the binding; the batches all landed below the full first screen.
    QCOMPARE(counter.paints, 1);
}

QTEST_MAIN(TestFlexGridGrowing)
#include "tst_flexgrid_growing.moc"
