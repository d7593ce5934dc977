// Scenario tests of a shown FlexGrid driven by real keys and mouse clicks: cursor and selection,
// the order of the cell events, scrolling, header selection, column resizing, key events that a
// host cancels, focus and right-to-left.
#include <FlexGridTestHelpers.h>

#include <tessera/FlexGrid.h>

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace tessera;
using namespace tessera::test;

namespace {

// Presses a list of keys written like "Down,S+Right,C+End" (S shift, C ctrl).
void pressKeys(QWidget *w, const QString &keys)
{
    for (const QString &k : keys.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        Qt::KeyboardModifiers mods;
        QString name = k;
        while (name.size() > 2 && name.at(1) == QLatin1Char('+')) {
            mods |= name.at(0) == QLatin1Char('S') ? Qt::ShiftModifier : Qt::ControlModifier;
            name = name.mid(2);
        }
        static const QHash<QString, Qt::Key> table = {
            { "Down", Qt::Key_Down },
            { "Up", Qt::Key_Up },
            { "Left", Qt::Key_Left },
            { "Right", Qt::Key_Right },
            { "Home", Qt::Key_Home },
            { "End", Qt::Key_End },
            { "PgDn", Qt::Key_PageDown },
            { "PgUp", Qt::Key_PageUp },
            { "Tab", Qt::Key_Tab },
        };
        QVERIFY2(table.contains(name), qPrintable(name));
        QTest::keyClick(w, table.value(name), mods);
    }
}

} // namespace

class tst_FlexGridInteraction : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keyboardMovesCursor_data();
    void keyboardMovesCursor();
    void keyboardStepsOverHiddenRowsAndCols_data();
    void keyboardStepsOverHiddenRowsAndCols();
    void eventOrder_data();
    void eventOrder();
    void scrollingFollowsCursor();
    void pageKeysMoveByAPage();
    void scrollBarAndTopRowAgree();
    void scrollPositionSetBeforeShow();
    void mouseClickAndDragSelect();
    void headerClicksSelectWholeRowsAndCols_data();
    void headerClicksSelectWholeRowsAndCols();
    void mouseEventParameters();
    void doubleClick();
    void resizeColumnByDraggingBorder_data();
    void resizeColumnByDraggingBorder();
    void keyDownZeroStopsNavigation();
    void keyPressZeroKeepsTab();
    void focusEvents();
    void selectionModeByRowWidensClip();
    void rightToLeftMirrorsClicksAndArrows();
    void dropReportsDataAndEffect_data();
    void dropReportsDataAndEffect();
};

void tst_FlexGridInteraction::keyboardMovesCursor_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("rowSel");
    QTest::addColumn<int>("colSel");

    // A 30 x 6 grid with one fixed row and column; the cursor starts on (1, 1).
    QTest::newRow("down") << "Down" << 2 << 1 << 2 << 1;
    QTest::newRow("right twice") << "Right,Right" << 1 << 3 << 1 << 3;
    QTest::newRow("up stops below fixed rows") << "Up,Up" << 1 << 1 << 1 << 1;
    QTest::newRow("left stops right of fixed cols") << "Left" << 1 << 1 << 1 << 1;
    QTest::newRow("right stops at last col")
        << "Right,Right,Right,Right,Right,Right" << 1 << 5 << 1 << 5;
    QTest::newRow("end") << "End" << 1 << 5 << 1 << 5;
    QTest::newRow("home after moves") << "Down,Right,Right,Home" << 2 << 1 << 2 << 1;
    QTest::newRow("ctrl end") << "C+End" << 29 << 5 << 29 << 5;
    QTest::newRow("ctrl end, ctrl home") << "C+End,C+Home" << 1 << 1 << 1 << 1;
    QTest::newRow("shift extends") << "S+Down,S+Right,S+Down" << 1 << 1 << 3 << 2;
    QTest::newRow("shift back over the anchor") << "Down,Down,S+Up,S+Up,S+Up" << 3 << 1 << 1 << 1;
    QTest::newRow("plain move collapses selection") << "S+Down,S+Down,Right" << 1 << 2 << 1 << 2;
    QTest::newRow("shift end") << "S+End" << 1 << 1 << 1 << 5;
}

