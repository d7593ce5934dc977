// The control object: its child widgets, the lifecycle (new and restored instances, resize
// settling by real resize events), and the persisted settings: round trip through a file, the
// empty bag, the key order, design and run mode, a rejected value, hostile bag files.
#include "tessera_p.h"

#include <TestHelpers.h>
#include <tessera/HostSite.h>
#include <tessera/PropertyBag.h>
#include <tessera/Tessera.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tessera;

namespace {

// Counts the resize events a widget receives.
class ResizeCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Resize)
            ++count;
        return false;
    }
};

// Every key in its load order, with a value that is not its default.
QList<std::pair<QString, QVariant>> nonDefaultSettings()
{
    return {
        { "BackColor", qint32(0x123456) },
        { "ForeColor", qint32(0x0000FF) },
        { "Enabled", false },
        { "Font", QFont(QStringLiteral("DejaVu Serif"), 13) },
        { "BorderStyle", qint16(0) },
        { "AllowBigSelection", false },
        { "Checkboxes", true },
        { "AllowUserResizing", qint16(3) },
        { "Appearance", qint16(1) },
        { "BackColorBkg", qint32(0x808080) },
        { "BackColorFixed", qint32(0x00FFFF) },
        { "BackColorSel", qint32(0xFF0000) },
        { "CellBackColor", qint32(0xEEEEEE) },
        { "FixedCols", qint16(2) },
        { "FixedRows", qint16(3) },
        { "FocusRect", qint16(2) },
        { "FontWidth", 4.5f },
        { "LockCells", true },
        { "ForeColorFixed", qint32(0x000080) },
        { "ForeColorSel", qint32(0x00FF00) },
        { "FormatString", QStringLiteral("<Code|^Name|>Qty") },
        { "GridColor", qint32(0x00FF00) },
        { "GridColorFixed", qint32(0x0000FF) },
        { "GridLines", qint16(2) },
        { "GridLinesFixed", qint16(1) },
        { "GridLineWidth", qint16(3) },
        { "HighLight", qint16(2) },
        { "MergeCells", qint16(4) },
        { "MousePointer", qint16(11) },
        { "OLEDropMode", qint16(1) },
        { "RowHeightMin", qint16(300) },
        { "Cols", qint16(5) },
        { "Rows", qint16(7) },
        { "ScrollBars", qint16(1) },
        { "ScrollTrack", true },
        { "SelectionMode", qint16(1) },
        { "Sort", qint16(1) },
        { "TextStyle", qint16(3) },
        { "TextStyleFixed", qint16(4) },
        { "WordWrap", true },
        { "FillStyle", qint16(1) },
        { "PictureType", qint16(1) },
        { "Redraw", false },
        { "RightToLeft", true },
        { "AutoNumberRows", true },
        { "AutoNumberCols", true },
        { "AllCellFontSize", 12.5f },
    };
}

const QStringList colourKeys { "BackColor", "ForeColor", "BackColorBkg", "BackColorFixed",
    "BackColorSel", "ForeColorFixed", "ForeColorSel", "GridColor", "GridColorFixed" };

FlexGrid *gridOf(Tessera &control)
{
    return control.findChild<FlexGrid *>(QStringLiteral("fxgGrid"));
}

} // namespace

class tst_ControlCore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void childWidgets();
    void newAndRestoredInstances();
    void resizeSettles();
    void settingsRoundTrip();
    void emptyBagGivesDefaults();
    void enabledInDesignAndRunMode_data();
    void enabledInDesignAndRunMode();
    void fixedCountsMeetTheirDimensions_data();
    void fixedCountsMeetTheirDimensions();
    void rejectedValueEndsTheLoad();
    void hostileBags_data();
    void hostileBags();
};

