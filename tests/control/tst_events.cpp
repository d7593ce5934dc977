// The control's events as a host sees them, driving a shown control with real clicks and key
// presses: the order of tracking events when a typed cell is left, the deferred EnterCell,
// NoRaise, selection by rows, row 0 as a header, required columns, SuspendLayout, keys and sort
// orders decided by a host slot through by-reference parameters, the Row/Col setters.
#include "tessera_p.h"
#include <FlexGridTestHelpers.h>

#include <TestHelpers.h>
#include <tessera/PropertyBag.h>
#include <tessera/Recordset.h>
#include <tessera/Runtime.h>
#include <tessera/Tessera.h>

#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace tessera;
using namespace tessera::test;

namespace {

// Records the control's events by name; CellValueChanged with its four values.
class HostLog : public QObject {
public:
    explicit HostLog(Tessera *t)
    {
        auto add = [this](const char *name) { return [this, name] { events << name; }; };
        connect(t, &Tessera::Click, this, add("Click"));
        connect(t, &Tessera::DblClick, this, add("DblClick"));
        connect(t, &Tessera::EnterCell, this, add("EnterCell"));
        connect(t, &Tessera::LeaveCell, this, add("LeaveCell"));
        connect(t, &Tessera::ValidateCell, this, add("ValidateCell"));
        connect(t, &Tessera::RowColChange, this, add("RowColChange"));
        connect(t, &Tessera::SelChange, this, add("SelChange"));
        connect(t, &Tessera::Scroll, this, add("Scroll"));
        connect(t, &Tessera::KeyPress, this, [this](qint16 &) { events << "KeyPress"; });
        connect(t, &Tessera::CellValueChanged, this,
            [this](QVariant &r, QVariant &c, QVariant &prev, QVariant &act) {
                events << QStringLiteral("CellValueChanged(%1,%2,%3,%4)")
                              .arg(r.toInt())
                              .arg(c.toInt())
                              .arg(prev.toString(), act.toString());
            });
    }
    QStringList take()
    {
        QStringList out;
        out.swap(events);
        return out;
    }
    QStringList events;
};

// A shown, restored control: 8 rows x 5 columns with "r,c" texts, one fixed row and column;
// columns 1 to 4 defined in order and editable, column 3 a check-mark column.
struct Scene {
    Tessera control;
    TesseraPrivate *d = TesseraPrivate::get(&control);
    FlexGrid *grid = d->fxgGrid;
    HostLog log { &control };

    Scene()
    {
        PropertyBag empty;
        control.ReadProperties(empty);
        grid->setRows(8);
        grid->setCols(5);
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 5; ++c)
                grid->setTextMatrix(r, c, QStringLiteral("%1,%2").arg(r).arg(c));
        auto &defs = *d->colDefs;
        defs.resize(5);
        for (qint16 c = 1; c < 5; ++c) {
            defs[c].Index = c;
            defs[c].Editable = true;
        }
        defs[3].CheckBox = true;
        grid->setTextMatrix(2, 3, QStringLiteral("q"));
        control.resize(420, 260);
        control.show();
        if (!QTest::qWaitForWindowExposed(&control))
            qWarning("control not exposed");
        QTest::qWait(150); // the settling of the first resize and of the first cell entered
        log.take();
    }
    void click(int row, int col)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellMiddle(*grid, row, col));
    }
    // The events after the deferred EnterCell had its chance (however loaded the machine).
    QStringList settle()
    {
        QTest::qWait(20);
        for (int i = 0; i < 300 && d->Timer1->isActive(); ++i)
            QTest::qWait(10);
        QCoreApplication::processEvents();
        return log.take();
    }
};

} // namespace

class tst_Events : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void typedCellLeftByClick_data();
    void typedCellLeftByClick();
    void escapeRestoresAndBackspaceCommits();
    void checkMarksToggleAndReport();
    void selectionByRows();
    void rowZeroActsAsHeader();
    void requiredColumnPullsBack();
    void sameCellAndQuickMoves();
    void suspendLayoutSilencesCellEvents();
    void hostCancelsKeys();
    void hostDecidesCustomSort();
    void rowAndColSetters();
    void textChangedUnderTheCursor_data();
    void textChangedUnderTheCursor();
};

