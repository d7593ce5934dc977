// The FlexGrid members a host calls from code (their errors are in tst_flexgrid_bad_input; plain
// settings and the Compare event in the control's surface and event tests): OLE colours, the cursor
// under new dimensions, text, Clip, FormatString, AddItem and RemoveItem, FillStyle ranges, Sort,
// column moves, geometry in twips, Redraw, fonts and binding.
#include <FlexGridTestHelpers.h>

#include <TestHelpers.h>
#include <tessera/FlexGrid.h>
#include <tessera/Recordset.h>

#include <QPalette>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace tessera;
using namespace tessera::test;

using GridAction = std::function<void(FlexGrid &)>;
Q_DECLARE_METATYPE(GridAction)

namespace {

// A grid of 5 rows x 4 columns with "r,c" texts, not shown.
std::unique_ptr<FlexGrid> filledGrid(int rows = 5, int cols = 4)
{
    auto grid = std::make_unique<FlexGrid>();
    grid->resize(400, 300);
    grid->setRows(rows);
    grid->setCols(cols);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            grid->setTextMatrix(r, c, QStringLiteral("%1,%2").arg(r).arg(c));
    return grid;
}

QStringList column(const FlexGrid &grid, int col)
{
    QStringList out;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r)
        out << grid.TextMatrix(r, col);
    return out;
}

} // namespace

class tst_FlexGridMembers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowIds();
    void oleColors_data();
    void oleColors();
    void dimensionsKeepTheCursorInside();
    void textArrayAndText();
    void readTextMatrixWritesOnlyItsOwnBuffer_data();
    void readTextMatrixWritesOnlyItsOwnBuffer();
    void clip_data();
    void clip();
    void formatString_data();
    void formatString();
    void formatStringWidthsFollowText();
    void addItemAndRemoveItem();
    void fillStyleReachesSelection_data();
    void fillStyleReachesSelection();
    void sortRangeAndKeys_data();
    void sortRangeAndKeys();
    void colPositionMovesColumn();
    void geometryInTwips();
    void rowSizingAll();
    void redrawSuppressesPainting();
    void sameCellFormatAgainPaintsNothing();
    void bindingShowsRecordsetAndRefreshes();
    void fixedFontFollowsFont();
    void sortMovesCellFormats();
    void dataBindings();
};

void tst_FlexGridMembers::windowIds()
{
    // Each grid has its own stable id.
    FlexGrid grid, other;
    QVERIFY(grid.hWnd() != other.hWnd());
    QCOMPARE(grid.hWnd(), grid.hWnd());
}

void tst_FlexGridMembers::oleColors_data()
{
    QTest::addColumn<qint32>("ole");
    QTest::addColumn<QColor>("expected");
    // Byte order, and one system colour taken from the palette.
    QTest::newRow("red") << qint32(0x0000FF) << QColor(255, 0, 0);
    QTest::newRow("blue") << qint32(0xFF0000) << QColor(0, 0, 255);
    QTest::newRow("mixed") << qint32(0x336699) << QColor(0x99, 0x66, 0x33);
    QTest::newRow("button face") << qint32(0x8000000F) << QPalette().color(QPalette::Button);
}

void tst_FlexGridMembers::oleColors()
{
    QFETCH(qint32, ole);
    QFETCH(QColor, expected);
    QCOMPARE(tessera::oleColorToQColor(ole, QPalette()), expected);
    if (!(quint32(ole) & 0x80000000u))
        QCOMPARE(tessera::qColorToOleColor(expected), ole);
}

void tst_FlexGridMembers::dimensionsKeepTheCursorInside()
{
    // (What the cells keep is the model's test.) The cursor stays inside the grid.
    auto grid = filledGrid(5, 4);
    grid->setRows(8);
    grid->setRow(7);
    grid->setRows(4);
    QCOMPARE(grid->Row(), 3);
    // Fixed counts move the cursor out of the fixed area.
    grid->setFixedRows(2);
    grid->setFixedCols(0);
    QCOMPARE(grid->Row(), 3);
    grid->setRow(2);
    grid->setFixedRows(3);
    QCOMPARE(grid->Row(), 3);
    QCOMPARE(grid->TopRow(), 3);
}