void tst_ControlCore::childWidgets()
{
    Tessera control;
    for (const char *name : { "fxgGrid", "MSHFlexGrid1" })
        QVERIFY(control.findChild<FlexGrid *>(QLatin1String(name)));
    QVERIFY(control.findChild<QLineEdit *>(QStringLiteral("txtEdit")));
    QVERIFY(control.findChild<QComboBox *>(QStringLiteral("Combo1")));
    QVERIFY(control.findChild<PictureBox *>(QStringLiteral("Picture1")));
    for (const char *name : { "Timer1", "Timer4" }) {
        auto *timer = control.findChild<QTimer *>(QLatin1String(name));
        QVERIFY(timer && !timer->isActive() && timer->interval() == 100);
    }
    auto *header = control.findChild<FlexGrid *>(QStringLiteral("MSHFlexGrid1"));
    QVERIFY(!header->Visible());
    QVERIFY(!header->ContainerSetting(qint32(0x8001000E)));
}

void tst_ControlCore::newAndRestoredInstances()
{
    // A new instance: no definition table until a member that fills one allocates it.
    Tessera fresh;
    fresh.show();
    QVERIFY(fresh.isEnabled());
    QVERIFY(!TesseraPrivate::get(&fresh)->colDefs);
    QVERIFY_TESSERA_ERROR(fresh.TextMatrix(1, 0), errSubscriptOutOfRange);
    // A restored one: the table holds slot 0 only.
    Tessera restored;
    PropertyBag bag;
    restored.ReadProperties(bag);
    restored.show();
    QCOMPARE(TesseraPrivate::get(&restored)->colDefs->size(), size_t(1));
    QCOMPARE(restored.TextMatrix(1, 0), QString());
    QVERIFY_TESSERA_ERROR(restored.TextMatrix(1, 1), errSubscriptOutOfRange);
    QCOMPARE(TesseraPrivate::get(&restored)->magnify, 1.0);
}

void tst_ControlCore::resizeSettles()
{
    Tessera control;
    FlexGrid *grid = gridOf(control);
    const QSize created = grid->size();
    ResizeCounter counter;
    grid->installEventFilter(&counter);
    control.resize(300, 200);
    control.show();
    QVERIFY(QTest::qWaitForWindowExposed(&control));
    QCOMPARE(grid->size(), created); // until the first tick
    QTRY_COMPARE(grid->size(), QSize(300, 200));

    counter.count = 0;
    for (QSize size : { QSize(320, 210), QSize(350, 240), QSize(410, 260) }) {
        control.resize(size);
        QTest::qWait(20);
    }
    QCOMPARE(grid->size(), QSize(300, 200));
    QTRY_COMPARE(grid->size(), QSize(410, 260));
    QTest::qWait(150);
    QCOMPARE(counter.count, 1);
    QCOMPARE(grid->pos(), QPoint(0, 0));
    // The picture box stays out of view whatever the size.
    auto *picture = control.findChild<PictureBox *>(QStringLiteral("Picture1"));
    QCOMPARE(picture->Left(), -10000);
}

void tst_ControlCore::settingsRoundTrip()
{
    HostSite site;
    PropertyBag saved;
    for (const auto &[name, value] : nonDefaultSettings())
        saved.WriteProperty(name, value);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("form.bag"));
    saved.Save(file);
    PropertyBag loaded;
    loaded.Load(file);

    Tessera control(nullptr, &site);
    site.setRecordingNotices(true);
    QSignalSpy notices(&control, &Tessera::PropertyChanged);
    control.ReadProperties(loaded);
    QCOMPARE(notices.count(), 0);
    QVERIFY(site.notices().isEmpty());
    FlexGrid *grid = gridOf(control);
    QCOMPARE(grid->Rows(), 7);
    QCOMPARE(grid->FixedRows(), 3);
    QCOMPARE(grid->Cols(), 5);
    QCOMPARE(grid->FixedCols(), 2);
    QCOMPARE(grid->TextMatrix(3, 0), QStringLiteral("1")); // numbered through the control
    QCOMPARE(grid->TextMatrix(0, 2), QStringLiteral("A"));
    QVERIFY(!control.isEnabled()); // run mode

    PropertyBag again;
    control.WriteProperties(again);
    // Every key comes back as it went in; Sort is never written; LockCells follows CellBackColor.
    QStringList expectedOrder;
    for (const auto &[name, value] : nonDefaultSettings()) {
        if (name == QLatin1String("Sort"))
            continue;
        if (name != QLatin1String("LockCells"))
            expectedOrder << name;
        if (name == QLatin1String("CellBackColor"))
            expectedOrder << QStringLiteral("LockCells");
        if (name != QLatin1String("Sort"))
            QVERIFY2(PropertyBag::sameValue(again.ReadProperty(name), value), qPrintable(name));
    }
    QCOMPARE(again.Names(), expectedOrder);
}