void tst_Events::typedCellLeftByClick_data()
{
    QTest::addColumn<bool>("noRaise");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("NoRaise off") << false
                                 << QStringList { "CellValueChanged(1,1,1,1,ab)", "ValidateCell",
                                        "CellValueChanged(1,1,ab,ab)", "LeaveCell", "RowColChange",
                                        "SelChange", "Click" };
    // NoRaise drops only the commit's own report.
    QTest::newRow("NoRaise on") << true
                                << QStringList { "ValidateCell", "CellValueChanged(1,1,ab,ab)",
                                       "LeaveCell", "RowColChange", "SelChange", "Click" };
}

void tst_Events::typedCellLeftByClick()
{
    QFETCH(bool, noRaise);
    QFETCH(QStringList, expected);
    Scene s;
    s.control.setNoRaise(noRaise);
    s.click(1, 1);
    QCOMPARE(s.settle(), QStringList { "Click" }); // the cell was current already
    QTest::keyClicks(s.grid, QStringLiteral("ab"));
    QCOMPARE(s.grid->TextMatrix(1, 1), QStringLiteral("ab")); // the first key replaced the text
    s.log.take();
    s.click(2, 2);
    QCOMPARE(s.log.take(), expected);
    QCOMPARE(s.settle(), QStringList { "EnterCell" }); // about 100 ms later, and nothing more
}

void tst_Events::escapeRestoresAndBackspaceCommits()
{
    Scene s;
    s.click(2, 2);
    s.settle();
    QTest::keyClicks(s.grid, QStringLiteral("xyz"));
    QTest::keyClick(s.grid, Qt::Key_Backspace);
    QCOMPARE(s.grid->TextMatrix(2, 2), QStringLiteral("xy"));
    QTest::keyClick(s.grid, Qt::Key_Escape);
    QCOMPARE(s.grid->TextMatrix(2, 2), QStringLiteral("2,2"));
    s.log.take();
    // Escaped: leaving reports nothing but LeaveCell.
    s.click(2, 1);
    QCOMPARE(s.log.take().mid(0, 1), QStringList { "LeaveCell" });
    s.settle();
    // Backspace as the first key empties the cell and reports it at once.
    QTest::keyClick(s.grid, Qt::Key_Backspace);
    QCOMPARE(s.grid->TextMatrix(2, 1), QString());
    QCOMPARE(
        s.log.take(), (QStringList { "KeyPress", "ValidateCell", "CellValueChanged(2,1,2,1,)" }));
    // Enter after typing commits and moves down to the first scrollable column. The text on
    // entry is still the one to compare with: Backspace reported, it did not commit.
    QTest::keyClicks(s.grid, QStringLiteral("7"));
    QTest::keyClick(s.grid, Qt::Key_Return);
    QCOMPARE(s.grid->Row(), 3);
    QCOMPARE(s.grid->Col(), 1);
    QVERIFY(s.log.take().contains(QStringLiteral("CellValueChanged(2,1,2,1,7)")));
}

void tst_Events::checkMarksToggleAndReport()
{
    Scene s;
    s.d->lockCells = true; // locks typing, not check marks
    s.click(2, 3);
    QCOMPARE(s.grid->TextMatrix(2, 3), QStringLiteral("þ"));
    QStringList events = s.settle();
    QVERIFY(events.contains(QStringLiteral("CellValueChanged(2,3,0,-1)")));
    QVERIFY(!events.contains(QStringLiteral("Click")));
    // Space toggles the current check mark; the host never sees the key.
    s.grid->setRow(2);
    s.grid->setCol(3);
    s.log.take();
    QTest::keyClick(s.grid, Qt::Key_Space);
    QCOMPARE(s.grid->TextMatrix(2, 3), QStringLiteral("q"));
    QCOMPARE(s.log.take(), QStringList { "CellValueChanged(2,3,-1,0)" });
    // Anything but "q" counts as checked: an empty cell toggles to unchecked.
    s.grid->setTextMatrix(4, 3, QString());
    s.click(4, 3);
    QVERIFY(s.settle().contains(QStringLiteral("CellValueChanged(4,3,-1,0)")));
    // Typing into a locked cell still raises KeyPress, and changes nothing.
    s.click(5, 1);
    s.settle();
    QTest::keyClick(s.grid, 'z');
    QCOMPARE(s.grid->TextMatrix(5, 1), QStringLiteral("5,1"));
    QCOMPARE(s.log.take(), QStringList { "KeyPress" });
}