void tst_FlexGridMembers::textArrayAndText()
{
    auto grid = filledGrid(5, 4);
    QCOMPARE(grid->TextArray(0), QStringLiteral("0,0"));
    QCOMPARE(grid->TextArray(4 * 2 + 3), QStringLiteral("2,3"));
    QCOMPARE(grid->TextArray(19), QStringLiteral("4,3"));
    grid->setTextArray(4 * 3 + 1, QStringLiteral("x"));
    QCOMPARE(grid->TextMatrix(3, 1), QStringLiteral("x"));
    grid->setRow(3);
    grid->setCol(1);
    QCOMPARE(grid->Text(), QStringLiteral("x"));
    grid->setText(QStringLiteral("y"));
    QCOMPARE(grid->TextMatrix(3, 1), QStringLiteral("y"));
    // With FillStyle 1, Text reaches the whole selection.
    grid->setRowSel(4);
    grid->setColSel(2);
    grid->setFillStyle(1);
    grid->setText(QStringLiteral("z"));
    QCOMPARE(column(*grid, 2), (QStringList { "1,2", "2,2", "z", "z" }));
    QCOMPARE(grid->TextMatrix(2, 1), QStringLiteral("2,1"));
    QCOMPARE(grid->TextMatrix(4, 3), QStringLiteral("4,3"));
}

void tst_FlexGridMembers::readTextMatrixWritesOnlyItsOwnBuffer_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("short, in the handle") << QStringLiteral("ab");
    QTest::newRow("Latin-1") << QStringLiteral("1.234,50 été");
    QTest::newRow("UTF-16") << QStringLiteral("日本語のテキスト");
    QTest::newRow("long") << QString(5000, QLatin1Char('x'));
}

// Reading into a string reuses its buffer, so a string that shares it with another must be
// detached first: the other copy keeps its text.
void tst_FlexGridMembers::readTextMatrixWritesOnlyItsOwnBuffer()
{
    QFETCH(QString, text);
    auto grid = filledGrid();
    grid->setTextMatrix(2, 1, text);
    const QString before = QStringLiteral("an earlier, longer text than most cells hold");
    QString into = before;
    into.detach();
    QString sharer = into;
    grid->readTextMatrix(2, 1, into);
    QCOMPARE(into, text);
    QCOMPARE(sharer, before);
    // Alone with its buffer, the string is written in place.
    sharer = QString();
    QString again = grid->TextMatrix(1, 1);
    again.reserve(64);
    const QChar *buffer = again.constData();
    grid->readTextMatrix(2, 2, again);
    QCOMPARE(again, QStringLiteral("2,2"));
    QCOMPARE(again.constData(), buffer);
}

void tst_FlexGridMembers::clip_data()
{
    QTest::addColumn<QList<int>>("selection"); // row, col, rowSel, colSel
    QTest::addColumn<QString>("setText");
    QTest::addColumn<QStringList>("expectedRows"); // rows 1..4 joined with "|"

    QTest::newRow("block fills selection only")
        << QList<int> { 1, 1, 2, 2 } << "a\tb\tc\rd\te\rf"
        << QStringList { "a|b|1,3", "d|e|2,3", "3,1|3,2|3,3", "4,1|4,2|4,3" };
    QTest::newRow("single cell spreads as far as the grid")
        << QList<int> { 3, 2, 3, 2 } << "a\tb\tc\rd\te\rf\tg"
        << QStringList { "1,1|1,2|1,3", "2,1|2,2|2,3", "3,1|a|b", "4,1|d|e" };
    QTest::newRow("short block leaves the rest") << QList<int> { 1, 1, 3,
        3 } << "a" << QStringList { "a|1,2|1,3", "2,1|2,2|2,3", "3,1|3,2|3,3", "4,1|4,2|4,3" };
    QTest::newRow("selection above-left of the cursor") << QList<int> { 2, 2, 1,
        1 } << "a\tb\rc\td" << QStringList { "a|b|1,3", "c|d|2,3", "3,1|3,2|3,3", "4,1|4,2|4,3" };
    QTest::newRow("CRLF line breaks and a trailing one")
        << QList<int> { 1, 1, 4, 3 } << "a\tb\r\nc\td\r\n"
        << QStringList { "a|b|1,3", "c|d|2,3", "3,1|3,2|3,3", "4,1|4,2|4,3" };
    QTest::newRow("empty cells in the block") << QList<int> { 1, 1, 1,
        3 } << "\tmid\t" << QStringList { "|mid|", "2,1|2,2|2,3", "3,1|3,2|3,3", "4,1|4,2|4,3" };
}