void tst_ControlCore::emptyBagGivesDefaults()
{
    HostSite site;
    QFont ambient(QStringLiteral("DejaVu Sans"), 11);
    site.setFont(ambient);
    Tessera control(nullptr, &site);
    const QList<qint32> created { gridOf(control)->BackColor(), gridOf(control)->GridColor() };
    PropertyBag empty;
    control.ReadProperties(empty);
    FlexGrid *grid = gridOf(control);
    QCOMPARE(grid->Font(), ambient);
    QCOMPARE(grid->Rows(), 2);
    QCOMPARE(grid->FixedRows(), 1);
    QCOMPARE((QList<qint32> { grid->BackColor(), grid->GridColor() }), created);
    QCOMPARE(grid->CellBackColor(), 0xFFFFFF);
    QVERIFY(control.isEnabled());
    // Saved again, only the nine colours are stored: everything else is at its default.
    PropertyBag saved;
    control.WriteProperties(saved);
    QCOMPARE(saved.Names(),
        (QStringList { "BackColor", "ForeColor", "BackColorBkg", "BackColorFixed", "BackColorSel",
            "ForeColorFixed", "ForeColorSel", "GridColor", "GridColorFixed" }));
    QCOMPARE(saved.Names().size(), colourKeys.size());
}

void tst_ControlCore::enabledInDesignAndRunMode_data()
{
    QTest::addColumn<bool>("userMode");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("widgetEnabled");
    QTest::newRow("run mode, disabled") << true << false << false;
    QTest::newRow("run mode, enabled") << true << true << true;
    QTest::newRow("design mode, disabled") << false << false << true;
}

void tst_ControlCore::enabledInDesignAndRunMode()
{
    QFETCH(bool, userMode);
    QFETCH(bool, stored);
    QFETCH(bool, widgetEnabled);
    HostSite site;
    site.setUserMode(userMode);
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Enabled"), stored);
    Tessera control(nullptr, &site);
    control.ReadProperties(bag);
    QCOMPARE(control.isEnabled(), widgetEnabled);
    // Saved as stored, whatever the widget shows.
    PropertyBag saved;
    control.WriteProperties(saved);
    QCOMPARE(saved.ReadProperty(QStringLiteral("Enabled"), true).toBool(), stored);
}

void tst_ControlCore::fixedCountsMeetTheirDimensions_data()
{
    QTest::addColumn<int>("fixedRows");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("fixedCols");
    QTest::addColumn<int>("cols");
    QTest::newRow("three fixed rows") << 3 << 10 << 1 << 4;
    QTest::newRow("two fixed of three") << 2 << 3 << 2 << 3;
    QTest::newRow("none fixed, one row") << 0 << 1 << 0 << 1;
    QTest::newRow("fewer than created") << 0 << 1 << 1 << 2;
    QTest::newRow("many") << 5 << 6 << 4 << 30;
}