void tst_FlexGridInteraction::keyboardMovesCursor()
{
    QFETCH(QString, keys);
    auto grid = shownGrid(30, 6);
    grid->setFocus();
    pressKeys(grid.get(), keys);
    QTEST(int(grid->Row()), "row");
    QTEST(int(grid->Col()), "col");
    QTEST(int(grid->RowSel()), "rowSel");
    QTEST(int(grid->ColSel()), "colSel");
    // Whatever the keys did, the moving end of the selection is on screen.
    QVERIFY(grid->RowIsVisible(grid->RowSel()));
    QVERIFY(grid->ColIsVisible(grid->ColSel()));
}

void tst_FlexGridInteraction::keyboardStepsOverHiddenRowsAndCols_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");

    // 10 x 6 grid; column 2, column 5 and row 3 have zero size.
    QTest::newRow("right over a hidden column") << "Right" << 1 << 3;
    QTest::newRow("left back over it") << "Right,Left" << 1 << 1;
    QTest::newRow("down over a hidden row") << "Down,Down" << 4 << 1;
    QTest::newRow("end stops at the last shown column") << "End" << 1 << 4;
    QTest::newRow("right at the last shown column stays") << "End,Right" << 1 << 4;
    QTest::newRow("shift extends over hidden cells") << "S+Right,S+Down,S+Down" << 1 << 1;
}

void tst_FlexGridInteraction::keyboardStepsOverHiddenRowsAndCols()
{
    QFETCH(QString, keys);
    auto grid = shownGrid(10, 6);
    grid->setColWidth(2, 0);
    grid->setColWidth(5, 0);
    grid->setRowHeight(3, 0);
    grid->setFocus();
    pressKeys(grid.get(), keys);
    QTEST(int(grid->Row()), "row");
    QTEST(int(grid->Col()), "col");
    if (keys.startsWith(QLatin1String("S+"))) {
        QCOMPARE(grid->RowSel(), 4);
        QCOMPARE(grid->ColSel(), 3);
    }
}

void tst_FlexGridInteraction::eventOrder_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("expected");

    const QStringList move
        = { "LeaveCell@1,1", "EnterCell@2,3", "RowColChange@2,3", "SelChange@2,3" };
    QTest::newRow("click another cell") << "click 2 3" << (move + QStringList { "Click@2,3" });
    QTest::newRow("click the current cell") << "click 1 1" << QStringList { "Click@1,1" };
    QTest::newRow("code sets Row")
        << "row 2"
        << QStringList { "LeaveCell@1,1", "EnterCell@2,1", "RowColChange@2,1", "SelChange@2,1" };
    QTest::newRow("code sets Col")
        << "col 3"
        << QStringList { "LeaveCell@1,1", "EnterCell@1,3", "RowColChange@1,3", "SelChange@1,3" };
    QTest::newRow("code sets the same Row") << "row 1" << QStringList {};
    QTest::newRow("code sets RowSel") << "rowsel 3" << QStringList { "SelChange@1,1" };
    QTest::newRow("code sets ColSel") << "colsel 2" << QStringList { "SelChange@1,1" };
    QTest::newRow("arrow key") << "key Down"
                               << QStringList { "LeaveCell@1,1", "EnterCell@2,1",
                                      "RowColChange@2,1", "SelChange@2,1" };
    QTest::newRow("shift arrow") << "key S+Down" << QStringList { "SelChange@1,1" };
    QTest::newRow("arrow against the edge") << "key Up" << QStringList {};
    QTest::newRow("shift click") << "shiftclick 2 3"
                                 << QStringList { "SelChange@1,1", "Click@1,1" };
}

