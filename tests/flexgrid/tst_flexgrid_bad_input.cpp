// FlexGrid against bad host input: indices just past either end or extreme, counts too large or
// negative, out-of-range settings, non-finite sizes, enormous and malformed texts (NULs, lone
// surrogates, a million tabs). A rejected call raises its error and exact description and leaves
// the grid as it was; an accepted one keeps every cell it was not asked to change.
#include <FlexGridTestHelpers.h>

#include <TestHelpers.h>
#include <tessera/FlexGrid.h>

#include <QTest>

#include <cmath>
#include <functional>
#include <limits>

using namespace tessera;

using GridAction = std::function<void(FlexGrid &)>;
// Returns an empty text when the grid is as expected, else what is wrong.
using GridCheck = std::function<QString(FlexGrid &)>;
Q_DECLARE_METATYPE(GridAction)
Q_DECLARE_METATYPE(GridCheck)

namespace {

constexpr qint32 kMax = std::numeric_limits<qint32>::max();
constexpr qint32 kMin = std::numeric_limits<qint32>::min();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

QString seed(int r, int c)
{
    return QStringLiteral("%1,%2").arg(r).arg(c);
}

// 5 rows x 4 columns with "r,c" texts, one fixed row and column, cursor on (2, 2).
std::unique_ptr<FlexGrid> seededGrid()
{
    auto grid = std::make_unique<FlexGrid>();
    grid->resize(400, 300);
    grid->setRows(5);
    grid->setCols(4);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 4; ++c)
            grid->setTextMatrix(r, c, seed(r, c));
    grid->setRow(2);
    grid->setCol(2);
    return grid;
}

// Everything a rejected call must leave alone.
QString state(FlexGrid &g)
{
    QStringList parts { QString::number(g.Rows()), QString::number(g.Cols()),
        QString::number(g.FixedRows()), QString::number(g.FixedCols()), QString::number(g.Row()),
        QString::number(g.Col()), QString::number(g.RowSel()), QString::number(g.ColSel()),
        g.FormatString(), QString::number(g.ColWidth(1)), QString::number(g.RowHeight(1)) };
    for (int r = 0; r < g.Rows(); ++r)
        for (int c = 0; c < g.Cols(); ++c)
            parts << g.TextMatrix(r, c);
    return parts.join(QLatin1Char('|'));
}

// Cells outside rows [r1, r2] x cols [c1, c2] still hold their seed text.
QString seedsKeptOutside(FlexGrid &g, int r1, int r2, int c1, int c2)
{
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 4; ++c)
            if ((r < r1 || r > r2 || c < c1 || c > c2) && g.TextMatrix(r, c) != seed(r, c))
                return QStringLiteral("cell %1,%2 lost its text: %3")
                    .arg(r)
                    .arg(c)
                    .arg(g.TextMatrix(r, c).left(20));
    return {};
}

QString expectCell(FlexGrid &g, int r, int c, const QString &expected)
{
    const QString actual = g.TextMatrix(r, c);
    if (actual == expected)
        return {};
    return QStringLiteral("cell %1,%2 holds %3 chars (%4...), expected %5 chars (%6...)")
        .arg(r)
        .arg(c)
        .arg(actual.size())
        .arg(actual.left(12))
        .arg(expected.size())
        .arg(expected.left(12));
}

QString expectSize(FlexGrid &g, int rows, int cols)
{
    if (g.Rows() == rows && g.Cols() == cols)
        return {};
    return QStringLiteral("the grid is %1 x %2, expected %3 x %4")
        .arg(g.Rows())
        .arg(g.Cols())
        .arg(rows)
        .arg(cols);
}

// The first problem found, or an empty text.
QString firstProblem(std::initializer_list<QString> problems)
{
    for (const QString &p : problems)
        if (!p.isEmpty())
            return p;
    return {};
}

// 20 MB of one letter.
QString big(char letter)
{
    return QString(20 << 20, QLatin1Char(letter));
}

const QString kLoneHigh = QString(QChar(0xD800)) + QStringLiteral("x");
const QString kLoneLow = QStringLiteral("y") + QChar(0xDC00);
const QString kWithNul = QStringLiteral("a") + QChar(0) + QStringLiteral("b");

} // namespace

class tst_FlexGridBadInput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rejected_data();
    void rejected();
    void accepted_data();
    void accepted();
    void addItemAtCapacity();
};

