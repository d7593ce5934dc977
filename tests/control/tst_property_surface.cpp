// The property surface and late binding: every pass-through member against the grid behind it
// and the members that keep a field of their own; the dispatch table against the interface's full
// list of ids; calls by id and by name against direct calls; bad input through Invoke.
#include "tessera_p.h"

#include <TestHelpers.h>
#include <tessera/HostSite.h>
#include <tessera/PropertyBag.h>
#include <tessera/Tessera.h>

#include <QHash>
#include <QLineEdit>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>

using namespace tessera;

namespace {

// Every member of the control's dispatch interface with its id, registered yet or not.
struct InterfaceMember {
    qint32 id;
    const char *name;
};
const InterfaceMember kInterface[] = { { 0x68030063, "BackColor" }, { 0x68030062, "ForeColor" },
    { 0x68030061, "Enabled" }, { qint32(0xFFFFFE00), "Font" }, { 0x68030060, "BorderStyle" },
    { 0x6003008C, "Refresh" }, { 0x6803005F, "AllowBigSelection" },
    { 0x6803005B, "AllowUserResizing" }, { 0x6803005A, "Appearance" },
    { 0x68030059, "BackColorBkg" }, { 0x68030058, "BackColorFixed" },
    { 0x68030057, "BackColorSel" }, { 0x68030056, "CellHeight" }, { 0x68030055, "CellLeft" },
    { 0x68030053, "CellTop" }, { 0x68030052, "CellWidth" }, { 0x68030051, "ColAlignment" },
    { 0x68030050, "ColData" }, { 0x6803004F, "ColIsVisible" }, { 0x6803004E, "ColPos" },
    { 0x6803004D, "Cols" }, { 0x6803004C, "ColWidth" }, { 0x6003009B, "SetBackColorSel2Blank" },
    { 0x6803004B, "FixedAlignment" }, { 0x6803004A, "FixedCols" }, { 0x68030049, "FixedRows" },
    { 0x68030048, "FocusRect" }, { 0x68030047, "ForeColorFixed" }, { 0x68030046, "ForeColorSel" },
    { 0x68030045, "FormatString" }, { 0x68030044, "GridColor" }, { 0x68030043, "GridColorFixed" },
    { 0x68030042, "GridLines" }, { 0x68030041, "GridLinesFixed" }, { 0x68030040, "GridLineWidth" },
    { 0x6803003F, "HighLight" }, { 0x6803003E, "MergeCells" }, { 0x6803003D, "MergeCol" },
    { 0x6803003C, "MergeRow" }, { 0x6803003B, "MouseCol" }, { 0x6803003A, "MouseIcon" },
    { 0x68030039, "MousePointer" }, { 0x68030038, "MouseRow" }, { 0x600300A4, "OLEDrag" },
    { 0x68030037, "OLEDropMode" }, { 0x68030036, "RowData" }, { 0x68030035, "RowHeight" },
    { 0x68030034, "RowHeightMin" }, { 0x68030033, "RowIsVisible" }, { 0x68030032, "RowPos" },
    { 0x68030031, "Rows" }, { 0x68030030, "ScrollBars" }, { 0x6803002F, "ScrollTrack" },
    { 0x6803002E, "SelectionMode" }, { 0x6803002C, "TextArray" }, { 0x68030027, "TextStyle" },
    { 0x68030026, "TextStyleFixed" }, { 0x68030025, "WordWrap" }, { 0x68030022, "FillStyle" },
    { 0x68030021, "PictureType" }, { 0x68030020, "Redraw" }, { 0x6803001F, "RightToLeft" },
    { 0x6803001E, "AutoNumberRows" }, { 0x6803001D, "AutoNumberCols" }, { 0x6803001C, "Col" },
    { 0x6803001B, "Row" }, { 0x6803001A, "CellAlignment" }, { 0x68030019, "CellPictureAlignment" },
    { 0x68030018, "CellBackColor" }, { 0x68030017, "CellForeColor" },
    { 0x68030016, "CellTextStyle" }, { 0x68030015, "ColSel" }, { 0x68030014, "RowSel" },
    { 0x68030013, "Clip" }, { 0x68030012, "CellFontBold" }, { 0x68030011, "CellFontItalic" },
    { 0x68030010, "CellFontName" }, { 0x6803000F, "AllCellFontSize" },
    { 0x6803000E, "CellFontSize" }, { 0x6803000D, "CellFontStrikeThrough" },
    { 0x6803000C, "CellFontUnderline" }, { 0x6803000B, "CellFontWidth" },
    { 0x6803000A, "FontWidth" }, { 0x68030009, "Picture" }, { 0x68030008, "Text" },
    { 0x68030007, "LeftCol" }, { 0x68030006, "TopRow" }, { 0x600300B6, "ForceGridFocus" },
    { 0x68030001, "hWnd" }, { 0x600300C5, "SuspendLayout" }, { 0x600300C6, "ResumeLayout" },
    // Members with logic of their own.
    { qint32(0xFFFFFDD8), "ShowInfo" }, { 0x68030005, "Version" }, { 0x60030073, "GetColDef" },
    { 0x60030074, "GetColCaption" }, { 0x60030075, "GetColIndexByFldName" },
    { 0x6003007C, "IniColDef" }, { 0x6003007D, "IniColDefs" }, { 0x6003007E, "ReApplyColDefs" },
    { 0x60030080, "AddColDefs" }, { 0x60030072, "GetDataField" },
    { 0x600300B4, "RemoveColumnByFldName" }, { 0x600300B5, "RemoveColumn" },
    { 0x600300A1, "MergeHeaders" }, { 0x6003007B, "AutoResizeCols" },
    { 0x600300C0, "AutosizeHFlexRows" }, { 0x68030002, "MoltMagnify" },
    { 0x6803002B, "TextMatrix" }, { 0x6803002A, "TextMatrixWithFormat" },
    { 0x68030029, "TextMatrix1Plus" }, { 0x68030028, "TextMatrixWithFormat1Plus" },
    { 0x600300B0, "EnumHeader" }, { 0x68030024, "DataSource" }, { 0x68030023, "DataBindings" },
    { 0x600300B1, "RefreshData" }, { 0x600300A0, "MoveFirst" }, { 0x60030079, "GetRowFields" },
    { 0x60030099, "Clear" }, { 0x600300B7, "Filter" }, { 0x6803002D, "Sort" },
    { 0x600300B8, "SaveXML" }, { 0x600300B9, "ScriviXML" }, { 0x6803005E, "Checkboxes" },
    { 0x6003006F, "RowTag" }, { 0x60030070, "GetSelectedRowTag" }, { 0x60030071, "GetRowTag" },
    { 0x60030076, "IniTagsWithArt" }, { 0x60030077, "RowTagWithArt" },
    { 0x60030078, "GetRowTagWithArt" }, { 0x600300BC, "SelectRowViaTag" },
    { 0x600300BD, "CheckAll" }, { 0x600300BE, "InvertCheck" }, { 0x600300BF, "DeCheckAll" },
    { 0x600300C1, "RowIsChecked" }, { 0x60030096, "AddItem" }, { 0x600300AA, "RemoveItem" },
    { 0x600300C2, "IntestaGrid" }, { 0x600300C3, "AddLine" }, { 0x600300C4, "AddLineIcon" },
    { 0x600300A2, "ADO2ADO" }, { 0x68030003, "EditingCell" }, { 0x68030004, "EditText" },
    { 0x6803005C, "LockCells" }, { 0x6803005D, "NoRaise" }, { 0x6003007A, "PutObjectOverCell" },
    { 0x60030097, "SetCellPictureCentered" }, { 0x60030098, "SetCellImageCentered" },
    { 0x600300B2, "PutObjectIntoCell" }, { 0x600300B3, "ExitObjectFromCell" },
    { 0x68030054, "CellPicture" }, { 0x68030000, "Icons" } };

qint32 interfaceId(const QString &name)
{
    for (const InterfaceMember &m : kInterface) {
        if (name == QLatin1String(m.name))
            return m.id;
    }
    return 0;
}

// A restored control (so the definition table exists) on a 40 x 12 grid with one fixed row and
// column, texts "r<row>c<col>", unequal sizes, and the cursor at (2, 3).
struct Scene {
    HostSite site;
    Tessera control { nullptr, &site };
    FlexGrid &grid = *control.findChild<FlexGrid *>(QStringLiteral("fxgGrid"));