void tst_FlexGridInteraction::eventOrder()
{
    QFETCH(QString, action);
    QFETCH(QStringList, expected);
    auto grid = shownGrid(10, 5);
    grid->setFocus();
    EventRecorder rec(grid.get());
    const QStringList parts = action.split(QLatin1Char(' '));
    const QString verb = parts.at(0);
    if (verb == QLatin1String("click") || verb == QLatin1String("shiftclick")) {
        const QPoint p = cellMiddle(*grid, parts.at(1).toInt(), parts.at(2).toInt());
        QTest::mouseClick(grid->viewport(), Qt::LeftButton,
            verb == QLatin1String("shiftclick") ? Qt::ShiftModifier : Qt::KeyboardModifiers(), p);
    } else if (verb == QLatin1String("row")) {
        grid->setRow(parts.at(1).toInt());
    } else if (verb == QLatin1String("col")) {
        grid->setCol(parts.at(1).toInt());
    } else if (verb == QLatin1String("rowsel")) {
        grid->setRowSel(parts.at(1).toInt());
    } else if (verb == QLatin1String("colsel")) {
        grid->setColSel(parts.at(1).toInt());
    } else if (verb == QLatin1String("key")) {
        pressKeys(grid.get(), parts.at(1));
    }
    QStringList events = rec.events;
    events.removeIf([](const QString &e) { return e.startsWith(QLatin1String("Scroll")); });
    QCOMPARE(events, expected);
}