void tst_ControlCore::fixedCountsMeetTheirDimensions()
{
    QFETCH(int, fixedRows);
    QFETCH(int, rows);
    QFETCH(int, fixedCols);
    QFETCH(int, cols);
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("FixedRows"), qint16(fixedRows));
    bag.WriteProperty(QStringLiteral("Rows"), qint16(rows));
    bag.WriteProperty(QStringLiteral("FixedCols"), qint16(fixedCols));
    bag.WriteProperty(QStringLiteral("Cols"), qint16(cols));
    Tessera control;
    control.ReadProperties(bag);
    FlexGrid *grid = gridOf(control);
    QCOMPARE(grid->FixedRows(), fixedRows);
    QCOMPARE(grid->Rows(), rows);
    QCOMPARE(grid->FixedCols(), fixedCols);
    QCOMPARE(grid->Cols(), cols);
}

void tst_ControlCore::rejectedValueEndsTheLoad()
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("GridLines"), qint16(2));
    bag.WriteProperty(QStringLiteral("GridLineWidth"), qint16(99));
    bag.WriteProperty(QStringLiteral("HighLight"), qint16(2));
    Tessera control;
    QSignalSpy notices(&control, &Tessera::PropertyChanged);
    QVERIFY_TESSERA_ERROR(control.ReadProperties(bag), flexErrInvalidPropertyValue);
    FlexGrid *grid = gridOf(control);
    QCOMPARE(grid->GridLines(), qint16(2)); // before it: applied
    QCOMPARE(grid->GridLineWidth(), qint16(1));
    QCOMPARE(grid->HighLight(), qint16(1)); // after it: not reached
    QVERIFY(!TesseraPrivate::get(&control)->colDefs);
    QCOMPARE(notices.count(), 0);
}

void tst_ControlCore::hostileBags_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("loadError"); // from PropertyBag::Load, 0 when it loads
    QTest::addColumn<int>("readError"); // from ReadProperties, 0 when it runs to its end
    QTest::addColumn<int>("gridRows"); // what the grid holds afterwards
    QTest::newRow("truncated line")
        << "Rows = Integer 5\nCols = Inte" << int(errInvalidFileFormat) << 0 << 2;
    QTest::newRow("unterminated text")
        << "FormatString = String \"<A|B" << int(errInvalidFileFormat) << 0 << 2;
    QTest::newRow("unknown keys are ignored")
        << "Wibble = Long 5\nRows = Integer 6\nZorg = String \"x\"" << 0 << 0 << 6;
    QTest::newRow("text for a number")
        << "Rows = String \"many\"" << 0 << int(errTypeMismatch) << 2;
    QTest::newRow("numeric text for a number") << "Rows = String \"4\"" << 0 << 0 << 4;
    QTest::newRow("number past Integer") << "Rows = Long 70000" << 0 << int(errOverflow) << 2;
    QTest::newRow("text for a font") << "Font = String \"Arial\"" << 0 << int(errTypeMismatch) << 2;
    QTest::newRow("text for a Boolean")
        << "Enabled = String \"perhaps\"" << 0 << int(errTypeMismatch) << 2;
    QTest::newRow("fixed rows past rows")
        << "FixedRows = Integer 5\nRows = Integer 3" << 0 << int(flexErrFixedCount) << 3;
    QTest::newRow("negative rows")
        << "Rows = Integer -4" << 0 << int(flexErrInvalidPropertyValue) << 2;
}

void tst_ControlCore::hostileBags()
{
    QFETCH(QString, file);
    QFETCH(int, loadError);
    QFETCH(int, readError);
    QFETCH(int, gridRows);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("form.bag"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file.toUtf8());
    }
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Rows"), qint16(9)); // what the bag held before
    if (loadError) {
        QVERIFY_TESSERA_ERROR(bag.Load(path), loadError);
        QCOMPARE(bag.ReadProperty(QStringLiteral("Rows")).toInt(), 9);
        return;
    }
    bag.Load(path);
    const QString before = bag.toText();
    Tessera control;
    if (readError)
        QVERIFY_TESSERA_ERROR(control.ReadProperties(bag), readError);
    else
        control.ReadProperties(bag);
    QCOMPARE(gridOf(control)->Rows(), gridRows);
    QCOMPARE(bag.toText(), before); // loading never writes to the bag
}

QTEST_MAIN(tst_ControlCore)
#include "tst_control_core.moc"