void tst_FlexGridMembers::clip()
{
    QFETCH(QList<int>, selection);
    QFETCH(QString, setText);
    QFETCH(QStringList, expectedRows);
    auto grid = filledGrid(5, 4);
    grid->setRow(selection[0]);
    grid->setCol(selection[1]);
    grid->setRowSel(selection[2]);
    grid->setColSel(selection[3]);
    grid->setClip(setText);
    QStringList rows;
    for (int r = 1; r < 5; ++r) {
        QStringList cells;
        for (int c = 1; c < 4; ++c)
            cells << grid->TextMatrix(r, c);
        rows << cells.join(QLatin1Char('|'));
    }
    QCOMPARE(rows, expectedRows);
    // Reading back gives the selection's cells, tab between cells and CR between rows.
    const int r1 = std::min(selection[0], selection[2]), r2 = std::max(selection[0], selection[2]);
    const int c1 = std::min(selection[1], selection[3]), c2 = std::max(selection[1], selection[3]);
    QStringList lines;
    for (int r = r1; r <= r2; ++r) {
        QStringList cells;
        for (int c = c1; c <= c2; ++c)
            cells << grid->TextMatrix(r, c);
        lines << cells.join(QLatin1Char('\t'));
    }
    QCOMPARE(grid->Clip(), lines.join(QLatin1Char('\r')));
}

void tst_FlexGridMembers::formatString_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("header"); // row 0
    QTest::addColumn<QList<int>>("alignments"); // ColAlignment of each column
    QTest::addColumn<QStringList>("rowHeaders"); // column 0 from row 1 on

    QTest::newRow("columns with alignment")
        << "|<Name|^Qty|>Price" << 4 << 5 << QStringList { "", "Name", "Qty", "Price" }
        << QList<int> { 9, 1, 4, 7 } << QStringList { "1,0", "2,0", "3,0", "4,0" };
    QTest::newRow("fewer columns")
        << "A|B" << 2 << 5 << QStringList { "A", "B" } << QList<int> { 9, 9 }
        << QStringList { "1,0", "2,0", "3,0", "4,0" };
    QTest::newRow("row headers") << "|x|y;|One|Two|Three|Four|Five|Six" << 3 << 7
                                 << QStringList { "", "x", "y" } << QList<int> { 9, 9, 9 }
                                 << QStringList { "One", "Two", "Three", "Four", "Five", "Six" };
    // The row part sets the number of rows, as the column part sets the columns.
    QTest::newRow("only row headers")
        << ";|r1|r2" << 4 << 3 << QStringList { "0,0", "0,1", "0,2", "0,3" }
        << QList<int> { 9, 9, 9, 9 } << QStringList { "r1", "r2" };
}

void tst_FlexGridMembers::formatString()
{
    QFETCH(QString, format);
    auto grid = filledGrid(5, 4);
    grid->setFormatString(format);
    QCOMPARE(grid->FormatString(), format);
    QTEST(int(grid->Cols()), "cols");
    QTEST(int(grid->Rows()), "rows");
    QStringList header, rowHeaders;
    QList<int> alignments;
    for (int c = 0; c < grid->Cols(); ++c) {
        header << grid->TextMatrix(0, c);
        alignments << grid->ColAlignment(c);
    }
    for (int r = 1; r < grid->Rows(); ++r)
        rowHeaders << grid->TextMatrix(r, 0);
    QTEST(header, "header");
    QTEST(alignments, "alignments");
    QTEST(rowHeaders, "rowHeaders");
}

void tst_FlexGridMembers::formatStringWidthsFollowText()
{
    auto grid = filledGrid(3, 2);
    grid->setFormatString(
        QStringLiteral("|Id|A much longer caption|Qty;|a row header of some length"));
    QCOMPARE(grid->Cols(), 4);
    QVERIFY(grid->ColWidth(1) > 0);
    QVERIFY(grid->ColWidth(2) > 3 * grid->ColWidth(1));
    QVERIFY(grid->ColWidth(3) > grid->ColWidth(1));
    // Column 0 has no header text but takes the width of the row headers.
    QVERIFY(grid->ColWidth(0) > grid->ColWidth(3));
    // Without row headers, a column without a caption keeps its width.
    auto other = filledGrid(3, 2);
    other->setColWidth(0, 300);
    other->setFormatString(QStringLiteral("|Name"));
    QCOMPARE(other->ColWidth(0), 300);
}