void tst_FlexGridInteraction::scrollingFollowsCursor()
{
    auto grid = shownGrid(100, 4, QSize(300, 200));
    grid->setFocus();
    QSignalSpy scroll(grid.get(), &FlexGrid::Scroll);
    QCOMPARE(grid->TopRow(), 1);
    // Walk down past the bottom edge: the grid scrolls by whole rows and keeps the cursor shown.
    int lastTop = 1;
    for (int i = 0; i < 30; ++i) {
        QTest::keyClick(grid.get(), Qt::Key_Down);
        QVERIFY(grid->RowIsVisible(grid->Row()));
        QVERIFY(grid->TopRow() >= lastTop);
        lastTop = grid->TopRow();
    }
    QCOMPARE(grid->Row(), 31);
    QVERIFY(grid->TopRow() > 1);
    QVERIFY(!grid->RowIsVisible(1));
    QVERIFY(grid->RowIsVisible(0)); // the fixed row stays
    QVERIFY(scroll.count() > 0);

    QTest::keyClick(grid.get(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(grid->Row(), 99);
    QVERIFY(grid->RowIsVisible(99));
    const int bottomTop = grid->TopRow();
    // The last row ends inside the viewport: scrolling further is refused.
    grid->setTopRow(99);
    QCOMPARE(grid->TopRow(), bottomTop);

    scroll.clear();
    QTest::keyClick(grid.get(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(grid->TopRow(), 1);
    QCOMPARE(scroll.count(), 1);
}

void tst_FlexGridInteraction::pageKeysMoveByAPage()
{
    auto grid = shownGrid(200, 3, QSize(300, 220));
    grid->setFocus();
    QTest::keyClick(grid.get(), Qt::Key_PageDown);
    const int page = grid->Row() - 1;
    QVERIFY2(page > 3, "a page is several rows");
    QVERIFY(grid->RowIsVisible(grid->Row()));
    QTest::keyClick(grid.get(), Qt::Key_PageDown);
    QCOMPARE(grid->Row(), 1 + 2 * page);
    QTest::keyClick(grid.get(), Qt::Key_PageUp);
    QCOMPARE(grid->Row(), 1 + page);
    QVERIFY(grid->RowIsVisible(grid->Row()));
}

void tst_FlexGridInteraction::scrollBarAndTopRowAgree()
{
    auto grid = shownGrid(500, 30, QSize(300, 200));
    QSignalSpy scroll(grid.get(), &FlexGrid::Scroll);
    grid->setTopRow(120);
    QCOMPARE(grid->TopRow(), 120);
    QCOMPARE(grid->verticalScrollBar()->value(), 120 - grid->FixedRows());
    QCOMPARE(scroll.count(), 1);
    grid->verticalScrollBar()->setValue(10);
    QCOMPARE(grid->TopRow(), 10 + grid->FixedRows());
    QCOMPARE(scroll.count(), 2);
    grid->setLeftCol(7);
    QCOMPARE(grid->LeftCol(), 7);
    QCOMPARE(grid->horizontalScrollBar()->value(), 7 - grid->FixedCols());
    QCOMPARE(scroll.count(), 3);
    // Setting the same value again is no scroll.
    grid->setLeftCol(7);
    QCOMPARE(scroll.count(), 3);
    // The wheel scrolls three rows a notch.
    const int top = grid->TopRow();
    QWheelEvent wheel(QPointF(50, 50), grid->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
        QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid->viewport(), &wheel);
    QCOMPARE(grid->TopRow(), top + 3);
    // Scrolled cells move; fixed column 0 stays at the left edge.
    QCOMPARE(grid->ColPos(0), grid->viewport()->x() * TwipsPerPixel);
    QCOMPARE(grid->ColPos(7), grid->ColPos(0) + 64 * TwipsPerPixel);
}

void tst_FlexGridInteraction::scrollPositionSetBeforeShow()
{
    FlexGrid grid;
    grid.resize(300, 200);
    grid.setRows(100);
    grid.setCols(20);
    grid.setTopRow(50);
    grid.setLeftCol(6);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QCOMPARE(grid.TopRow(), 50);
    QCOMPARE(grid.LeftCol(), 6);
    // Once laid out, positions past the end are clamped so the last row ends the view.
    grid.setTopRow(99);
    QVERIFY(grid.TopRow() < 99);
    QVERIFY(grid.RowIsVisible(99));
}

void tst_FlexGridInteraction::mouseClickAndDragSelect()
{
    auto grid = shownGrid(12, 6);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellMiddle(*grid, 3, 2));
    QCOMPARE(grid->Row(), 3);
    QCOMPARE(grid->Col(), 2);
    QCOMPARE(grid->MouseRow(), 3);
    QCOMPARE(grid->MouseCol(), 2);

    // Press on (2, 1), drag to (4, 3), release there.
    EventRecorder rec(grid.get());
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, cellMiddle(*grid, 2, 1));
    QMouseEvent move(QEvent::MouseMove, cellMiddle(*grid, 4, 3),
        grid->viewport()->mapToGlobal(cellMiddle(*grid, 4, 3)), Qt::NoButton, Qt::LeftButton,
        Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &move);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, cellMiddle(*grid, 4, 3));
    QCOMPARE(grid->Row(), 2);
    QCOMPARE(grid->Col(), 1);
    QCOMPARE(grid->RowSel(), 4);
    QCOMPARE(grid->ColSel(), 3);
    QCOMPARE(grid->Clip(), QStringLiteral("2,1\t2,2\t2,3\r3,1\t3,2\t3,3\r4,1\t4,2\t4,3"));
    QCOMPARE(rec.names(),
        (QStringList {
            "LeaveCell", "EnterCell", "RowColChange", "SelChange", "SelChange", "Click" }));

    // Shift+click extends from the current cell.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellMiddle(*grid, 5, 4));
    QCOMPARE(grid->Row(), 2);
    QCOMPARE(grid->RowSel(), 5);
    QCOMPARE(grid->ColSel(), 4);

    // A right click reports the mouse but leaves the cursor.
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, cellMiddle(*grid, 8, 5));
    QCOMPARE(grid->Row(), 2);
    QCOMPARE(grid->MouseRow(), 8);
    QCOMPARE(grid->MouseCol(), 5);
}