void tst_FlexGridBadInput::rejected_data()
{
    QTest::addColumn<GridAction>("action");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");

    const QString memory = QStringLiteral("Out of memory");
    const QString invalid = QStringLiteral("Invalid property value");
    const QString subscript = QStringLiteral("Subscript out of range");
    const QString badRow = QStringLiteral("Invalid Row value");
    const QString badCol = QStringLiteral("Invalid Col value");
    const QString fixedRows = QStringLiteral("FixedRows must be less than Rows");
    const QString fixedCols = QStringLiteral("FixedCols must be less than Cols");
    const int value = flexErrInvalidPropertyValue, index = flexErrSubscript;
#define REJECT(name, call, number, text)                                                           \
    QTest::newRow(name) << GridAction([](FlexGrid &g) { call; }) << int(number) << text

    // Counts too large to hold: refused before anything is allocated.
    REJECT("Rows 2,000,000,000", g.setRows(2000000000), 7, memory);
    REJECT("Rows max", g.setRows(kMax), 7, memory);
    REJECT("Cols 2,000,000,000", g.setCols(2000000000), 7, memory);
    REJECT("Cols past the column limit", g.setCols((1 << 20) + 1), 7, memory);
    REJECT("Rows x Cols past the cell limit", g.setRows(40000000), 7, memory);
    REJECT("FormatString 2,000,000 columns", g.setFormatString(QString(2000000, QLatin1Char('|'))),
        7, memory);
    REJECT("FormatString 40,000,000 rows",
        g.setFormatString(QLatin1Char(';') + QString(40000000, QLatin1Char('|'))), 7, memory);
    REJECT("Rows -1", g.setRows(-1), value, invalid);
    REJECT("Rows min", g.setRows(kMin), value, invalid);
    REJECT("Cols -3", g.setCols(-3), value, invalid);
    REJECT("Cols min", g.setCols(kMin), value, invalid);

    // Fixed counts not below the dimensions, and dimensions not above the fixed counts.
    REJECT("FixedRows = Rows", g.setFixedRows(5), flexErrFixedCount, fixedRows);
    REJECT("FixedRows max", g.setFixedRows(kMax), flexErrFixedCount, fixedRows);
    REJECT("FixedCols > Cols", g.setFixedCols(9), flexErrFixedCount, fixedCols);
    REJECT("FixedCols max", g.setFixedCols(kMax), flexErrFixedCount, fixedCols);
    REJECT("Rows below FixedRows", g.setRows(0), flexErrFixedCount,
        QStringLiteral("Rows cannot be less than FixedRows"));
    REJECT("FixedRows -1", g.setFixedRows(-1), value, invalid);
    REJECT("FixedCols min", g.setFixedCols(kMin), value, invalid);

    // Indices just past either end, and extreme ones, on the indexed members.
    REJECT("TextMatrix row = Rows", g.TextMatrix(5, 0), index, subscript);
    REJECT("TextMatrix col = Cols", g.TextMatrix(0, 4), index, subscript);
    REJECT("TextMatrix row -1", g.TextMatrix(-1, 0), index, subscript);
    REJECT("TextMatrix max,min", g.TextMatrix(kMax, kMin), index, subscript);
    REJECT("setTextMatrix col 9", g.setTextMatrix(2, 9, "x"), index, subscript);
    REJECT("setTextMatrix min,0", g.setTextMatrix(kMin, 0, "x"), index, subscript);
    REJECT("TextArray = cell count", g.TextArray(20), index, subscript);
    REJECT("TextArray max", g.TextArray(kMax), index, subscript);
    REJECT("setTextArray -1", g.setTextArray(-1, "x"), index, subscript);
    REJECT("setTextArray min", g.setTextArray(kMin, "x"), index, subscript);
    REJECT("ColWidth = Cols", g.ColWidth(4), index, subscript);
    REJECT("ColWidth min", g.ColWidth(kMin), index, subscript);
    REJECT("setColWidth = Cols", g.setColWidth(4, 100), index, subscript);
    REJECT("RowHeight = Rows", g.RowHeight(5), index, subscript);
    REJECT("setRowHeight -1", g.setRowHeight(-1, 300), index, subscript);
    REJECT("setRowHeight max", g.setRowHeight(kMax, 300), index, subscript);
    REJECT("ColPos = Cols", g.ColPos(4), index, subscript);
    REJECT("ColPos max", g.ColPos(kMax), index, subscript);
    REJECT("RowPos = Rows", g.RowPos(5), index, subscript);
    REJECT("RowPos min", g.RowPos(kMin), index, subscript);
    REJECT("RowIsVisible = Rows", g.RowIsVisible(5), index, subscript);
    REJECT("ColIsVisible = Cols", g.ColIsVisible(4), index, subscript);
    REJECT("ColAlignment = Cols", g.ColAlignment(4), index, subscript);
    REJECT("setColAlignment max", g.setColAlignment(kMax, 1), index, subscript);
    REJECT("setFixedAlignment 7", g.setFixedAlignment(7, 1), index, subscript);
    REJECT("FixedAlignment min", g.FixedAlignment(kMin), index, subscript);
    REJECT("ColData = Cols", g.ColData(4), index, subscript);
    REJECT("setColData max", g.setColData(kMax, 1), index, subscript);
    REJECT("setRowData = Rows", g.setRowData(5, 1), index, subscript);
    REJECT("RowData min", g.RowData(kMin), index, subscript);
    REJECT("setMergeRow = Rows", g.setMergeRow(5, true), index, subscript);
    REJECT("MergeRow max", g.MergeRow(kMax), index, subscript);
    REJECT("MergeCol -1", g.MergeCol(-1), index, subscript);
    REJECT("setMergeCol max", g.setMergeCol(kMax, true), index, subscript);
    REJECT("ColPosition from = Cols", g.setColPosition(4, 1), index, subscript);
    REJECT("ColPosition to = Cols", g.setColPosition(1, 4), index, subscript);
    REJECT("ColPosition to max", g.setColPosition(1, kMax), index, subscript);
    REJECT("RemoveItem = Rows", g.RemoveItem(5), index, subscript);
    REJECT("RemoveItem min", g.RemoveItem(kMin), index, subscript);
    REJECT("AddItem past Rows", g.AddItem("a", 6), index, subscript);
    REJECT("AddItem max", g.AddItem("a\tb", kMax), index, subscript);
    REJECT("AddItem -2", g.AddItem("a\tb", -2), index, subscript);
    REJECT("DataField col = Cols", g.DataField(0, 4), index, subscript);
    REJECT("DataField band max", g.DataField(kMax, 0), index, subscript);
    REJECT("Row = Rows", g.setRow(5), flexErrInvalidRow, badRow);
    REJECT("Row -1", g.setRow(-1), flexErrInvalidRow, badRow);
    REJECT("Row max", g.setRow(kMax), flexErrInvalidRow, badRow);
    REJECT("RowSel 7", g.setRowSel(7), flexErrInvalidRow, badRow);
    REJECT("TopRow = Rows", g.setTopRow(5), flexErrInvalidRow, badRow);
    REJECT("TopRow min", g.setTopRow(kMin), flexErrInvalidRow, badRow);
    REJECT("Col = Cols", g.setCol(4), flexErrInvalidCol, badCol);
    REJECT("ColSel -2", g.setColSel(-2), flexErrInvalidCol, badCol);
    REJECT("ColSel max", g.setColSel(kMax), flexErrInvalidCol, badCol);
    REJECT("LeftCol = Cols", g.setLeftCol(4), flexErrInvalidCol, badCol);

    // Values outside a setting's range; sizes that are not numbers, or absurd.
    REJECT("setColWidth -5", g.setColWidth(1, -5), value, invalid);
    REJECT("setColWidth min width", g.setColWidth(1, kMin), value, invalid);
    REJECT("setRowHeight min height", g.setRowHeight(1, kMin), value, invalid);
    REJECT("setColAlignment 11", g.setColAlignment(1, 11), value, invalid);
    REJECT("RowHeightMin -1", g.setRowHeightMin(-1), value, invalid);
    REJECT("Sort 10", g.setSort(10), value, invalid);
    REJECT("CellAlignment 12", g.setCellAlignment(12), value, invalid);
    REJECT("SelectionMode 3", g.setSelectionMode(3), value, invalid);
    REJECT("GridLines 4", g.setGridLines(4), value, invalid);
    REJECT("ScrollBars 4", g.setScrollBars(4), value, invalid);
    REJECT("MergeCells 5", g.setMergeCells(5), value, invalid);
    REJECT("FillStyle 2", g.setFillStyle(2), value, invalid);
    REJECT("MousePointer 50", g.setMousePointer(50), value, invalid);
    REJECT("CellFontSize 0", g.setCellFontSize(0), value, invalid);
    REJECT("CellFontSize NaN", g.setCellFontSize(kNaN), value, invalid);
    REJECT("CellFontSize infinite", g.setCellFontSize(INFINITY), value, invalid);
    REJECT("CellFontWidth NaN", g.setCellFontWidth(kNaN), value, invalid);
    REJECT("CellFontWidth huge", g.setCellFontWidth(1e30f), value, invalid);
    REJECT("FontWidth NaN", g.setFontWidth(kNaN), value, invalid);
    REJECT("GridLineWidth max short", g.setGridLineWidth(32767), value, invalid);
    REJECT("Width min", g.setWidth(kMin), value, invalid);
    REJECT("Move min size", g.Move(0, 0, kMin, kMin), value, invalid);
#undef REJECT
}