void tst_Events::selectionByRows()
{
    Scene s;
    s.grid->setSelectionMode(1);
    s.grid->setRow(4);
    s.grid->setCol(2);
    s.settle();
    QCOMPARE(s.d->curCol, 0);
    QCOMPARE(s.d->enteredCellText, QStringLiteral("4,2")); // still the clicked cell's text
    QCOMPARE(s.grid->Col(), 0);
    QCOMPARE(s.grid->ColSel(), s.grid->Cols() - 1);
    // A click selects the whole row too; leaving a cell while rows are selected raises neither
    // ValidateCell nor LeaveCell.
    s.click(5, 2);
    QCOMPARE(s.grid->Row(), 5);
    QCOMPARE(s.grid->Col(), 0);
    QCOMPARE(s.grid->ColSel(), s.grid->Cols() - 1);
    const QStringList events = s.settle();
    QVERIFY(!events.contains(QStringLiteral("LeaveCell")));
    QVERIFY(!events.contains(QStringLiteral("ValidateCell")));
    QVERIFY(events.contains(QStringLiteral("EnterCell")));
}

void tst_Events::rowZeroActsAsHeader()
{
    Scene s;
    s.grid->setFixedRows(0);
    s.grid->setBackColorFixed(0x00C0C0);
    s.grid->setRow(0);
    s.grid->setCol(2);
    QCOMPARE(s.grid->CellBackColor(), 0x00C0C0);
    QCOMPARE(s.grid->CellForeColorAt(0, 4), s.grid->ForeColor());
    QVERIFY(s.d->Picture1->hasFocus() || QApplication::focusWidget() == s.d->Picture1);
}

void tst_Events::requiredColumnPullsBack()
{
    Scene s;
    (*s.d->colDefs)[4].Required = true;
    for (int r = 1; r <= 3; ++r)
        s.grid->setTextMatrix(r, 4, QStringLiteral("  "));
    s.click(5, 1); // row 4 above is complete
    s.settle();
    QCOMPARE(s.grid->Row(), 5);
    s.click(4, 1); // row 3 above lacks its value, and so do rows 2 and 1
    s.settle();
    QCOMPARE(s.grid->Row(), 1);
    QCOMPARE(s.d->curRow, 1);
    QCOMPARE(s.d->enteredCellText, QStringLiteral("1,1"));
    // A Row write is pulled back alike, and the tracking follows the cursor, not the value.
    s.grid->setTextMatrix(1, 4, QStringLiteral("done"));
    s.control.setRow(4);
    QCOMPARE(s.grid->Row(), 2);
    QCOMPARE(s.d->curRow, 2);
    QCOMPARE(s.d->enteredCellText, QStringLiteral("2,1"));
    QCOMPARE(s.settle().count(QStringLiteral("EnterCell")), 1);
}

void tst_Events::sameCellAndQuickMoves()
{
    Scene s;
    s.click(2, 1);
    QCOMPARE(s.settle().count(QStringLiteral("EnterCell")), 1);
    s.click(2, 1); // the same cell again: no new timer
    QCOMPARE(s.settle().count(QStringLiteral("EnterCell")), 0);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(s.grid, Qt::Key_Down);
    QCOMPARE(s.grid->Row(), 5);
    const QStringList events = s.settle();
    QCOMPARE(events.count(QStringLiteral("EnterCell")), 1); // one per tick, not one per move
    QCOMPARE(events.count(QStringLiteral("LeaveCell")), 3);
}

void tst_Events::suspendLayoutSilencesCellEvents()
{
    Scene s;
    s.grid->setRows(200);
    s.control.SuspendLayout();
    QTest::keyClick(s.grid, Qt::Key_Down);
    QTest::keyClick(s.grid, Qt::Key_PageDown);
    s.grid->setTopRow(50);
    const QStringList silenced = s.settle();
    QVERIFY(silenced.contains(QStringLiteral("Scroll")));
    for (const char *name : { "EnterCell", "LeaveCell", "RowColChange", "SelChange" })
        QVERIFY2(!silenced.contains(QLatin1String(name)), name);
    s.control.ResumeLayout();
    QVERIFY(s.settle().isEmpty()); // nothing is replayed
    QTest::keyClick(s.grid, Qt::Key_Down);
    QVERIFY(s.settle().contains(QStringLiteral("EnterCell")));
}