void tst_FlexGridInteraction::headerClicksSelectWholeRowsAndCols_data()
{
    QTest::addColumn<bool>("allowBig");
    QTest::addColumn<int>("clickRow");
    QTest::addColumn<int>("clickCol");
    QTest::addColumn<QList<int>>("expected"); // row, col, rowSel, colSel

    QTest::newRow("column header") << true << 0 << 3 << QList<int> { 1, 3, 7, 3 };
    QTest::newRow("row header") << true << 4 << 0 << QList<int> { 4, 1, 4, 4 };
    QTest::newRow("corner selects all") << true << 0 << 0 << QList<int> { 1, 1, 7, 4 };
    QTest::newRow("column header, big selection off")
        << false << 0 << 3 << QList<int> { 2, 2, 2, 2 };
    QTest::newRow("row header, big selection off") << false << 4 << 0 << QList<int> { 2, 2, 2, 2 };
}

void tst_FlexGridInteraction::headerClicksSelectWholeRowsAndCols()
{
    QFETCH(bool, allowBig);
    QFETCH(int, clickRow);
    QFETCH(int, clickCol);
    QFETCH(QList<int>, expected);
    auto grid = shownGrid(8, 5);
    grid->setRow(2);
    grid->setCol(2);
    grid->setAllowBigSelection(allowBig);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellMiddle(*grid, clickRow, clickCol));
    QCOMPARE((QList<int> { grid->Row(), grid->Col(), grid->RowSel(), grid->ColSel() }), expected);
}

void tst_FlexGridInteraction::mouseEventParameters()
{
    auto grid = shownGrid(6, 4);
    QList<QList<float>> downs, ups;
    connect(grid.get(), &FlexGrid::MouseDown, grid.get(),
        [&](qint16 &b, qint16 &s, float &x, float &y) {
            downs << QList<float> { float(b), float(s), x, y };
        });
    connect(
        grid.get(), &FlexGrid::MouseUp, grid.get(), [&](qint16 &b, qint16 &s, float &x, float &y) {
            ups << QList<float> { float(b), float(s), x, y };
        });
    const QPoint p(30, 25);
    QTest::mouseClick(grid->viewport(), Qt::RightButton, Qt::ControlModifier, p);
    QTest::mouseClick(grid->viewport(), Qt::MiddleButton, Qt::ShiftModifier, p);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, p);
    const QPoint inGrid = p + grid->viewport()->pos();
    const float x = inGrid.x() * float(TwipsPerPixel), y = inGrid.y() * float(TwipsPerPixel);
    QCOMPARE(downs.size(), 3);
    QCOMPARE(downs.at(0), (QList<float> { 2, 2, x, y }));
    QCOMPARE(downs.at(1), (QList<float> { 4, 1, x, y }));
    QCOMPARE(downs.at(2), (QList<float> { 1, 0, x, y }));
    QCOMPARE(ups, downs);
}

void tst_FlexGridInteraction::doubleClick()
{
    auto grid = shownGrid(6, 4);
    EventRecorder rec(grid.get());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cellMiddle(*grid, 3, 2));
    QCOMPARE(rec.names().count(QStringLiteral("DblClick")), 1);
    QCOMPARE(grid->Row(), 3);
    QCOMPARE(grid->Col(), 2);
}

void tst_FlexGridInteraction::resizeColumnByDraggingBorder_data()
{
    QTest::addColumn<int>("allowUserResizing");
    QTest::addColumn<bool>("dragRowBorder"); // else a column border
    QTest::addColumn<bool>("resizes");
    QTest::newRow("none, column") << 0 << false << false;
    QTest::newRow("columns, column") << 1 << false << true;
    QTest::newRow("rows, column") << 2 << false << false;
    QTest::newRow("both, column") << 3 << false << true;
    QTest::newRow("none, row") << 0 << true << false;
    QTest::newRow("columns, row") << 1 << true << false;
    QTest::newRow("rows, row") << 2 << true << true;
    QTest::newRow("both, row") << 3 << true << true;
}