void tst_FlexGridMembers::addItemAndRemoveItem()
{
    auto grid = filledGrid(3, 3);
    grid->AddItem(QStringLiteral("new\ta\tb"));
    QCOMPARE(grid->Rows(), 4);
    QCOMPARE(grid->TextMatrix(3, 0), QStringLiteral("new"));
    QCOMPARE(grid->TextMatrix(3, 2), QStringLiteral("b"));
    grid->AddItem(QStringLiteral("mid\tx"), 1);
    QCOMPARE(grid->Rows(), 5);
    QCOMPARE(column(*grid, 0), (QStringList { "mid", "1,0", "2,0", "new" }));
    QCOMPARE(grid->TextMatrix(1, 2), QString()); // missing cells are empty
    // More cells than columns: the extra ones are dropped.
    grid->AddItem(QStringLiteral("a\tb\tc\td\te"));
    QCOMPARE(grid->Cols(), 3);
    QCOMPARE(grid->TextMatrix(5, 2), QStringLiteral("c"));
    grid->RemoveItem(2);
    QCOMPARE(column(*grid, 0), (QStringList { "mid", "2,0", "new", "a" }));
    grid->RemoveItem(grid->Rows() - 1);
    QCOMPARE(grid->Rows(), 4);
    // Removing rows down to the fixed row is allowed, one more is not.
    grid->RemoveItem(1);
    grid->RemoveItem(1);
    grid->RemoveItem(1);
    QCOMPARE(grid->Rows(), 1);
    QVERIFY_TESSERA_ERROR(grid->RemoveItem(0), flexErrFixedCount);
    grid->AddItem(QStringLiteral("back"));
    QCOMPARE(grid->TextMatrix(1, 0), QStringLiteral("back"));
}

void tst_FlexGridMembers::fillStyleReachesSelection_data()
{
    QTest::addColumn<int>("fillStyle");
    QTest::addColumn<int>("selectionMode");
    QTest::addColumn<GridAction>("format");
    QTest::addColumn<std::function<QString(const FlexGrid &)>>("read");
    QTest::addColumn<QString>("formatted");

    auto row = [](const char *name, GridAction set, std::function<QString(const FlexGrid &)> get,
                   QString value) {
        QTest::newRow(qPrintable(QStringLiteral("%1 fill 1").arg(QLatin1String(name))))
            << 1 << 0 << set << get << value;
        // A by-row or by-column highlight must not widen what a fill reaches.
        QTest::newRow(qPrintable(QStringLiteral("%1 fill 1 by row").arg(QLatin1String(name))))
            << 1 << 1 << set << get << value;
        QTest::newRow(qPrintable(QStringLiteral("%1 fill 0 by column").arg(QLatin1String(name))))
            << 0 << 2 << set << get << value;
    };
    // Each Cell member, set to a value that is not its default and read back as text.
#define CELL(Name, value, shown)                                                                   \
    row(                                                                                           \
        #Name, [](FlexGrid &g) { g.set##Name(value); },                                            \
        [](const FlexGrid &g) { return QVariant(g.Name()).toString(); }, shown)
    CELL(CellBackColor, 0x0000FF, "255");
    CELL(CellForeColor, 0x00FF00, "65280");
    CELL(CellAlignment, 7, "7");
    CELL(CellTextStyle, 2, "2");
    CELL(CellFontBold, true, "true");
    CELL(CellFontItalic, true, "true");
    CELL(CellFontUnderline, true, "true");
    CELL(CellFontStrikeThrough, true, "true");
    CELL(CellFontName, "Wingdings", "Wingdings");
    CELL(CellFontSize, 21.5f, "21.5");
    CELL(CellFontWidth, 6, "6");
    CELL(CellPictureAlignment, 10, "10");
#undef CELL
    row(
        "CellPicture",
        [](FlexGrid &g) {
            QPixmap p(5, 7);
            p.fill(Qt::red);
            g.setCellPicture(p);
        },
        [](const FlexGrid &g) {
            const QSize s = g.CellPicture().size();
            return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
        },
        "5x7");
}

