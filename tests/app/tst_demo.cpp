// The demo form driven through its toolbar: bind a million records, filter, sort, save, and go
// back to the sample, checking what the grid shows after each step.
#include "demo_form.h"

#include <tessera/FlexGrid.h>
#include <tessera/Runtime.h>

#include <QAction>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace tessera;

class tst_Demo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void toolbarScenario();
};

namespace {

void trigger(DemoForm &form, const char *name)
{
    auto *action = form.findChild<QAction *>(QLatin1String(name));
    QVERIFY2(action, name);
    action->trigger();
}

// The grid's text for a price, as the bind writes it.
QString price(const RecordsetPtr &rs, int viewIndex)
{
    return Format(rs->ViewValue(viewIndex, 2), QStringLiteral("#,##0.00"));
}

} // namespace

void tst_Demo::toolbarScenario()
{
    constexpr int count = 1000000;
    DemoForm form(nullptr, count);
    form.resize(900, 520);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    FlexGrid *grid = form.grid();
    QCOMPARE(grid->Rows(), 2 + 24);

    trigger(form, "actionBind");
    RecordsetPtr rs = form.records();
    QVERIFY(rs);
    QCOMPARE(rs->RecordCount(), count);
    QCOMPARE(grid->Rows(), 1 + count);
    // Past the point where a 32-bit product overflows, quantities are still right.
    for (qint64 i : { 271182, 271183, 271184, 999999 })
        QCOMPARE(grid->TextMatrix(1 + int(i), 1).toInt(), int(i * 7919 % 1000));
    QCOMPARE(grid->TextMatrix(1, 2), price(rs, 0));
    QCOMPARE(grid->TextMatrix(1 + 1234, 2), QStringLiteral("382.54"));
    // The columns fill the grid: no grey band to their right.
    int used = 0;
    for (int c = 0; c < grid->Cols(); ++c)
        used += toPixels(grid->ColWidth(c));
    QVERIFY2(used >= grid->viewport()->width() - grid->Cols() - 2,
        qPrintable(QStringLiteral("%1 of %2 pixels").arg(used).arg(grid->viewport()->width())));

    auto *filter = form.findChild<QLineEdit *>(QStringLiteral("filterEdit"));
    QVERIFY(filter);
    filter->setText(QStringLiteral("Qty > 500"));
    Q_EMIT filter->returnPressed();
    const int shown = rs->RecordCount();
    QVERIFY(shown > 0 && shown < count);
    QCOMPARE(grid->Rows(), 1 + shown);
    for (int i : { 0, shown / 2, shown - 1 }) {
        QVERIFY(grid->TextMatrix(1 + i, 1).toInt() > 500);
        QCOMPARE(grid->TextMatrix(1 + i, 2), price(rs, i)); // formatted prices follow the rows
    }

    grid->setRow(1);
    grid->setCol(1);
    trigger(form, "actionSortDown");
    QCOMPARE(grid->TextMatrix(1, 1), QStringLiteral("999"));
    QCOMPARE(grid->TextMatrix(shown, 1), QStringLiteral("501"));
    QCOMPARE(grid->TextMatrix(shown, 2), price(rs, shown - 1));

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("view.xml"));
    form.setSaveFileChooser([file] { return file; });
    trigger(form, "actionSaveXml");
    Recordset saved;
    saved.Open(file);
    QCOMPARE(saved.RecordCount(), shown);
    QCOMPARE(saved.ViewValue(0, 1).toInt(), 999);

    trigger(form, "actionSample");
    QVERIFY(!grid->DataSource());
    QCOMPARE(grid->Rows(), 2 + 24);
    QCOMPARE(grid->TextMatrix(2, 2), QStringLiteral("A1001"));
}

QTEST_MAIN(tst_Demo)
#include "tst_demo.moc"