void tst_FlexGridInteraction::resizeColumnByDraggingBorder()
{
    QFETCH(int, allowUserResizing);
    QFETCH(bool, dragRowBorder);
    QFETCH(bool, resizes);
    auto grid = shownGrid(6, 4);
    grid->setAllowUserResizing(qint16(allowUserResizing));
    const int colBefore = colPixels(*grid, 1), rowBefore = grid->RowHeight(2) / TwipsPerPixel;
    // The right border of column 1 in the fixed row, or the bottom border of row 2 in the
    // fixed column; dragged 40 pixels right or 20 down.
    const QPoint border = dragRowBorder ? cellTopLeft(*grid, 2, 0) + QPoint(5, rowBefore - 1)
                                        : cellTopLeft(*grid, 0, 1) + QPoint(colBefore - 1, 5);
    const QPoint target = border + (dragRowBorder ? QPoint(0, 20) : QPoint(40, 0));
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, border);
    QMouseEvent move(QEvent::MouseMove, target, grid->viewport()->mapToGlobal(target), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &move);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, target);
    if (resizes) {
        if (dragRowBorder)
            QVERIFY(qAbs(grid->RowHeight(2) / TwipsPerPixel - (rowBefore + 20)) <= 1);
        else
            QVERIFY(qAbs(grid->ColWidth(1) / TwipsPerPixel - (colBefore + 40)) <= 1);
        // Resizing is not a click on the header: the selection stays.
        QCOMPARE(grid->Row(), 1);
        QCOMPARE(grid->Col(), 1);
        QCOMPARE(grid->RowSel(), 1);
        QCOMPARE(grid->ColSel(), 1);
    } else {
        QCOMPARE(grid->ColWidth(1), -1);
        QCOMPARE(grid->RowHeight(2) / TwipsPerPixel, rowBefore);
    }
}

void tst_FlexGridInteraction::keyDownZeroStopsNavigation()
{
    auto grid = shownGrid(10, 5);
    grid->setFocus();
    QList<int> codes, shifts, ups;
    bool swallow = true;
    connect(grid.get(), &FlexGrid::KeyDown, grid.get(), [&](qint16 &code, qint16 &shift) {
        codes << code;
        shifts << shift;
        if (swallow && code == 40)
            code = 0;
    });
    connect(grid.get(), &FlexGrid::KeyUp, grid.get(), [&](qint16 &code, qint16 &) { ups << code; });
    QTest::keyClick(grid.get(), Qt::Key_Down);
    QCOMPARE(grid->Row(), 1);
    QTest::keyClick(grid.get(), Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
    QCOMPARE(grid->ColSel(), 2);
    swallow = false;
    QTest::keyClick(grid.get(), Qt::Key_Down);
    QCOMPARE(grid->Row(), 2);
    QTest::keyClick(grid.get(), Qt::Key_F2);
    // The modifier keys themselves come as 16 (Shift) and 17 (Ctrl).
    QCOMPARE(codes, (QList<int> { 40, 16, 17, 39, 40, 113 }));
    QCOMPARE(shifts, (QList<int> { 0, 1, 3, 3, 0, 0 }));
    QCOMPARE(ups.size(), codes.size());
    QCOMPARE(ups.last(), 113);
}

void tst_FlexGridInteraction::keyPressZeroKeepsTab()
{
    QWidget form;
    auto *layout = new QVBoxLayout(&form);
    auto *grid = new FlexGrid;
    auto *edit = new QLineEdit;
    layout->addWidget(grid);
    layout->addWidget(edit);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    grid->setFocus();
    QTRY_VERIFY(grid->hasFocus());

    QList<int> presses;
    bool swallow = true;
    connect(grid, &FlexGrid::KeyPress, grid, [&](qint16 &ascii) {
        presses << ascii;
        if (swallow && ascii == 9)
            ascii = 0;
    });
    QTest::keyClick(grid, Qt::Key_Tab);
    QVERIFY2(grid->hasFocus(), "a Tab the host took does not move the focus");
    QTest::keyClick(grid, Qt::Key_A);
    QCOMPARE(presses, (QList<int> { 9, 'a' }));
    swallow = false;
    QTest::keyClick(grid, Qt::Key_Tab);
    QTRY_VERIFY(edit->hasFocus());
}

void tst_FlexGridInteraction::focusEvents()
{
    QWidget form;
    auto *layout = new QVBoxLayout(&form);
    auto *grid = new FlexGrid;
    auto *edit = new QLineEdit;
    layout->addWidget(grid);
    layout->addWidget(edit);
    QSignalSpy got(grid, &FlexGrid::GotFocus);
    QSignalSpy lost(grid, &FlexGrid::LostFocus);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    const int gotBefore = int(got.count()), lostBefore = int(lost.count());
    grid->SetFocus();
    QTRY_COMPARE(int(got.count()), gotBefore + 1);
    QCOMPARE(int(lost.count()), lostBefore);
    edit->setFocus();
    QTRY_COMPARE(int(lost.count()), lostBefore + 1);
}

void tst_FlexGridInteraction::selectionModeByRowWidensClip()
{
    auto grid = shownGrid(6, 4);
    grid->setSelectionMode(1);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellMiddle(*grid, 2, 2));
    QCOMPARE(grid->Clip(), QStringLiteral("2,1\t2,2\t2,3"));
    grid->setSelectionMode(2);
    QCOMPARE(grid->Clip(), QStringLiteral("1,2\r2,2\r3,2\r4,2\r5,2"));
}