    explicit Scene(bool userMode = true)
    {
        site.setUserMode(userMode);
        PropertyBag empty;
        control.ReadProperties(empty);
        TesseraPrivate::get(&control)->colDefs->resize(5);
        grid.setCols(12);
        grid.setRows(40);
        for (int r = 0; r < 40; ++r) {
            for (int c = 0; c < 12; ++c)
                grid.setTextMatrix(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
        }
        grid.setColWidth(1, 1200);
        grid.setColWidth(2, 900);
        grid.setRowHeight(1, 450);
        grid.setMergeCol(2, true);
        grid.setFixedAlignment(2, 4);
        grid.setRow(2);
        grid.setCol(3);
    }
};

// Values compare by type and value; integers are widened first, so that a grid's 16-bit setting
// and the control's Long agree; pictures compare by their pixels.
template<class T> QVariant var(const T &value)
{
    if constexpr (std::is_enum_v<T> || (std::is_integral_v<T> && !std::is_same_v<T, bool>))
        return QVariant(qint64(value));
    else
        return QVariant::fromValue(value);
}
template<class T> T as(const QVariant &value)
{
    if constexpr (std::is_enum_v<T> || (std::is_integral_v<T> && !std::is_same_v<T, bool>))
        return T(value.toLongLong());
    else
        return value.value<T>();
}
bool same(const QVariant &a, const QVariant &b)
{
    if (a.typeId() != b.typeId())
        return false;
    if (a.typeId() == QMetaType::QVariantList && b.typeId() == QMetaType::QVariantList) {
        const QVariantList x = a.toList(), y = b.toList();
        return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin(), same);
    }
    if (a.typeId() == QMetaType::QPixmap && b.typeId() == QMetaType::QPixmap)
        return a.value<QPixmap>().toImage() == b.value<QPixmap>().toImage();
    return a == b;
}
QString shown(const QVariant &v)
{
    QString text;
    QDebug(&text) << v;
    return text;
}
#define QVERIFY_SAME(a, b)                                                                         \
    do {                                                                                           \
        const QVariant a_ = (a), b_ = (b);                                                         \
        QVERIFY2(same(a_, b_), qPrintable(shown(a_) + QStringLiteral(" != ") + shown(b_)));        \
    } while (false)

using Read = std::function<QVariant(Tessera &)>;
using Write = std::function<void(Tessera &, const QVariant &)>;
using Probe = std::function<QVariant(Scene &)>;
using Step = std::function<void(Scene &)>;

// One member of the surface: how it is read and written, and where a write lands.
struct SurfaceCase {
    Read read = {};
    Write write = {}; // none: read-only
    Probe landed = {}; // the grid's member of the same name, or the state the write must reach
    QVariant value = {}; // written
    QVariant expected = {}; // what `landed` gives after the write (none: value)
    QVariant readBack = {}; // what `read` gives after the write (none: value)
    int error = 0; // of the write
    bool notice = true; // the write sends the member's notice
    bool readsGrid = true; // before the write, the read gives what `landed` gives
    bool mustChange = true; // the value is not what `landed` gives before
    bool userMode = true;
    Step setup = {}, extra = {};
};

QPixmap redSquare()
{
    QPixmap p(16, 16);
    p.fill(Qt::red);
    return p;
}

} // namespace