void tst_FlexGridBadInput::rejected()
{
    QFETCH(GridAction, action);
    QFETCH(int, number);
    QFETCH(QString, description);
    auto grid = seededGrid();
    const QString before = state(*grid);
    try {
        action(*grid);
        QFAIL("the call was accepted");
    } catch (const tessera::Error &e) {
        QCOMPARE(e.number(), number);
        QCOMPARE(e.description(), description);
    }
    QCOMPARE(state(*grid), before);
}

void tst_FlexGridBadInput::accepted_data()
{
    QTest::addColumn<GridAction>("action");
    QTest::addColumn<GridCheck>("check");

    // 20 MB in one cell: the cursor cell takes it, nothing else changes.
    QTest::newRow("Clip 20 MB cell") << GridAction([](FlexGrid &g) {
        g.setClip(big('x'));
    }) << GridCheck([](FlexGrid &g) {
        return firstProblem({ expectCell(g, 2, 2, big('x')), seedsKeptOutside(g, 2, 2, 2, 2) });
    });
    // A million tabs on one line: the cells past the last column are dropped.
    QTest::newRow("Clip 1,000,000 tabs") << GridAction([](FlexGrid &g) {
        g.setClip(QStringLiteral("p") + QString(1000000, QLatin1Char('\t')) + "q");
    }) << GridCheck([](FlexGrid &g) {
        return firstProblem({ expectSize(g, 5, 4), expectCell(g, 2, 2, QStringLiteral("p")),
            expectCell(g, 2, 3, QString()), seedsKeptOutside(g, 2, 2, 2, 3) });
    });
    // A million line breaks: the lines past the last row are dropped.
    QTest::newRow("Clip 1,000,000 lines")
        << GridAction([](FlexGrid &g) { g.setClip(QString(1000000, QLatin1Char('\n'))); })
        << GridCheck([](FlexGrid &g) {
               return firstProblem({ expectSize(g, 5, 4), expectCell(g, 4, 2, QString()),
                   seedsKeptOutside(g, 2, 4, 2, 2) });
           });
    QTest::newRow("Clip with NUL and lone surrogates") << GridAction([](FlexGrid &g) {
        g.setClip(kWithNul + "\t" + kLoneHigh + "\r\n" + kLoneLow);
    }) << GridCheck([](FlexGrid &g) {
        return firstProblem({ expectCell(g, 2, 2, kWithNul), expectCell(g, 2, 3, kLoneHigh),
            expectCell(g, 3, 2, kLoneLow),
            g.Clip() == kWithNul ? QString() : QStringLiteral("Clip does not read the NUL back"),
            seedsKeptOutside(g, 2, 3, 2, 3) });
    });
    QTest::newRow("AddItem 20 MB")
        << GridAction([](FlexGrid &g) { g.AddItem(big('y'), 1); }) << GridCheck([](FlexGrid &g) {
               return firstProblem({ expectSize(g, 6, 4), expectCell(g, 1, 0, big('y')),
                   expectCell(g, 2, 3, seed(1, 3)), expectCell(g, 3, 3, seed(2, 3)),
                   expectCell(g, 4, 3, seed(3, 3)), expectCell(g, 5, 3, seed(4, 3)) });
           });
    QTest::newRow("AddItem 1,000,000 tabs") << GridAction([](FlexGrid &g) {
        g.AddItem(QStringLiteral("a\tb") + QString(1000000, QLatin1Char('\t')));
    }) << GridCheck([](FlexGrid &g) {
        return firstProblem({ expectSize(g, 6, 4), expectCell(g, 5, 1, QStringLiteral("b")),
            expectCell(g, 5, 3, QString()), seedsKeptOutside(g, 5, 5, 0, 3) });
    });
    QTest::newRow("AddItem with NUL and lone surrogates") << GridAction([](FlexGrid &g) {
        g.AddItem(kWithNul + "\t" + kLoneLow + "\t" + kLoneHigh, 0);
    }) << GridCheck([](FlexGrid &g) {
        return firstProblem({ expectCell(g, 0, 0, kWithNul), expectCell(g, 0, 2, kLoneHigh),
            expectCell(g, 5, 3, seed(4, 3)) });
    });
    // Thousands of fields: the grid widens, the cells below the header stay.
    QTest::newRow("FormatString 5,000 columns") << GridAction([](FlexGrid &g) {
        g.setFormatString(QString(4999, QLatin1Char('|')));
    }) << GridCheck([](FlexGrid &g) {
        return firstProblem({ expectSize(g, 5, 5000),
            g.FormatString().size() == 4999 ? QString()
                                            : QStringLiteral("FormatString does not read back"),
            expectCell(g, 4, 4999, QString()), seedsKeptOutside(g, 0, 0, 0, 3) });
    });
    QTest::newRow("FormatString 20 MB header") << GridAction([](FlexGrid &g) {
        g.setFormatString(QStringLiteral("<") + big('h') + "|b");
    }) << GridCheck([](FlexGrid &g) {
        return firstProblem({ expectSize(g, 5, 2), expectCell(g, 0, 0, big('h')),
            g.ColWidth(0) > 0 ? QString() : QStringLiteral("the header's column got no width"),
            expectCell(g, 4, 1, seed(4, 1)) });
    });
    QTest::newRow("FormatString with NUL and surrogates") << GridAction([](FlexGrid &g) {
        g.setFormatString(kWithNul + "|" + kLoneHigh);
    }) << GridCheck([](FlexGrid &g) {
        return firstProblem(
            { expectSize(g, 5, 2), expectCell(g, 0, 0, kWithNul), expectCell(g, 0, 1, kLoneHigh) });
    });
    // Positions past the 32-bit twips range saturate instead of wrapping negative.
    QTest::newRow("ColWidth max twips") << GridAction([](FlexGrid &g) {
        g.setColWidth(1, kMax);
        g.setColWidth(2, kMax);
    }) << GridCheck([](FlexGrid &g) {
        if (g.ColPos(3) < g.ColPos(2) || g.ColPos(2) < g.ColPos(1))
            return QStringLiteral("ColPos wrapped: %1 %2 %3")
                .arg(g.ColPos(1))
                .arg(g.ColPos(2))
                .arg(g.ColPos(3));
        return seedsKeptOutside(g, 0, -1, 0, -1);
    });
    QTest::newRow("Move to extreme twips")
        << GridAction([](FlexGrid &g) { g.Move(kMax, kMin, kMax, kMax); })
        << GridCheck([](FlexGrid &g) {
               // Its image would take gigabytes: refused, and fine again at a normal size.
               try {
                   (void)g.Picture();
                   return QStringLiteral("Picture of a %1 x %2 grid was accepted")
                       .arg(g.width())
                       .arg(g.height());
               } catch (const tessera::Error &e) {
                   if (e.number() != 7)
                       return QStringLiteral("Picture raised %1").arg(e.number());
               }
               g.Move(0, 0, 6000, 4500);
               return seedsKeptOutside(g, 0, -1, 0, -1);
           });
    QTest::newRow("Rows 0 then text members") << GridAction([](FlexGrid &g) {
        g.setFixedRows(0);
        g.setFixedCols(0);
        g.setRows(0);
        g.setClip("a\tb");
        g.setFormatString(QString());
    }) << GridCheck([](FlexGrid &g) {
        if (g.Rows() != 0 || !g.Clip().isEmpty() || !g.Text().isEmpty())
            return QStringLiteral("an empty grid shows text");
        g.setRows(2);
        return expectCell(g, 1, 3, QString());
    });
}