void tst_Events::hostCancelsKeys()
{
    Scene s;
    s.click(2, 2);
    s.settle();
    connect(&s.control, &Tessera::KeyPress, &s.control, [](qint16 &keyAscii) {
        if (keyAscii == 'x')
            keyAscii = 0;
        else if (keyAscii == 'a')
            keyAscii = 'b'; // a host may change the key, too
    });
    connect(&s.control, &Tessera::KeyDown, &s.control, [](qint16 &keyCode, qint16 &) {
        if (keyCode == 40) // Down
            keyCode = 0;
    });
    QTest::keyClick(s.grid, 'x');
    QCOMPARE(s.grid->TextMatrix(2, 2), QStringLiteral("2,2"));
    QTest::keyClick(s.grid, 'a');
    QCOMPARE(s.grid->TextMatrix(2, 2), QStringLiteral("b"));
    QTest::keyClick(s.grid, Qt::Key_Down);
    QCOMPARE(s.grid->Row(), 2);
}

void tst_Events::hostDecidesCustomSort()
{
    Scene s;
    // Longest text first, as the host's Compare slot says.
    const QStringList texts { "bb", "a", "dddd", "ccc", "eeeee", "f", "gg" };
    for (int r = 1; r < 8; ++r)
        s.grid->setTextMatrix(r, 1, texts[r - 1]);
    connect(&s.control, &Tessera::Compare, &s.control, [&](qint32 r1, qint32 r2, qint16 &cmp) {
        const auto l1 = s.grid->TextMatrix(r1, 1).size(), l2 = s.grid->TextMatrix(r2, 1).size();
        cmp = qint16(l1 > l2 ? -1 : l1 < l2 ? 1 : 0);
    });
    s.grid->setRow(1);
    s.grid->setRowSel(1);
    s.grid->setSort(9);
    QStringList sorted;
    for (int r = 1; r < 8; ++r)
        sorted << s.grid->TextMatrix(r, 1);
    QCOMPARE(sorted, (QStringList { "eeeee", "dddd", "ccc", "bb", "gg", "a", "f" }));
}

void tst_Events::rowAndColSetters()
{
    Scene s;
    QSignalSpy notices(&s.control, &Tessera::PropertyChanged);
    s.control.setRow(4);
    QCOMPARE(s.log.take(), (QStringList { "LeaveCell", "RowColChange", "SelChange" }));
    QCOMPARE(s.settle(), QStringList { "EnterCell" });
    s.control.setCol(2);
    QCOMPARE(s.log.take(), (QStringList { "LeaveCell", "RowColChange", "SelChange" }));
    QCOMPARE(s.settle(), QStringList { "EnterCell" });
    QCOMPARE(s.d->curRow, 4);
    QCOMPARE(s.d->curCol, 2);
    QCOMPARE(s.d->enteredCellText, QStringLiteral("4,2"));
    QCOMPARE(notices.count(), 2);
    QCOMPARE(notices.at(1).at(0).toString(), QStringLiteral("Col"));
    // Listeners come and go: the control raises what somebody hears, whenever they connected.
    QObject::disconnect(&s.control, &Tessera::SelChange, &s.log, nullptr);
    s.control.setRow(5);
    QCOMPARE(s.log.take(), (QStringList { "LeaveCell", "RowColChange" }));
    int late = 0;
    auto lateListener = connect(&s.control, &Tessera::SelChange, [&late] { ++late; });
    QObject::disconnect(&s.control, &Tessera::RowColChange, &s.log, nullptr);
    s.control.setRow(6);
    QCOMPARE(s.log.take(), QStringList { "LeaveCell" });
    QCOMPARE(late, 1);
    QObject::disconnect(lateListener);
    s.control.setRow(5);
    QCOMPARE(late, 1);
    QCOMPARE(s.log.take(), QStringList { "LeaveCell" });
    // A host slot writing the cell the cursor arrives at: what it wrote counts as entered, so
    // leaving reports no change.
    auto writer = connect(&s.control, &Tessera::SelChange,
        [&s] { s.grid->setTextMatrix(s.grid->Row(), s.grid->Col(), QStringLiteral("host")); });
    s.control.setRow(6);
    QObject::disconnect(writer);
    QCOMPARE(s.d->enteredCellText, QStringLiteral("host"));
    s.control.setRow(5);
    QCOMPARE(s.log.take(), (QStringList { "LeaveCell", "LeaveCell" }));
    // A bad row reaches the host as the grid's error, after the cell was left.
    QVERIFY_TESSERA_ERROR(s.control.setRow(99), flexErrInvalidRow);
}