Q_DECLARE_METATYPE(SurfaceCase)

// A pass-through member: read, write and the grid's member of the same name; indexed ones at
// `index`.
#define PLAIN(Name, v)                                                                             \
    addSurface(#Name, #Name,                                                                       \
        { [](Tessera &t) { return var(t.Name()); },                                                \
            [](Tessera &t, const QVariant &x) { t.set##Name(as<decltype(t.Name())>(x)); },         \
            [](Scene &s) { return var(s.grid.Name()); }, var(v) })
#define INDEXED(Name, index, v)                                                                    \
    addSurface(#Name, #Name,                                                                       \
        { [](Tessera &t) { return var(t.Name(index)); },                                           \
            [](Tessera &t, const QVariant &x) { t.set##Name(index, as<decltype(t.Name(0))>(x)); }, \
            [](Scene &s) { return var(s.grid.Name(index)); }, var(v) })
#define READ_ONLY(Name, ...)                                                                       \
    addSurface(#Name, #Name,                                                                       \
        { [](Tessera &t) { return var(t.Name(__VA_ARGS__)); }, {},                                 \
            [](Scene &s) { return var(s.grid.Name(__VA_ARGS__)); } })

// A call through Invoke and the same call made directly.
struct InvokeCase {
    InvokeKind kind = InvokePropertyGet;
    QVariantList args = {};
    Read direct = {};
    Read after = {}; // the state a put or a method leaves
    QVariantList argsAfter = {}; // by-reference arguments written back (none: args unchanged)
};
Q_DECLARE_METATYPE(InvokeCase)

// Bad input through Invoke: the error, or the result and the state it leaves.
struct BadCase {
    qint32 id = 0; // 0: call by `name`
    QString name = {};
    int kind = 0;
    QVariantList args = {};
    int error = 0;
    QVariant result = {};
    QVariantList argsAfter = {};
    Read after = {};
    QVariant afterValue = {};
};
Q_DECLARE_METATYPE(BadCase)

class tst_PropertySurface : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void surface_data();
    void surface();
    void ownWindowId();
    void registeredMembers();
    void invoke_data();
    void invoke();
    void badInput_data();
    void badInput();

private:
    static void addSurface(const char *row, const char *member, const SurfaceCase &c)
    {
        QTest::newRow(row) << QString::fromLatin1(member) << c;
    }
};

void tst_PropertySurface::surface_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<SurfaceCase>("c");

    PLAIN(BackColor, 0x123456);
    PLAIN(ForeColor, 0x0000FF);
    PLAIN(BorderStyle, 0);
    PLAIN(AllowBigSelection, false);
    PLAIN(AllowUserResizing, 3);
    PLAIN(Appearance, 1);
    PLAIN(BackColorBkg, 0x808080);
    PLAIN(BackColorFixed, 0x00FFFF);
    PLAIN(FocusRect, 2);
    PLAIN(ForeColorFixed, 0x000080);
    PLAIN(ForeColorSel, 0x00FF00);
    PLAIN(FormatString, QStringLiteral("<Code|^Name|>Qty"));
    PLAIN(GridColor, 0x00FF00);
    PLAIN(GridColorFixed, 0x0000FF);
    PLAIN(GridLines, 2);
    PLAIN(GridLinesFixed, 1);
    PLAIN(GridLineWidth, 3);
    PLAIN(HighLight, 2);
    PLAIN(MergeCells, 4);
    PLAIN(MouseIcon, redSquare());
    PLAIN(MousePointer, 11);
    PLAIN(OLEDropMode, 1);
    PLAIN(RowHeightMin, 300);
    PLAIN(ScrollBars, 1);
    PLAIN(ScrollTrack, true);
    PLAIN(SelectionMode, 1);
    PLAIN(TextStyle, 3);
    PLAIN(TextStyleFixed, 4);
    PLAIN(WordWrap, true);
    PLAIN(FillStyle, 1);
    PLAIN(PictureType, 1);
    PLAIN(Redraw, false);
    PLAIN(RightToLeft, true);
    PLAIN(CellAlignment, tesAlignRightCenter);
    PLAIN(CellPictureAlignment, tesAlignCenterCenter);
    PLAIN(CellForeColor, 0x0000FF);
    PLAIN(CellTextStyle, 2);
    PLAIN(ColSel, 5);
    PLAIN(RowSel, 6);
    PLAIN(Clip, QStringLiteral("pasted"));
    PLAIN(CellFontBold, true);
    PLAIN(CellFontItalic, true);
    PLAIN(CellFontName, QStringLiteral("DejaVu Serif"));
    PLAIN(CellFontSize, 14.0f);
    PLAIN(CellFontStrikeThrough, true);
    PLAIN(CellFontUnderline, true);
    PLAIN(CellFontWidth, 4.5f);
    PLAIN(FontWidth, 4.5f);
    PLAIN(Text, QStringLiteral("typed"));
    PLAIN(LeftCol, 3);
    PLAIN(TopRow, 4);
    INDEXED(ColAlignment, 2, tesAlignCenterCenter);
    INDEXED(ColData, 2, 77);
    INDEXED(RowData, 3, 88);
    INDEXED(RowHeight, 3, 600);
    INDEXED(ColWidth, 2, 2000);
    READ_ONLY(CellHeight);
    READ_ONLY(CellLeft);
    READ_ONLY(CellTop);
    READ_ONLY(CellWidth);
    READ_ONLY(ColIsVisible, 1);
    READ_ONLY(ColPos, 3);
    READ_ONLY(Cols);
    READ_ONLY(FixedAlignment, 2);
    READ_ONLY(FixedCols);
    READ_ONLY(FixedRows);
    READ_ONLY(MergeCol, 2);
    READ_ONLY(MergeRow, 1);
    READ_ONLY(MouseCol);
    READ_ONLY(MouseRow);
    READ_ONLY(RowIsVisible, 2);
    READ_ONLY(RowPos, 3);
    READ_ONLY(Rows);
    READ_ONLY(TextArray, 27);
    READ_ONLY(Picture);

    // The members that keep a field of their own.
    const Read enabled = [](Tessera &t) { return QVariant(t.Enabled()); };
    const Write setEnabled = [](Tessera &t, const QVariant &x) { t.setEnabled(x.toBool()); };
    const Probe widgetEnabled = [](Scene &s) { return QVariant(s.control.isEnabled()); };
    const Step gridUntouched
        = [](Scene &s) { QVERIFY(!s.grid.testAttribute(Qt::WA_ForceDisabled)); };
    addSurface("Enabled in design mode", "Enabled",
        { enabled, setEnabled, widgetEnabled, false, true, {}, 0, true, false, false, false, {},
            gridUntouched });
    addSurface("Enabled in run mode", "Enabled",
        { enabled, setEnabled, widgetEnabled, false, false, {}, 0, true, true, true, true, {},
            gridUntouched });

    const QFont serif(QStringLiteral("DejaVu Serif"), 13);
    const Read font = [](Tessera &t) { return QVariant(t.Font()); };
    addSurface("Font write", "Font",
        { font, [](Tessera &t, const QVariant &x) { t.setFont(x.value<QFont>()); },
            [](Scene &s) { return QVariant(s.grid.Font()); }, serif, {}, {}, 0, true, true, true,
            true, {},
            [serif](Scene &s) {
                const auto *header
                    = s.control.findChild<FlexGrid *>(QStringLiteral("MSHFlexGrid1"));
                QCOMPARE(header->Font(), serif);
                const QFont editor
                    = s.control.findChild<QLineEdit *>(QStringLiteral("txtEdit"))->font();
                QCOMPARE(editor.family(), serif.family());
                QCOMPARE(editor.pointSizeF(), 13 * 0.9);
            } });
    addSurface("Font read", "Font",
        { font, {}, [](Scene &s) { return QVariant(s.grid.Font()); }, {}, {}, {}, 0, false, true,
            false, true,
            [serif](Scene &s) {
                s.grid.setFont(serif);
                QVERIFY(s.control.findChild<FlexGrid *>(QStringLiteral("MSHFlexGrid1"))->Font()
                    != serif);
            },
            [serif](Scene &s) {
                QCOMPARE(
                    s.control.findChild<FlexGrid *>(QStringLiteral("MSHFlexGrid1"))->Font(), serif);
            } });

    addSurface("BackColorSel after SetBackColorSel2Blank", "BackColorSel",
        { [](Tessera &t) { return var(t.BackColorSel()); },
            [](Tessera &t, const QVariant &x) { t.setBackColorSel(as<qint32>(x)); },
            [](Scene &s) { return var(s.grid.BackColorSel()); }, var(0x00FF00), {}, {}, 0, true,
            true, true, true, {},
            [](Scene &s) {
                QSignalSpy spy(&s.control, &Tessera::PropertyChanged);
                s.control.SetBackColorSel2Blank();
                QCOMPARE(s.grid.BackColorSel(), qint32(0x8000000D));
                QCOMPARE(s.control.BackColorSel(), 0x00FF00);
                QCOMPARE(spy.count(), 0);
            } });
    addSurface("CellBackColor whichever cell is current", "CellBackColor",
        { [](Tessera &t) { return var(t.CellBackColor()); },
            [](Tessera &t, const QVariant &x) { t.setCellBackColor(as<qint32>(x)); },
            [](Scene &s) { return var(s.grid.CellBackColor()); }, var(0xEEEEEE), {}, {}, 0, true,
            false, true, true, {},
            [](Scene &s) {
                s.grid.setRow(5);
                s.grid.setCol(6);
                QVERIFY(s.grid.CellBackColor() != 0xEEEEEE);
                QCOMPARE(s.control.CellBackColor(), 0xEEEEEE);
            } });

    // Outside the grid: the two sizing writes skip the failure and still notify; the others fail.
    const Probe layout = [](Scene &s) {
        return QVariant(QVariantList { s.grid.Cols(), s.grid.ColWidth(1), s.grid.ColAlignment(1) });
    };
    const auto outside = [&](const char *row, const char *member, Write write, int error) {
        addSurface(row, member,
            { {}, write, layout, 0, layout(*std::make_unique<Scene>()), {}, error, error == 0,
                false, false });
    };
    outside(
        "ColWidth outside", "ColWidth",
        [](Tessera &t, const QVariant &) { t.setColWidth(99, 500); }, 0);
    outside(
        "ColAlignment outside", "ColAlignment",
        [](Tessera &t, const QVariant &) { t.setColAlignment(-1, tesAlignRightTop); }, 0);
    outside(
        "RowHeight outside", "RowHeight",
        [](Tessera &t, const QVariant &) { t.setRowHeight(40, 500); }, flexErrSubscript);
    outside(
        "ColData outside", "ColData", [](Tessera &t, const QVariant &) { t.setColData(12, 1); },
        flexErrSubscript);
    outside(
        "RowData outside", "RowData", [](Tessera &t, const QVariant &) { t.setRowData(-1, 1); },
        flexErrSubscript);
}