void tst_FlexGridBadInput::accepted()
{
    QFETCH(GridAction, action);
    QFETCH(GridCheck, check);
    auto grid = seededGrid();
    action(*grid);
    const QString problem = check(*grid);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(grid->Row() < grid->Rows() || grid->Rows() == 0);
    QVERIFY(grid->Col() < grid->Cols() || grid->Cols() == 0);
    // The grid still paints what it holds.
    QVERIFY(!grid->Picture().isNull());
}

// A grid that has reached the cell limit refuses one more row and keeps what it has.
void tst_FlexGridBadInput::addItemAtCapacity()
{
    auto grid = seededGrid();
    grid->setCols(1 << 20);
    grid->setRows(128);
    grid->setTextMatrix(127, (1 << 20) - 1, QStringLiteral("last"));
    QVERIFY_TESSERA_ERROR(grid->AddItem(QStringLiteral("more")), 7);
    QVERIFY_TESSERA_ERROR(grid->setRows(129), 7);
    QCOMPARE(grid->Rows(), 128);
    QCOMPARE(grid->TextMatrix(127, (1 << 20) - 1), QStringLiteral("last"));
    QCOMPARE(grid->TextMatrix(4, 3), seed(4, 3));
    // Shrinking stays possible.
    grid->setCols(4);
    grid->AddItem(QStringLiteral("a\tb"));
    QCOMPARE(grid->TextMatrix(128, 1), QStringLiteral("b"));
}

QTEST_MAIN(tst_FlexGridBadInput)
#include "tst_flexgrid_bad_input.moc"