void tst_FlexGridMembers::fillStyleReachesSelection()
{
    QFETCH(int, fillStyle);
    QFETCH(int, selectionMode);
    QFETCH(GridAction, format);
    QFETCH(std::function<QString(const FlexGrid &)>, read);
    QFETCH(QString, formatted);
    auto grid = filledGrid(8, 6);
    grid->setSelectionMode(qint16(selectionMode));
    // Selection rows 2..4, columns 3..4, the cursor on its lower right corner.
    grid->setRow(4);
    grid->setCol(4);
    grid->setRowSel(2);
    grid->setColSel(3);
    grid->setFillStyle(qint16(fillStyle));
    format(*grid);
    grid->setFillStyle(0);
    for (int r = 1; r < 8; ++r) {
        for (int c = 1; c < 6; ++c) {
            grid->setRow(r);
            grid->setCol(c);
            const bool inSelection = r >= 2 && r <= 4 && c >= 3 && c <= 4;
            const bool reached = fillStyle == 1 ? inSelection : (r == 4 && c == 4);
            QVERIFY2((read(*grid) == formatted) == reached,
                qPrintable(QStringLiteral("cell %1,%2: %3").arg(r).arg(c).arg(read(*grid))));
        }
    }
}

void tst_FlexGridMembers::sortRangeAndKeys_data()
{
    QTest::addColumn<QList<int>>("selection"); // row, col, rowSel, colSel
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("expectedIds"); // column 0 of rows 1..6 afterwards

    // Column 1 holds numbers as text, column 2 names, column 3 a second key.
    QTest::newRow("all rows when Row = RowSel, numeric ascending")
        << QList<int> { 3, 1, 3, 1 } << 3 << QStringList { "e", "c", "a", "f", "b", "d" };
    QTest::newRow("generic descending on numbers")
        << QList<int> { 1, 1, 1, 1 } << 2 << QStringList { "d", "b", "f", "a", "c", "e" };
    QTest::newRow("only Row..RowSel")
        << QList<int> { 2, 1, 4, 1 } << 4 << QStringList { "a", "d", "b", "c", "e", "f" };
    QTest::newRow("RowSel above Row")
        << QList<int> { 4, 1, 2, 1 } << 4 << QStringList { "a", "d", "b", "c", "e", "f" };
    QTest::newRow("text ignoring case, two keys")
        << QList<int> { 1, 2, 1, 3 } << 5 << QStringList { "b", "f", "d", "a", "e", "c" };
    QTest::newRow("text, case matters")
        << QList<int> { 1, 2, 1, 2 } << 7 << QStringList { "b", "c", "f", "a", "d", "e" };
    QTest::newRow("stable on equal keys")
        << QList<int> { 1, 2, 1, 2 } << 6 << QStringList { "c", "a", "d", "e", "b", "f" };
}

void tst_FlexGridMembers::sortRangeAndKeys()
{
    QFETCH(QList<int>, selection);
    QFETCH(int, code);
    auto grid = filledGrid(7, 4);
    const QStringList ids = { "a", "b", "c", "d", "e", "f" };
    const QStringList numbers = { "10", "200", "9.5", "1000", "-3", "100" };
    const QStringList names = { "pear", "Apple", "Zed", "pear", "pear", "apple" };
    const QStringList second = { "2", "1", "0", "1", "3", "2" };
    for (int i = 0; i < 6; ++i) {
        grid->setTextMatrix(i + 1, 0, ids[i]);
        grid->setTextMatrix(i + 1, 1, numbers[i]);
        grid->setTextMatrix(i + 1, 2, names[i]);
        grid->setTextMatrix(i + 1, 3, second[i]);
    }
    grid->setRow(selection[0]);
    grid->setCol(selection[1]);
    grid->setRowSel(selection[2]);
    grid->setColSel(selection[3]);
    grid->setSort(qint16(code));
    QTEST(column(*grid, 0), "expectedIds");
    QCOMPARE(grid->TextMatrix(0, 0), QStringLiteral("0,0")); // the fixed row stays on top
}

void tst_FlexGridMembers::colPositionMovesColumn()
{
    auto grid = filledGrid(3, 5);
    grid->setColWidth(1, 1500);
    grid->setColAlignment(1, 7);
    grid->setColData(1, 11);
    grid->setColPosition(1, 3);
    QStringList row1;
    for (int c = 0; c < 5; ++c)
        row1 << grid->TextMatrix(1, c);
    QCOMPARE(row1, (QStringList { "1,0", "1,2", "1,3", "1,1", "1,4" }));
    QCOMPARE(grid->ColWidth(3), 1500);
    QCOMPARE(grid->ColAlignment(3), qint16(7));
    QCOMPARE(grid->ColData(3), 11);
    QCOMPARE(grid->ColWidth(1), -1);
    grid->setColPosition(3, 1);
    QCOMPARE(grid->TextMatrix(2, 1), QStringLiteral("2,1"));
}