void tst_PropertySurface::surface()
{
    QFETCH(QString, member);
    QFETCH(SurfaceCase, c);

    Scene s(c.userMode);
    if (c.setup)
        c.setup(s);
    if (c.read && c.readsGrid)
        QVERIFY_SAME(c.read(s.control), c.landed(s));
    if (c.write) {
        const QVariant expected = c.expected.isValid() ? c.expected : c.value;
        if (c.mustChange)
            QVERIFY2(!same(c.landed(s), expected), "the row writes what is there already");
        QSignalSpy spy(&s.control, &Tessera::PropertyChanged);
        if (c.error) {
            QVERIFY_TESSERA_ERROR(c.write(s.control, c.value), c.error);
        } else {
            c.write(s.control, c.value);
            if (c.read)
                QVERIFY_SAME(c.read(s.control), c.readBack.isValid() ? c.readBack : c.value);
        }
        QVERIFY_SAME(c.landed(s), expected);
        QCOMPARE(spy.count(), c.notice ? 1 : 0);
        if (c.notice)
            QCOMPARE(spy.at(0).at(0).toString(), member);
    }
    if (c.extra)
        c.extra(s);
}

void tst_PropertySurface::ownWindowId()
{
    Scene a, b;
    const qint32 id = a.control.hWnd();
    QCOMPARE(a.control.hWnd(), id);
    QVERIFY(id != b.control.hWnd());
    QVERIFY(id != a.grid.hWnd());
    QVERIFY(!a.control.internalWinId()); // no native window was made for it
    QVariantList none;
    QCOMPARE(a.control.Invoke(0x68030001, InvokePropertyGet, none), QVariant(id));
}

