// FlexGrid against hostile host input: huge and negative counts, extreme indices on indexed
// members, non-finite sizes, enormous and malformed texts (NULs, lone surrogates, a million tabs).
// A rejected call raises its error with a clear description and leaves the grid exactly as it
// was; an accepted one keeps every cell it was not asked to change.
#include "tst_flexgrid_helpers.h"

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
    const QString fixedRows = QStringLiteral("FixedRows must be less than Rows");

    // Counts too large to hold: refused before anything is allocated.
    QTest::newRow("Rows 2,000,000,000")
        << GridAction([](FlexGrid &g) { g.setRows(2000000000); }) << 7 << memory;
    QTest::newRow("Rows max") << GridAction([](FlexGrid &g) { g.setRows(kMax); }) << 7 << memory;
    QTest::newRow("Cols 2,000,000,000")
        << GridAction([](FlexGrid &g) { g.setCols(2000000000); }) << 7 << memory;
    QTest::newRow("Cols past the column limit")
        << GridAction([](FlexGrid &g) { g.setCols((1 << 20) + 1); }) << 7 << memory;
    QTest::newRow("Rows x Cols past the cell limit")
        << GridAction([](FlexGrid &g) { g.setRows(40000000); }) << 7 << memory;
    QTest::newRow("FormatString 2,000,000 columns")
        << GridAction([](FlexGrid &g) { g.setFormatString(QString(2000000, QLatin1Char('|'))); })
        << 7 << memory;
    QTest::newRow("FormatString 40,000,000 rows") << GridAction([](FlexGrid &g) {
        g.setFormatString(QLatin1Char(';') + QString(40000000, QLatin1Char('|')));
    }) << 7 << memory;
    QTest::newRow("Rows min") << GridAction([](FlexGrid &g) { g.setRows(kMin); })
                              << int(flexErrInvalidPropertyValue) << invalid;
    QTest::newRow("Cols min") << GridAction([](FlexGrid &g) { g.setCols(kMin); })
                              << int(flexErrInvalidPropertyValue) << invalid;

    // Fixed counts not below the dimensions.
    QTest::newRow("FixedRows max") << GridAction([](FlexGrid &g) { g.setFixedRows(kMax); })
                                   << int(flexErrFixedCount) << fixedRows;
    QTest::newRow("FixedCols max")
        << GridAction([](FlexGrid &g) { g.setFixedCols(kMax); }) << int(flexErrFixedCount)
        << QStringLiteral("FixedCols must be less than Cols");
    QTest::newRow("FixedCols min") << GridAction([](FlexGrid &g) { g.setFixedCols(kMin); })
                                   << int(flexErrInvalidPropertyValue) << invalid;

    // Extreme indices on the indexed members.
    QTest::newRow("TextMatrix max,min") << GridAction([](FlexGrid &g) { g.TextMatrix(kMax, kMin); })
                                        << int(flexErrSubscript) << subscript;
    QTest::newRow("setTextMatrix min,0")
        << GridAction([](FlexGrid &g) { g.setTextMatrix(kMin, 0, "x"); }) << int(flexErrSubscript)
        << subscript;
    QTest::newRow("TextArray max")
        << GridAction([](FlexGrid &g) { g.TextArray(kMax); }) << int(flexErrSubscript) << subscript;
    QTest::newRow("setTextArray min") << GridAction([](FlexGrid &g) { g.setTextArray(kMin, "x"); })
                                      << int(flexErrSubscript) << subscript;
    QTest::newRow("ColWidth min") << GridAction([](FlexGrid &g) { g.ColWidth(kMin); })
                                  << int(flexErrSubscript) << subscript;
    QTest::newRow("setRowHeight max") << GridAction([](FlexGrid &g) { g.setRowHeight(kMax, 300); })
                                      << int(flexErrSubscript) << subscript;
    QTest::newRow("setColWidth min width")
        << GridAction([](FlexGrid &g) { g.setColWidth(1, kMin); })
        << int(flexErrInvalidPropertyValue) << invalid;
    QTest::newRow("setRowHeight min height")
        << GridAction([](FlexGrid &g) { g.setRowHeight(1, kMin); })
        << int(flexErrInvalidPropertyValue) << invalid;
    QTest::newRow("ColPos max") << GridAction([](FlexGrid &g) { g.ColPos(kMax); })
                                << int(flexErrSubscript) << subscript;
    QTest::newRow("RowPos min") << GridAction([](FlexGrid &g) { g.RowPos(kMin); })
                                << int(flexErrSubscript) << subscript;
    QTest::newRow("ColAlignment max") << GridAction([](FlexGrid &g) { g.setColAlignment(kMax, 1); })
                                      << int(flexErrSubscript) << subscript;
    QTest::newRow("FixedAlignment min") << GridAction([](FlexGrid &g) { g.FixedAlignment(kMin); })
                                        << int(flexErrSubscript) << subscript;
    QTest::newRow("ColData max") << GridAction([](FlexGrid &g) { g.setColData(kMax, 1); })
                                 << int(flexErrSubscript) << subscript;
    QTest::newRow("RowData min") << GridAction([](FlexGrid &g) { g.RowData(kMin); })
                                 << int(flexErrSubscript) << subscript;
    QTest::newRow("MergeRow max") << GridAction([](FlexGrid &g) { g.MergeRow(kMax); })
                                  << int(flexErrSubscript) << subscript;
    QTest::newRow("MergeCol max") << GridAction([](FlexGrid &g) { g.setMergeCol(kMax, true); })
                                  << int(flexErrSubscript) << subscript;
    QTest::newRow("ColPosition to max")
        << GridAction([](FlexGrid &g) { g.setColPosition(1, kMax); }) << int(flexErrSubscript)
        << subscript;
    QTest::newRow("RemoveItem min") << GridAction([](FlexGrid &g) { g.RemoveItem(kMin); })
                                    << int(flexErrSubscript) << subscript;
    QTest::newRow("AddItem max") << GridAction([](FlexGrid &g) { g.AddItem("a\tb", kMax); })
                                 << int(flexErrSubscript) << subscript;
    QTest::newRow("AddItem -2") << GridAction([](FlexGrid &g) { g.AddItem("a\tb", -2); })
                                << int(flexErrSubscript) << subscript;
    QTest::newRow("DataField band max") << GridAction([](FlexGrid &g) { g.DataField(kMax, 0); })
                                        << int(flexErrSubscript) << subscript;
    QTest::newRow("Row max") << GridAction([](FlexGrid &g) { g.setRow(kMax); })
                             << int(flexErrInvalidRow) << QStringLiteral("Invalid Row value");
    QTest::newRow("TopRow min") << GridAction([](FlexGrid &g) { g.setTopRow(kMin); })
                                << int(flexErrInvalidRow) << QStringLiteral("Invalid Row value");
    QTest::newRow("ColSel max") << GridAction([](FlexGrid &g) { g.setColSel(kMax); })
                                << int(flexErrInvalidCol) << QStringLiteral("Invalid Col value");

    // Sizes that are not numbers, or absurd.
    QTest::newRow("CellFontSize NaN") << GridAction([](FlexGrid &g) { g.setCellFontSize(kNaN); })
                                      << int(flexErrInvalidPropertyValue) << invalid;
    QTest::newRow("CellFontSize infinite")
        << GridAction([](FlexGrid &g) { g.setCellFontSize(INFINITY); })
        << int(flexErrInvalidPropertyValue) << invalid;
    QTest::newRow("CellFontWidth NaN") << GridAction([](FlexGrid &g) { g.setCellFontWidth(kNaN); })
                                       << int(flexErrInvalidPropertyValue) << invalid;
    QTest::newRow("CellFontWidth huge")
        << GridAction([](FlexGrid &g) { g.setCellFontWidth(1e30f); })
        << int(flexErrInvalidPropertyValue) << invalid;
    QTest::newRow("FontWidth NaN") << GridAction([](FlexGrid &g) { g.setFontWidth(kNaN); })
                                   << int(flexErrInvalidPropertyValue) << invalid;
    QTest::newRow("GridLineWidth max short")
        << GridAction([](FlexGrid &g) { g.setGridLineWidth(32767); })
        << int(flexErrInvalidPropertyValue) << invalid;
    QTest::newRow("Width min") << GridAction([](FlexGrid &g) { g.setWidth(kMin); })
                               << int(flexErrInvalidPropertyValue) << invalid;
    QTest::newRow("Move min size") << GridAction([](FlexGrid &g) { g.Move(0, 0, kMin, kMin); })
                                   << int(flexErrInvalidPropertyValue) << invalid;
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
    QTest::newRow("Clip 20 MB cell")
        << GridAction([](FlexGrid &g) { g.setClip(QString(20 << 20, QLatin1Char('x'))); })
        << GridCheck([](FlexGrid &g) {
               const QString e = expectCell(g, 2, 2, QString(20 << 20, QLatin1Char('x')));
               return e.isEmpty() ? seedsKeptOutside(g, 2, 2, 2, 2) : e;
           });
    // A million tabs on one line: the cells past the last column are dropped.
    QTest::newRow("Clip 1,000,000 tabs") << GridAction([](FlexGrid &g) {
        g.setClip(QStringLiteral("p") + QString(1000000, QLatin1Char('\t')) + "q");
    }) << GridCheck([](FlexGrid &g) {
        if (g.Cols() != 4)
            return QStringLiteral("Cols changed to %1").arg(g.Cols());
        QString e = expectCell(g, 2, 2, QStringLiteral("p"));
        if (e.isEmpty())
            e = expectCell(g, 2, 3, QString());
        return e.isEmpty() ? seedsKeptOutside(g, 2, 2, 2, 3) : e;
    });
    // A million line breaks: the lines past the last row are dropped.
    QTest::newRow("Clip 1,000,000 lines")
        << GridAction([](FlexGrid &g) { g.setClip(QString(1000000, QLatin1Char('\n'))); })
        << GridCheck([](FlexGrid &g) {
               if (g.Rows() != 5)
                   return QStringLiteral("Rows changed to %1").arg(g.Rows());
               QString e = expectCell(g, 4, 2, QString());
               return e.isEmpty() ? seedsKeptOutside(g, 2, 4, 2, 2) : e;
           });
    QTest::newRow("Clip with NUL and lone surrogates") << GridAction([](FlexGrid &g) {
        g.setClip(kWithNul + "\t" + kLoneHigh + "\r\n" + kLoneLow);
    }) << GridCheck([](FlexGrid &g) {
        QString e = expectCell(g, 2, 2, kWithNul);
        if (e.isEmpty())
            e = expectCell(g, 2, 3, kLoneHigh);
        if (e.isEmpty())
            e = expectCell(g, 3, 2, kLoneLow);
        if (e.isEmpty() && g.Clip() != kWithNul)
            e = QStringLiteral("Clip does not read the NUL back");
        return e.isEmpty() ? seedsKeptOutside(g, 2, 3, 2, 3) : e;
    });
    QTest::newRow("AddItem 20 MB")
        << GridAction([](FlexGrid &g) { g.AddItem(QString(20 << 20, QLatin1Char('y')), 1); })
        << GridCheck([](FlexGrid &g) {
               if (g.Rows() != 6)
                   return QStringLiteral("Rows is %1").arg(g.Rows());
               QString e = expectCell(g, 1, 0, QString(20 << 20, QLatin1Char('y')));
               for (int r = 2; e.isEmpty() && r < 6; ++r)
                   e = expectCell(g, r, 3, seed(r - 1, 3));
               return e;
           });
    QTest::newRow("AddItem 1,000,000 tabs") << GridAction([](FlexGrid &g) {
        g.AddItem(QStringLiteral("a\tb") + QString(1000000, QLatin1Char('\t')));
    }) << GridCheck([](FlexGrid &g) {
        if (g.Rows() != 6 || g.Cols() != 4)
            return QStringLiteral("dimensions %1 x %2").arg(g.Rows()).arg(g.Cols());
        QString e = expectCell(g, 5, 1, QStringLiteral("b"));
        if (e.isEmpty())
            e = expectCell(g, 5, 3, QString());
        return e.isEmpty() ? seedsKeptOutside(g, 5, 5, 0, 3) : e;
    });
    QTest::newRow("AddItem with NUL and lone surrogates") << GridAction([](FlexGrid &g) {
        g.AddItem(kWithNul + "\t" + kLoneLow + "\t" + kLoneHigh, 0);
    }) << GridCheck([](FlexGrid &g) {
        QString e = expectCell(g, 0, 0, kWithNul);
        if (e.isEmpty())
            e = expectCell(g, 0, 2, kLoneHigh);
        if (e.isEmpty())
            e = expectCell(g, 5, 3, seed(4, 3));
        return e;
    });
    // Thousands of fields: the grid widens, the cells below the header stay.
    QTest::newRow("FormatString 5,000 columns")
        << GridAction([](FlexGrid &g) { g.setFormatString(QString(4999, QLatin1Char('|'))); })
        << GridCheck([](FlexGrid &g) {
               if (g.Cols() != 5000)
                   return QStringLiteral("Cols is %1").arg(g.Cols());
               if (g.FormatString().size() != 4999)
                   return QStringLiteral("FormatString does not read back");
               QString e = expectCell(g, 4, 4999, QString());
               return e.isEmpty() ? seedsKeptOutside(g, 0, 0, 0, 3) : e;
           });
    QTest::newRow("FormatString 20 MB header") << GridAction([](FlexGrid &g) {
        g.setFormatString(QStringLiteral("<") + QString(20 << 20, QLatin1Char('h')) + "|b");
    }) << GridCheck([](FlexGrid &g) {
        if (g.Cols() != 2)
            return QStringLiteral("Cols is %1").arg(g.Cols());
        QString e = expectCell(g, 0, 0, QString(20 << 20, QLatin1Char('h')));
        if (e.isEmpty() && g.ColWidth(0) <= 0)
            e = QStringLiteral("the header's column got no width");
        return e.isEmpty() ? expectCell(g, 4, 1, seed(4, 1)) : e;
    });
    QTest::newRow("FormatString with NUL and surrogates")
        << GridAction([](FlexGrid &g) { g.setFormatString(kWithNul + "|" + kLoneHigh); })
        << GridCheck([](FlexGrid &g) {
               if (g.Cols() != 2)
                   return QStringLiteral("Cols is %1").arg(g.Cols());
               QString e = expectCell(g, 0, 0, kWithNul);
               return e.isEmpty() ? expectCell(g, 0, 1, kLoneHigh) : e;
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