// However a text changes while its cell is current, leaving the cell reports it: the tracking
// must not trust what it read on entry.
void tst_Events::textChangedUnderTheCursor_data()
{
    QTest::addColumn<std::function<void(Scene &)>>("change");
    QTest::addColumn<QString>("expected");
    QTest::newRow("written into the grid") << std::function<void(Scene &)>([](Scene &s) {
        s.grid->setTextMatrix(2, 1, QStringLiteral("new"));
    }) << QStringLiteral("CellValueChanged(2,1,2,1,new)");
    // Bound: the cursor on the second record's first field.
    auto bind = [](Scene &s, const QVariantList &values) {
        auto rs = std::make_shared<Recordset>();
        rs->Fields().Append(QStringLiteral("Value"),
            values.front().typeId() == QMetaType::Double ? adDouble : adVarWChar, 20);
        rs->Open();
        for (const QVariant &v : values) {
            rs->AddNew();
            rs->setCollect(QStringLiteral("Value"), v);
            rs->Update();
        }
        s.grid->setDataSource(rs);
        s.control.setRow(2);
        s.control.setCol(1);
        s.settle();
        return rs;
    };
    QTest::newRow("record edited in the bound record set") << std::function<void(Scene &)>(
        [bind](Scene &s) {
            bind(s, { "bolt", "nut", "screw" })->SetViewValue(1, 0, QStringLiteral("rivet"));
        }) << QStringLiteral("CellValueChanged(2,1,nut,rivet)");
    // Another record set's change stamp may be any number, its own or the first one's.
    for (int lower = 0; lower < 4; ++lower) {
        QTest::addRow("bound to another record set, stamp lower by %d", lower)
            << std::function<void(Scene &)>([bind, lower](Scene &s) {
                   const auto first = bind(s, { "bolt", "nut", "screw", "pin", "nail", "tack" });
                   auto other = std::make_shared<Recordset>();
                   other->Fields().Append(QStringLiteral("Value"), adVarWChar, 20);
                   other->Open();
                   for (const char *v : { "a", "b", "c" }) {
                       other->AddNew();
                       other->setCollect(QStringLiteral("Value"), QString::fromLatin1(v));
                       other->Update();
                   }
                   while (other->ChangeStamp() + lower < first->ChangeStamp())
                       other->SetViewValue(0, 0, QStringLiteral("a"));
                   QCOMPARE(other->ChangeStamp() + lower, first->ChangeStamp());
                   s.grid->setDataSource(other);
               })
            << QStringLiteral("CellValueChanged(2,1,nut,b)");
    }
    QTest::newRow("the user's locale changed under a bound number") << std::function<void(Scene &)>(
        [bind](Scene &s) {
            bind(s, { 1.5, 2.5, 3.5 });
            setUserLocale(QLocale(QStringLiteral("it_IT")));
        }) << QStringLiteral("CellValueChanged(2,1,2.5,2,5)");
}

void tst_Events::textChangedUnderTheCursor()
{
    QFETCH(std::function<void(Scene &)>, change);
    QFETCH(QString, expected);
    Scene s;
    s.control.setRow(2);
    s.control.setCol(1);
    s.settle();
    const QLocale locale = userLocale();
    change(s);
    s.control.setRow(3);
    setUserLocale(locale);
    QCOMPARE(s.log.take(), (QStringList { expected, "LeaveCell", "RowColChange", "SelChange" }));
}

QTEST_MAIN(tst_Events)
#include "tst_events.moc"