void tst_PropertySurface::registeredMembers()
{
    QHash<QString, qint32> known;
    for (const InterfaceMember &m : kInterface)
        known.insert(QString::fromLatin1(m.name), m.id);
    QCOMPARE(known.size(), int(std::size(kInterface))); // the list itself has no duplicates

    QSet<qint32> ids;
    QSet<QString> registered;
    for (const DispatchMember &m : Tessera::DispatchMembers()) {
        QVERIFY2(known.contains(m.name), qPrintable(m.name));
        QCOMPARE(m.dispId, known.value(m.name));
        QVERIFY(m.kinds != 0
            && (m.kinds & ~(InvokeMethod | InvokePropertyGet | InvokePropertyPut)) == 0);
        QVERIFY2(!ids.contains(m.dispId), qPrintable(m.name));
        ids.insert(m.dispId);
        registered.insert(m.name);
        QCOMPARE(Tessera::DispIdOfName(m.name.toUpper()), m.dispId);
        QCOMPARE(Tessera::DispIdOfName(m.name.toLower()), m.dispId);
    }
    QStringList pending;
    for (const InterfaceMember &m : kInterface) {
        if (!registered.contains(QString::fromLatin1(m.name)))
            pending << QString::fromLatin1(m.name);
    }
    qInfo("%d of %d members registered; %d not yet: %s", int(registered.size()),
        int(std::size(kInterface)), int(pending.size()), qPrintable(pending.join(u' ')));
}