void tst_FlexGridMembers::geometryInTwips()
{
    auto grid = shownGrid(20, 6, QSize(500, 300));
    // Sizes read back in exact twips, whatever pixels they are drawn with.
    for (int twips : { 80, 1001, 2350, 1 }) {
        grid->setColWidth(3, twips);
        QCOMPARE(grid->ColWidth(3), twips);
        grid->setRowHeight(3, twips);
        QCOMPARE(grid->RowHeight(3), twips);
    }
    grid->setRowHeight(3, -1);
    grid->setColWidth(2, 1500);
    QCOMPARE(grid->ColWidth(2), 1500);
    grid->setColWidth(3, -1);
    QCOMPARE(grid->ColWidth(3), -1);
    // Positions follow the widths.
    QCOMPARE(grid->ColPos(3) - grid->ColPos(2), 1500);
    QCOMPARE(grid->ColPos(2) - grid->ColPos(1), 64 * TwipsPerPixel);
    grid->setRowHeight(4, 600);
    QCOMPARE(grid->RowHeight(4), 600);
    QCOMPARE(grid->RowPos(5) - grid->RowPos(4), 600);
    // The current cell's box.
    grid->setRow(4);
    grid->setCol(2);
    QCOMPARE(grid->CellLeft(), grid->ColPos(2));
    QCOMPARE(grid->CellTop(), grid->RowPos(4));
    QCOMPARE(grid->CellWidth(), 1500);
    QCOMPARE(grid->CellHeight(), 600);
    grid->setColWidth(2, 1000);
    QCOMPARE(grid->CellWidth(), 1000);
    // Scrolling moves data rows, not the fixed one.
    const int fixedTop = grid->RowPos(0);
    grid->setTopRow(4);
    QCOMPARE(grid->RowPos(0), fixedTop);
    QCOMPARE(grid->RowPos(4), grid->RowPos(0) + grid->RowHeight(0));
    QVERIFY(!grid->RowIsVisible(3));
    QVERIFY(grid->RowIsVisible(4));
    QVERIFY(!grid->RowIsVisible(19));
    // RowHeightMin raises the default height, and a smaller height set later.
    const int before = grid->RowHeight(10);
    grid->setRowHeightMin(before + 301);
    QCOMPARE(grid->RowHeight(10), before + 301);
    grid->setRowHeight(11, 100);
    QCOMPARE(grid->RowHeight(11), before + 301);
    // Placement in the container.
    QWidget form;
    auto *placed = new FlexGrid(&form);
    placed->Move(150, 300, 3000, 1500);
    QCOMPARE(placed->geometry(), QRect(10, 20, 200, 100));
    QCOMPARE(placed->Left(), 150);
    QCOMPARE(placed->Top(), 300);
    QCOMPARE(placed->Width(), 3000);
    placed->setHeight(750);
    QCOMPARE(placed->Height(), 750);
    placed->Move(30);
    QCOMPARE(placed->geometry(), QRect(2, 20, 200, 50));
}

void tst_FlexGridMembers::rowSizingAll()
{
    auto grid = filledGrid(6, 2);
    grid->setRowHeight(2, 450);
    grid->setRowSizingMode(1);
    QCOMPARE(grid->RowSizingMode(), qint16(1));
    grid->setRowHeight(0, 600);
    grid->setRowSizingMode(0);
    for (int r = 0; r < 6; ++r)
        QCOMPARE(grid->RowHeight(r), 600);
    grid->setRowHeight(3, 300);
    QCOMPARE(grid->RowHeight(3), 300);
    QCOMPARE(grid->RowHeight(4), 600);
}