void tst_FlexGridInteraction::rightToLeftMirrorsClicksAndArrows()
{
    auto grid = shownGrid(6, 4);
    grid->setRightToLeft(true);
    grid->setFocus();
    // Column 0 is now at the right edge.
    QVERIFY(grid->ColPos(0) > grid->ColPos(1));
    QVERIFY(grid->ColPos(1) > grid->ColPos(2));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellMiddle(*grid, 2, 3));
    QCOMPARE(grid->Row(), 2);
    QCOMPARE(grid->Col(), 3);
    // The left arrow goes away from the fixed column, as it looks on screen.
    QTest::keyClick(grid.get(), Qt::Key_Right);
    QCOMPARE(grid->Col(), 2);
    QTest::keyClick(grid.get(), Qt::Key_Left);
    QCOMPARE(grid->Col(), 3);
}

void tst_FlexGridInteraction::dropReportsDataAndEffect_data()
{
    QTest::addColumn<int>("dropMode");
    QTest::addColumn<int>("hostEffect"); // what the host leaves in Effect during OLEDragOver
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("manual, host accepts")
        << 1 << 1 << QStringList { "over 0", "over 2", "drop payload" } << true;
    QTest::newRow("manual, host refuses") << 1 << 0 << QStringList { "over 0", "over 2" } << false;
    QTest::newRow("drops off") << 0 << 1 << QStringList {} << false;
}

void tst_FlexGridInteraction::dropReportsDataAndEffect()
{
    QFETCH(int, dropMode);
    QFETCH(int, hostEffect);
    auto grid = shownGrid(5, 4);
    grid->setOLEDropMode(qint16(dropMode));
    QStringList seen;
    connect(grid.get(), &FlexGrid::OLEDragOver, grid.get(),
        [&](QMimeData *&, qint32 &effect, qint16 &, qint16 &, float &, float &, qint16 &state) {
            seen << QStringLiteral("over %1").arg(state);
            effect = hostEffect;
        });
    connect(grid.get(), &FlexGrid::OLEDragDrop, grid.get(),
        [&](QMimeData *&data, qint32 &effect, qint16 &, qint16 &, float &x, float &) {
            seen << QStringLiteral("drop %1").arg(data->text());
            QVERIFY(x > 0);
            QCOMPARE(effect, 1);
        });
    QMimeData mime;
    mime.setText(QStringLiteral("payload"));
    const QPoint at = cellMiddle(*grid, 2, 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &enter);
    if (enter.isAccepted()) {
        QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &move);
        if (move.isAccepted()) {
            QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(grid->viewport(), &drop);
            QVERIFY(drop.isAccepted());
        }
        QTEST(move.isAccepted(), "accepted");
    }
    QTEST(seen, "expected");
}

QTEST_MAIN(tst_FlexGridInteraction)
#include "tst_flexgrid_interaction.moc"