void tst_PropertySurface::invoke_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<InvokeCase>("c");
    const auto row = [](const char *name, const char *member, const InvokeCase &c) {
        QTest::newRow(name) << QString::fromLatin1(member) << c;
    };
    const auto get = InvokePropertyGet;
    const auto put = InvokePropertyPut;
    const auto call = InvokeMethod;
    const QFont serif(QStringLiteral("DejaVu Serif"), 11);

    // Plain get and put, one per result type.
    row("Long get", "BackColor", { get, {}, [](Tessera &t) { return QVariant(t.BackColor()); } });
    row("Integer get", "GridLineWidth",
        { get, {}, [](Tessera &t) { return QVariant::fromValue(t.GridLineWidth()); } });
    row("Boolean get", "ScrollTrack",
        { get, {}, [](Tessera &t) { return QVariant(t.ScrollTrack()); } });
    row("Single get", "CellFontSize",
        { get, {}, [](Tessera &t) { return QVariant(t.CellFontSize()); } });
    row("String get", "Text", { get, {}, [](Tessera &t) { return QVariant(t.Text()); } });
    row("font get", "Font", { get, {}, [](Tessera &t) { return QVariant(t.Font()); } });
    row("enumeration get", "CellAlignment",
        { get, {}, [](Tessera &t) { return QVariant(qint32(t.CellAlignment())); } });
    row("Long put", "BackColor",
        { put, { 0x123456 }, [](Tessera &t) { return t.setBackColor(0x123456), QVariant(); },
            [](Tessera &t) { return QVariant(t.BackColor()); } });
    row("Long put refused", "GridLines",
        { put, { 99 }, [](Tessera &t) { return t.setGridLines(99), QVariant(); } });
    row("font put", "Font",
        { put, { serif }, [serif](Tessera &t) { return t.setFont(serif), QVariant(); },
            [](Tessera &t) { return QVariant(t.Font()); } });
    row("Boolean put", "Enabled",
        { put, { false }, [](Tessera &t) { return t.setEnabled(false), QVariant(); },
            [](Tessera &t) { return QVariant(t.isEnabled()); } });
    row("cursor put", "Row",
        { put, { 5 }, [](Tessera &t) { return t.setRow(5), QVariant(); },
            [](Tessera &t) { return QVariant(t.Row()); } });
    // Indexed get and put: the index first, the value last.
    row("indexed get", "ColWidth",
        { get, { 2 }, [](Tessera &t) { return QVariant(t.ColWidth(2)); } });
    row("indexed get outside", "RowHeight",
        { get, { 40 }, [](Tessera &t) { return QVariant(t.RowHeight(40)); } });
    row("indexed put", "RowHeight",
        { put, { 3, 600 }, [](Tessera &t) { return t.setRowHeight(3, 600), QVariant(); },
            [](Tessera &t) { return QVariant(t.RowHeight(3)); } });
    row("indexed put outside", "RowData",
        { put, { 40, 1 }, [](Tessera &t) { return t.setRowData(40, 1), QVariant(); } });
    row("two indices get", "TextMatrix",
        { get, { 2, 1 }, [](Tessera &t) { return QVariant(t.TextMatrix(2, 1)); } });
    row("two indices get beyond the definitions", "TextMatrix",
        { get, { 2, 9 }, [](Tessera &t) { return QVariant(t.TextMatrix(2, 9)); } });
    row("write-only put", "TextMatrixWithFormat",
        { put, { 2, 1, QStringLiteral("x") },
            [](Tessera &t) {
                return t.setTextMatrixWithFormat(2, 1, QStringLiteral("x")), QVariant();
            },
            [](Tessera &t) { return QVariant(t.TextMatrix(2, 1)); } });
    // Methods, and a by-reference argument.
    row("method", "SetBackColorSel2Blank",
        { call, {}, [](Tessera &t) { return t.SetBackColorSel2Blank(), QVariant(); },
            [](Tessera &t) {
                return QVariant(TesseraPrivate::get(&t)->fxgGrid->BackColorSel());
            } });
    row("method with state", "SuspendLayout",
        { call, {}, [](Tessera &t) { return t.SuspendLayout(), QVariant(); },
            [](Tessera &t) { return QVariant(TesseraPrivate::get(&t)->layoutSuspended); } });
    row("by-reference argument", "EnumHeader",
        { call, { 28 },
            [](Tessera &t) {
                qint32 column = 28;
                return QVariant(t.EnumHeader(column));
            },
            {}, { 28 } });
}