void tst_FlexGridMembers::redrawSuppressesPainting()
{
    auto grid = shownGrid(10, 4);
    QCoreApplication::processEvents();
    grid->setTextMatrix(1, 1, QStringLiteral("before"));
    QTest::qWait(20);
    const QImage before = grid->viewport()->grab().toImage();

    grid->setRedraw(false);
    for (int r = 1; r < 10; ++r)
        grid->setTextMatrix(r, 2, QStringLiteral("bulk"));
    grid->setCellBackColor(0x0000FF);
    PaintCounter counter;
    grid->viewport()->installEventFilter(&counter);
    QTest::qWait(50);
    QCOMPARE(counter.paints, 0); // no repaint was even asked for

    grid->setRedraw(true);
    QTRY_VERIFY(counter.paints > 0);
    const QImage after = grid->viewport()->grab().toImage();
    QVERIFY(after != before);
    const QPoint cell = cellTopLeft(*grid, 1, 1) + QPoint(2, 2);
    QCOMPARE(after.pixelColor(cell), QColor(255, 0, 0));
}

// A cell given the format it already has changes nothing on screen: no repaint is asked for
// (the control resets the colour of every cell its cursor leaves).
void tst_FlexGridMembers::sameCellFormatAgainPaintsNothing()
{
    auto grid = shownGrid(10, 4);
    PaintCounter counter;
    grid->viewport()->installEventFilter(&counter);
    grid->setRow(2);
    grid->setCol(2);
    grid->setCellBackColor(0x00FF00);
    QTRY_VERIFY(counter.paints > 0);
    QTest::qWait(30);
    counter.paints = 0;
    grid->setCellBackColor(0x00FF00);
    QTest::qWait(50);
    QCOMPARE(counter.paints, 0);
    grid->setCellBackColor(0x0000FF);
    QTRY_VERIFY(counter.paints > 0);
    QCOMPARE(grid->CellBackColor(), 0x0000FF);
}

void tst_FlexGridMembers::bindingShowsRecordsetAndRefreshes()
{
    auto rs = std::make_shared<tessera::Recordset>();
    rs->Fields().Append(QStringLiteral("Name"), tessera::adVarWChar, 20);
    rs->Fields().Append(QStringLiteral("Qty"), tessera::adInteger);
    rs->Open();
    const QStringList names = { "bolt", "nut", "screw", "washer" };
    for (int i = 0; i < names.size(); ++i) {
        rs->AddNew();
        rs->setCollect(QStringLiteral("Name"), names[i]);
        rs->setCollect(QStringLiteral("Qty"), (i + 1) * 10);
        rs->Update();
    }
    auto grid = filledGrid(3, 2);
    grid->setDataSource(rs);
    QCOMPARE(grid->DataSource(), rs);
    QCOMPARE(grid->Rows(), 1 + 4);
    QCOMPARE(grid->Cols(), 1 + 2);
    QCOMPARE(grid->TextMatrix(0, 1), QStringLiteral("Name"));
    QCOMPARE(grid->TextMatrix(0, 2), QStringLiteral("Qty"));
    QCOMPARE(column(*grid, 1), names);
    QCOMPARE(grid->TextMatrix(4, 2), QStringLiteral("40"));
    QCOMPARE(grid->DataField(0, 1), QStringLiteral("Name"));
    QCOMPARE(grid->DataField(0, 2), QStringLiteral("Qty"));
    QCOMPARE(grid->DataField(0, 0), QString());
    QCOMPARE(grid->Row(), 1);
    QCOMPARE(grid->Col(), 1);

    // What a host writes stays through Refresh while the view is unchanged: data cells, the
    // header row, a removed column and the grid's own sort.
    grid->setTextMatrix(2, 1, QStringLiteral("NUT"));
    grid->setTextMatrix(0, 1, QStringLiteral("Article"));
    grid->setTextMatrix(3, 2, QStringLiteral("30.00"));
    grid->setCols(2);
    grid->setRow(1);
    grid->setCol(1);
    grid->setSort(2); // generic descending by name: capitals first
    const QStringList sorted { "washer", "screw", "bolt", "NUT" };
    QCOMPARE(column(*grid, 1), sorted);
    grid->Refresh();
    rs->setFilter(QStringLiteral("Qty > 15"));
    rs->setFilter(0); // lifted and put back as it was: no change
    grid->Refresh();
    QCOMPARE(column(*grid, 1), sorted);
    QCOMPARE(grid->TextMatrix(0, 1), QStringLiteral("Article"));
    QCOMPARE(grid->Cols(), 2);

    // A real change of the view: rows follow their records, written text included.
    rs->setFilter(QStringLiteral("Qty > 15"));
    grid->Refresh();
    QCOMPARE(column(*grid, 1), (QStringList { "NUT", "screw", "washer" }));
    QCOMPARE(grid->TextMatrix(0, 1), QStringLiteral("Article"));
    // (Records another cursor adds or deletes are the model's test.) Unbinding leaves the cells
    // as they are.
    grid->setDataSource(nullptr);
    QCOMPARE(grid->DataSource(), tessera::RecordsetPtr());
    QCOMPARE(column(*grid, 1), (QStringList { "NUT", "screw", "washer" }));
    QCOMPARE(grid->DataField(0, 1), QString());
    grid->setTextMatrix(1, 1, QStringLiteral("own"));
    QCOMPARE(grid->TextMatrix(1, 1), QStringLiteral("own"));
}