void tst_PropertySurface::invoke()
{
    QFETCH(QString, member);
    QFETCH(InvokeCase, c);

    struct Outcome {
        QVariant value;
        int error = 0;
    };
    const auto run = [](const std::function<QVariant()> &f) {
        try {
            return Outcome { f() };
        } catch (const Error &e) {
            return Outcome { {}, e.number() };
        }
    };
    Scene direct, byId, byName;
    const Outcome expected = run([&] { return c.direct(direct.control); });
    QVariantList idArgs = c.args, nameArgs = c.args;
    const qint32 id = interfaceId(member);
    const Outcome viaId = run([&] { return byId.control.Invoke(id, c.kind, idArgs); });
    const Outcome viaName = run([&] { return byName.control.Invoke(member, c.kind, nameArgs); });

    for (const Outcome *o : { &viaId, &viaName }) {
        QCOMPARE(o->error, expected.error);
        QCOMPARE(o->value.typeId(), expected.value.typeId());
        QVERIFY_SAME(o->value, expected.value);
    }
    if (c.after) {
        QVERIFY_SAME(c.after(byId.control), c.after(direct.control));
        QVERIFY_SAME(c.after(byName.control), c.after(direct.control));
    }
    const QVariantList argsAfter = c.argsAfter.isEmpty() ? c.args : c.argsAfter;
    QCOMPARE(idArgs, argsAfter);
    QCOMPARE(nameArgs, argsAfter);
}