void tst_FlexGridMembers::fixedFontFollowsFont()
{
    auto grid = filledGrid();
    QFont font = grid->Font();
    font.setPointSize(9);
    grid->setFont(font);
    // Handed the grid's own font, the second font shares it from then on.
    grid->setFontFixed(grid->Font());
    font.setPointSize(20);
    grid->setFont(font);
    QCOMPARE(grid->FontFixed().pointSize(), 20);
    // A font of its own stays its own.
    QFont own = font;
    own.setFamily(QStringLiteral("DejaVu Serif"));
    own.setPointSize(7);
    grid->setFontFixed(own);
    font.setPointSize(11);
    grid->setFont(font);
    QCOMPARE(grid->FontFixed().pointSize(), 7);
}

void tst_FlexGridMembers::sortMovesCellFormats()
{
    // A sign-arrow column: each arrow's colour must stay with it through a sort.
    auto grid = filledGrid(6, 3);
    const QList<std::pair<QString, qint32>> arrows { { "5", 0x009900 }, { "-3", 0x0000FF },
        { "0", 0x000000 }, { "7", 0x009900 }, { "-1", 0x0000FF } };
    for (int i = 0; i < arrows.size(); ++i) {
        grid->setTextMatrix(i + 1, 2, arrows[i].first);
        grid->setRow(i + 1);
        grid->setCol(2);
        grid->setCellForeColor(arrows[i].second);
    }
    grid->setRow(1);
    grid->setCol(2);
    grid->setSort(3);
    QCOMPARE(column(*grid, 2), (QStringList { "-3", "-1", "0", "5", "7" }));
    for (int r = 1; r < grid->Rows(); ++r) {
        grid->setRow(r);
        grid->setCol(2);
        QCOMPARE(grid->CellForeColor(),
            grid->TextMatrix(r, 2).toInt() > 0       ? 0x009900
                : grid->TextMatrix(r, 2).toInt() < 0 ? 0x0000FF
                                                     : 0x000000);
    }
}

void tst_FlexGridMembers::dataBindings()
{
    FlexGrid grid;
    DataBindingCollection &bindings = grid.DataBindings();
    QCOMPARE(bindings.Count(), 0);
    bindings.Add(QStringLiteral("Text"), QStringLiteral("Name"));
    bindings.Add(QStringLiteral("Tag"));
    QCOMPARE(bindings.Count(), 2);
    QCOMPARE(bindings.Item(0).DataField, QStringLiteral("Name"));
    // Names compare without regard to case; adding again re-points the binding.
    bindings.Add(QStringLiteral("TEXT"), QStringLiteral("Code"));
    QCOMPARE(bindings.Count(), 2);
    QCOMPARE(bindings.Item(QStringLiteral("text")).DataField, QStringLiteral("Code"));
    bindings.Item(1).DataField = QStringLiteral("Qty");
    QCOMPARE(grid.DataBindings().Item(QStringLiteral("Tag")).DataField, QStringLiteral("Qty"));
    bindings.Remove(QStringLiteral("text"));
    QCOMPARE(bindings.Count(), 1);
    QCOMPARE(bindings.Item(0).PropertyName, QStringLiteral("Tag"));
    QVERIFY_TESSERA_ERROR(bindings.Item(1), errSubscriptOutOfRange);
    QVERIFY_TESSERA_ERROR(bindings.Item(QStringLiteral("Text")), errSubscriptOutOfRange);
    QVERIFY_TESSERA_ERROR(bindings.Remove(QStringLiteral("Text")), errSubscriptOutOfRange);
    QVERIFY_TESSERA_ERROR(bindings.Add(QString()), errInvalidProcedureCall);
    QCOMPARE(bindings.Count(), 1);
}

QTEST_MAIN(tst_FlexGridMembers)
#include "tst_flexgrid_members.moc"