void tst_PropertySurface::badInput_data()
{
    QTest::addColumn<BadCase>("c");
    const auto row = [](const char *name, const BadCase &c) { QTest::newRow(name) << c; };
    constexpr int get = InvokePropertyGet, put = InvokePropertyPut, call = InvokeMethod;
    constexpr qint32 maxLong = std::numeric_limits<qint32>::max();
    constexpr qint32 minLong = std::numeric_limits<qint32>::min();
    const int none = 0;

    // Unknown members and kinds a member does not support.
    row("unknown id", { 0x12345678, {}, get, {}, errObjectDoesNotSupportMember });
    row("unknown name",
        { 0, QStringLiteral("BackColour"), get, {}, errObjectDoesNotSupportMember });
    row("empty name", { 0, QString(), get, {}, errObjectDoesNotSupportMember });
    row("name in any case",
        { 0, QStringLiteral("tExTmAtRiX"), get, { 2, 1 }, none, QStringLiteral("r2c1") });
    row("put of a read-only property",
        { 0x68030056, {}, put, { 100 }, errObjectDoesNotSupportMember });
    row("put of hWnd", { 0x68030001, {}, put, { 1 }, errObjectDoesNotSupportMember });
    row("get of a write-only property",
        { 0x6803002A, {}, get, { 2, 1 }, errObjectDoesNotSupportMember });
    row("get of a method", { 0x6003008C, {}, get, {}, errObjectDoesNotSupportMember });
    row("property called as a method", { 0x68030063, {}, call, {}, errObjectDoesNotSupportMember });
    row("kind 0", { 0x68030063, {}, 0, {}, errObjectDoesNotSupportMember });
    // Argument counts.
    row("get with an argument too many", { 0x68030063, {}, get, { 1 }, errArgumentNotOptional });
    row("put without a value", { 0x68030063, {}, put, {}, errArgumentNotOptional });
    row("one index of two", { 0x6803002B, {}, get, { 2 }, errArgumentNotOptional });
    row("indexed put without a value", { 0x6803004C, {}, put, { 2 }, errArgumentNotOptional });
    row("method with an argument", { 0x6003008C, {}, call, { 1 }, errArgumentNotOptional });
    row("by-reference argument missing", { 0x600300B0, {}, call, {}, errArgumentNotOptional });
    // Types.
    row("Long from a word", { 0x68030063, {}, put, { QStringLiteral("abc") }, errTypeMismatch });
    row("Long from a numeric text",
        { 0x68030063, {}, put, { QStringLiteral("12") }, none, {}, {},
            [](Tessera &t) { return QVariant(t.BackColor()); }, 12 });
    row("indices from numeric texts",
        { 0x6803002B, {}, get, { QStringLiteral("2"), QStringLiteral("1") }, none,
            QStringLiteral("r2c1") });
    row("index from a word", { 0x6803004C, {}, get, { QStringLiteral("x") }, errTypeMismatch });
    row("Long beyond 32 bits", { 0x6803004C, {}, get, { 3.0e9 }, errOverflow });
    row("Integer beyond 16 bits", { 0x68030040, {}, put, { 40000 }, errOverflow });
    row("Single from a word", { 0x6803000E, {}, put, { QStringLiteral("big") }, errTypeMismatch });
    row("Boolean from a word",
        { 0x6803002F, {}, put, { QStringLiteral("maybe") }, errTypeMismatch });
    row("Boolean from its text",
        { 0x6803002F, {}, put, { QStringLiteral("True") }, none, {}, {},
            [](Tessera &t) { return QVariant(t.ScrollTrack()); }, true });
    row("font from a text",
        { qint32(0xFFFFFE00), {}, put, { QStringLiteral("Arial") }, errTypeMismatch });
    row("font from a picture", { qint32(0xFFFFFE00), {}, put, { redSquare() }, errTypeMismatch });
    row("picture from a font", { 0x6803003A, {}, put, { QFont() }, errTypeMismatch });
    row("String from a font", { 0x68030045, {}, put, { QFont() }, errTypeMismatch });
    // By-reference arguments given as constants: converted, and written back as a Long.
    row("by-reference from a text",
        { 0x600300B0, {}, call, { QStringLiteral("28") }, none, QStringLiteral("AB"), { 28 } });
    row("by-reference from a Double",
        { 0x600300B0, {}, call, { 703.0 }, none, QStringLiteral("AAA"), { 703 } });
    row("by-reference from a word",
        { 0x600300B0, {}, call, { QStringLiteral("abc") }, errTypeMismatch, {},
            { QStringLiteral("abc") } });
    // Indices at the 32-bit limits: the grid's error, or the skipped write.
    row("index at the Long maximum", { 0x6803004C, {}, get, { maxLong }, flexErrSubscript });
    row("index at the Long minimum", { 0x68030050, {}, get, { minLong }, flexErrSubscript });
    row("put at the Long maximum", { 0x68030035, {}, put, { maxLong, 300 }, flexErrSubscript });
    row("text index at the Long maximum", { 0x6803002C, {}, get, { maxLong }, flexErrSubscript });
    row("cell at the Long maximum", { 0x6803002B, {}, get, { maxLong, 1 }, flexErrSubscript });
    row("column beyond the definitions",
        { 0x6803002B, {}, get, { 1, maxLong }, errSubscriptOutOfRange });
    row("skipped write at the Long maximum",
        { 0x6803004C, {}, put, { maxLong, 300 }, none, {}, {},
            [](Tessera &t) { return QVariant(t.Cols()); }, 12 });
}

void tst_PropertySurface::badInput()
{
    QFETCH(BadCase, c);

    Scene s;
    QVariantList args = c.args;
    const auto kind = InvokeKind(c.kind);
    const auto call = [&] {
        return c.id ? s.control.Invoke(c.id, kind, args) : s.control.Invoke(c.name, kind, args);
    };
    if (c.error) {
        QVERIFY_TESSERA_ERROR(call(), c.error);
    } else {
        QVERIFY_SAME(call(), c.result);
    }
    QVERIFY_SAME(args, c.argsAfter.isEmpty() ? c.args : c.argsAfter);
    if (c.after)
        QVERIFY_SAME(c.after(s.control), c.afterValue);
    if (c.id == 0 && c.error == errObjectDoesNotSupportMember)
        QVERIFY_TESSERA_ERROR(Tessera::DispIdOfName(c.name), errObjectDoesNotSupportMember);
}

QTEST_MAIN(tst_PropertySurface)
#include "tst_property_surface.moc"
