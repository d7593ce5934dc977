// GridModel: storage, formats, geometry, sorting, merging and binding, checked against expected
// tables and, for random edit sequences, against a plain per-cell reference model.
#include "grid_model.h"

#include <tessera/Recordset.h>
#include <tessera/Runtime.h>
#include <tessera/Twips.h>

#include <QPixmap>
#include <QRandomGenerator>
#include <QTest>

#include <map>
#include <set>

using tessera::toTwips;
using tessera::detail::CellAttr;
using tessera::detail::CellRange;
using tessera::detail::GridModel;

namespace {

// Grid text as "a|b;c|d" (rows by ";", cells by "|").
QString dump(const GridModel &m)
{
    QStringList rows;
    for (int r = 0; r < m.rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < m.cols(); ++c)
            cells << m.text(r, c);
        rows << cells.join('|');
    }
    return rows.join(';');
}

void load(GridModel &m, const QString &grid)
{
    const QStringList rows = grid.split(';');
    m.setRows(int(rows.size()));
    m.setCols(int(rows.value(0).split('|').size()));
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList cells = rows[r].split('|');
        for (int c = 0; c < cells.size() && c < m.cols(); ++c)
            m.setText(r, c, cells[c]);
    }
}

// One column of the grid, top to bottom, joined by ",".
QString column(const GridModel &m, int col)
{
    QStringList out;
    for (int r = 0; r < m.rows(); ++r)
        out << m.text(r, col);
    return out.join(',');
}

QString rangeText(const CellRange &r)
{
    return QStringLiteral("%1,%2-%3,%4").arg(r.row1).arg(r.col1).arg(r.row2).arg(r.col2);
}

// A per-cell model of what GridModel must do: formats as layers of explicit cells.
struct Reference {
    struct Layer {
        std::set<std::pair<int, int>> cells;
        int value;
    };
    int rows = 0, cols = 0;
    std::vector<std::vector<QString>> text; // [row][col]
    std::vector<int> heights, rowData;
    std::vector<Layer> layers;

    void setRows(int n)
    {
        text.resize(size_t(n), std::vector<QString>(size_t(cols)));
        heights.resize(size_t(n), -1);
        rowData.resize(size_t(n), 0);
        for (auto &l : layers)
            std::erase_if(l.cells, [&](const auto &p) { return p.first >= n; });
        rows = n;
    }
    void setCols(int n)
    {
        for (auto &row : text)
            row.resize(size_t(n));
        for (auto &l : layers)
            std::erase_if(l.cells, [&](const auto &p) { return p.second >= n; });
        cols = n;
    }
    void insertRow(int at, const QStringList &cells)
    {
        std::vector<QString> row(static_cast<size_t>(cols));
        for (int c = 0; c < cols && c < cells.size(); ++c)
            row[size_t(c)] = cells[c];
        text.insert(text.begin() + at, row);
        heights.insert(heights.begin() + at, -1);
        rowData.insert(rowData.begin() + at, 0);
        for (auto &l : layers) {
            std::set<std::pair<int, int>> moved;
            for (auto [r, c] : l.cells)
                moved.insert({ r >= at ? r + 1 : r, c });
            // A layer holding the cells on both sides of the new row holds the new cell too.
            for (int c = 0; c < cols; ++c)
                if (at > 0 && l.cells.count({ at - 1, c }) && l.cells.count({ at, c }))
                    moved.insert({ at, c });
            l.cells = moved;
        }
        ++rows;
    }
    void removeRow(int at)
    {
        text.erase(text.begin() + at);
        heights.erase(heights.begin() + at);
        rowData.erase(rowData.begin() + at);
        for (auto &l : layers) {
            std::set<std::pair<int, int>> moved;
            for (auto [r, c] : l.cells)
                if (r != at)
                    moved.insert({ r > at ? r - 1 : r, c });
            l.cells = moved;
        }
        --rows;
    }
    void moveCol(int from, int to)
    {
        auto target = [&](int c) {
            if (c == from)
                return to;
            if (from < to && c > from && c <= to)
                return c - 1;
            if (from > to && c >= to && c < from)
                return c + 1;
            return c;
        };
        for (auto &row : text) {
            std::vector<QString> out(row.size());
            for (int c = 0; c < cols; ++c)
                out[size_t(target(c))] = row[size_t(c)];
            row = out;
        }
        for (auto &l : layers) {
            std::set<std::pair<int, int>> moved;
            for (auto [r, c] : l.cells)
                moved.insert({ r, target(c) });
            l.cells = moved;
        }
    }
    // Corners in any order; the part outside the grid is dropped.
    void format(const CellRange &g, int value)
    {
        Layer l { {}, value };
        for (int r = std::max(0, std::min(g.row1, g.row2)); r <= std::max(g.row1, g.row2); ++r)
            for (int c = std::max(0, std::min(g.col1, g.col2)); c <= std::max(g.col1, g.col2); ++c)
                if (r < rows && c < cols)
                    l.cells.insert({ r, c });
        layers.push_back(l);
    }
    // Stable sort of rows first..last by one column, as text (7) or as numbers (3 ascending, 4
    // descending): whole rows move, formats included.
    void sortRows(int first, int last, int key, int code)
    {
        std::vector<int> order(static_cast<size_t>(last - first + 1));
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = first + int(i);
        auto cell = [&](int r) { return text[size_t(r)][size_t(key)]; };
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            if (code == 7)
                return cell(a) < cell(b);
            const double x = cell(a).toDouble(), y = cell(b).toDouble();
            return code == 3 ? x < y : x > y;
        });
        std::vector<int> to(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r)
            to[size_t(r)] = r;
        auto oldText = text;
        auto oldHeights = heights;
        auto oldData = rowData;
        for (size_t i = 0; i < order.size(); ++i) {
            const int r = first + int(i);
            to[size_t(order[i])] = r;
            text[size_t(r)] = oldText[size_t(order[i])];
            heights[size_t(r)] = oldHeights[size_t(order[i])];
            rowData[size_t(r)] = oldData[size_t(order[i])];
        }
        for (auto &l : layers) {
            std::set<std::pair<int, int>> moved;
            for (auto [r, c] : l.cells)
                moved.insert({ to[size_t(r)], c });
            l.cells = moved;
        }
    }
    QVariant formatAt(int r, int c) const
    {
        for (auto it = layers.rbegin(); it != layers.rend(); ++it)
            if (it->cells.count({ r, c }))
                return it->value;
        return {};
    }
};

} // namespace

class TestGridModel : public QObject {
    Q_OBJECT

private slots:
    void textRoundTrip_data();
    void textRoundTrip();
    void rewritingReclaimsSpace();
    void emptyCellsCostNothing();
    void randomEditsMatchReference_data();
    void randomEditsMatchReference();

    void rowByRowFormats();
    void wholeColumnFormatIsOneEntry();
    void pictureFormats();

    void geometry_data();
    void geometry();

    void sort_data();
    void sort();
    void sortReadsNumbersAsTheRuntime();
    void customSort();

    void merge_data();
    void merge();

    void bindingReadsThrough();
    void bindingFollowsTheView();
    void bindingFollowsRecordChanges();
    void bindingSortsByTypedValues();
};

// ---- text and structure ----------------------------------------------------------------------

void TestGridModel::textRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("one char") << QStringLiteral("a");
    QTest::newRow("three chars (inline limit)") << QStringLiteral("abc");
    QTest::newRow("four chars (arena)") << QStringLiteral("abcd");
    QTest::newRow("NUL inside") << QStringView(u"a\0b", 3).toString();
    QTest::newRow("surrogate pair") << QString::fromUtf8("\xF0\x9F\x98\x80x");
    QTest::newRow("tab and CR") << QStringLiteral("a\tb\rc");
    QTest::newRow("wingdings box") << QString::fromUtf8("\xC3\xBE");
    QTest::newRow("arena maximum") << QString(4096, QLatin1Char('x'));
    QTest::newRow("beyond arena") << QString(4097, QLatin1Char('y'));
    QTest::newRow("very long") << QString(200000, QLatin1Char('z'));
}

void TestGridModel::textRoundTrip()
{
    QFETCH(QString, text);
    GridModel m;
    m.setRows(3);
    m.setCols(3);
    m.setText(1, 1, QStringLiteral("before"));
    m.setText(1, 1, text);
    m.setText(1, 2, text + QLatin1Char('!'));
    QCOMPARE(m.text(1, 1), text);
    QCOMPARE(m.text(1, 2), text + QLatin1Char('!'));
    QCOMPARE(m.text(0, 0), QString());
    // Out of range reads are empty and writes change nothing.
    QCOMPARE(m.text(3, 0), QString());
    QCOMPARE(m.text(-1, 0), QString());
    m.setText(5, 5, text);
    QCOMPARE(m.rows(), 3);
}

void TestGridModel::rewritingReclaimsSpace()
{
    GridModel m;
    m.setRows(100);
    m.setCols(2);
    // Rewrite every cell many times: far more garbage than live text forces compaction, which
    // must keep every cell's latest text.
    for (int round = 0; round < 400; ++round)
        for (int r = 0; r < 100; ++r)
            m.setText(r, round % 2,
                QStringLiteral("round %1 row %2 xxxxxxxxxxxxxxxxxx").arg(round).arg(r));
    for (int r = 0; r < 100; ++r) {
        QCOMPARE(m.text(r, 0), QStringLiteral("round 398 row %1 xxxxxxxxxxxxxxxxxx").arg(r));
        QCOMPARE(m.text(r, 1), QStringLiteral("round 399 row %1 xxxxxxxxxxxxxxxxxx").arg(r));
    }
    QVERIFY2(m.memoryUsage() < 512 * 1024, qPrintable(QString::number(m.memoryUsage())));
}

void TestGridModel::emptyCellsCostNothing()
{
    GridModel m;
    m.setCols(10);
    m.setRows(1000000);
    QCOMPARE(m.memoryUsage(), qint64(0));
    // Header texts cost their own few bytes, not a column of a million handles.
    for (int c = 0; c < 10; ++c)
        m.setText(0, c, QStringLiteral("Header %1").arg(c));
    QVERIFY2(m.memoryUsage() < 64 * 1024, qPrintable(QString::number(m.memoryUsage())));
    m.setText(999999, 4, QStringLiteral("last"));
    QCOMPARE(m.text(999999, 4), QStringLiteral("last"));
    QCOMPARE(m.text(999998, 4), QString());
    QCOMPARE(m.text(500000, 5), QString());
    // Rows inserted and removed below the last written row keep the texts in place.
    m.insertRow(10);
    m.removeRow(20);
    QCOMPARE(m.text(0, 3), QStringLiteral("Header 3"));
    QCOMPARE(m.text(999999, 4), QStringLiteral("last"));
}

// Texts, formats, row sizes and row data through random inserts, removes, column moves, sorts,
// resizes and clears, edits outside the grid included, checked cell by cell after every step.
void TestGridModel::randomEditsMatchReference_data()
{
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("maxRows");
    QTest::addColumn<int>("steps");
    QTest::newRow("small grids") << 30 << 12 << 120;
    // Ranges both shorter and taller than a block of the format index.
    QTest::newRow("tall grids") << 3 << 300 << 150;
}

void TestGridModel::randomEditsMatchReference()
{
    QFETCH(int, runs);
    QFETCH(int, maxRows);
    QFETCH(int, steps);
    QRandomGenerator rng(20261206);
    for (int run = 0; run < runs; ++run) {
        GridModel m;
        Reference ref;
        auto setRows = [&](int n) {
            m.setRows(n);
            ref.setRows(n);
        };
        auto setCols = [&](int n) {
            m.setCols(n);
            ref.setCols(n);
        };
        setCols(1 + rng.bounded(5));
        setRows(1 + rng.bounded(maxRows * 2 / 3));
        for (int step = 0; step < steps; ++step) {
            const int rows = ref.rows, cols = ref.cols;
            const int op = rng.bounded(100);
            if (op < 30 && rows > 0) {
                const int r = rng.bounded(rows), c = rng.bounded(cols);
                // Latin-1 and wider texts live in different arenas; digits make numbers to sort.
                const int kind = rng.bounded(6);
                const QString t = kind == 0 ? QString()
                    : kind < 3
                    ? QString::number(rng.bounded(-20, 20))
                    : QString(rng.bounded(1, 9),
                        QChar(kind < 5 ? u'a' + rng.bounded(26) : 0x3B1 + rng.bounded(20)));
                m.setText(r, c, t);
                ref.text[size_t(r)][size_t(c)] = t;
            } else if (op < 45 && rows > 0) {
                const int r1 = rng.bounded(rows);
                const int r2
                    = rng.bounded(2) ? rng.bounded(rows) : std::min(rows - 1, r1 + rng.bounded(80));
                CellRange g { r1, rng.bounded(cols), r2, rng.bounded(cols) };
                if (rng.bounded(3) == 0)
                    g = { g.row1, g.col1, g.row1, g.col1 }; // single cells take another path
                else if (rng.bounded(8) == 0)
                    g = { g.row1, g.col1, rows + rng.bounded(3), cols }; // clipped to the grid
                const int v = rng.bounded(1000);
                m.setFormat(g, CellAttr::BackColor, v);
                ref.format(g, v);
            } else if (op < 58) {
                // Past the end is at the end; extra cells are dropped, missing ones empty.
                const int at = rng.bounded(rows + 3);
                const QStringList cells { QStringLiteral("n%1").arg(step), QStringLiteral("m") };
                m.insertRow(at, cells);
                ref.insertRow(std::min(at, rows), cells);
            } else if (op < 68 && rows > 1) {
                const int at = rng.bounded(-1, rows + 1); // outside the grid: nothing happens
                m.removeRow(at);
                if (at >= 0 && at < rows)
                    ref.removeRow(at);
            } else if (op < 78 && cols > 1) {
                const int from = rng.bounded(cols), to = rng.bounded(cols + 1);
                m.moveCol(from, to);
                if (to < cols)
                    ref.moveCol(from, to);
            } else if (op < 86 && rows > 0) {
                const int r = rng.bounded(rows), h = rng.bounded(-1, 40);
                m.setRowHeight(r, h < 0 ? -1 : toTwips(h));
                ref.heights[size_t(r)] = h;
            } else if (op < 90 && rows > 0) {
                const int r = rng.bounded(rows), v = rng.bounded(1, 99);
                m.setRowData(r, v);
                ref.rowData[size_t(r)] = v;
            } else if (op < 94 && rows > 1) {
                const int a = rng.bounded(rows), b = rng.bounded(rows), key = rng.bounded(cols);
                const int code = QList<int> { 3, 4, 7 }.at(rng.bounded(3));
                m.sortRows(a, b, key, key, code); // either end first
                if (a != b)
                    ref.sortRows(std::min(a, b), std::max(a, b), key, code);
            } else if (op < 96) {
                setRows(rng.bounded(1, maxRows));
            } else if (op < 99) {
                setCols(rng.bounded(1, 6));
            } else {
                m.clearTextAndFormats();
                for (auto &row : ref.text)
                    std::fill(row.begin(), row.end(), QString());
                ref.layers.clear();
            }

            QCOMPARE(m.rows(), ref.rows);
            QCOMPARE(m.cols(), ref.cols);
            qint64 pos = 0;
            for (int r = 0; r < ref.rows; ++r) {
                for (int c = 0; c < ref.cols; ++c) {
                    QCOMPARE(m.text(r, c), ref.text[size_t(r)][size_t(c)]);
                    QCOMPARE(m.format(r, c, CellAttr::BackColor), ref.formatAt(r, c));
                }
                QCOMPARE(m.rowHeight(r),
                    ref.heights[size_t(r)] < 0 ? -1 : toTwips(ref.heights[size_t(r)]));
                QCOMPARE(m.rowData(r), ref.rowData[size_t(r)]);
                QCOMPARE(m.rowPos(r, 20), pos);
                const int h = ref.heights[size_t(r)] < 0 ? 20 : ref.heights[size_t(r)];
                if (h > 0) {
                    QCOMPARE(m.rowAt(pos, 20), r);
                    QCOMPARE(m.rowAt(pos + h - 1, 20), r);
                }
                pos += h;
            }
        }
    }
}

// ---- formats ---------------------------------------------------------------------------------

void TestGridModel::wholeColumnFormatIsOneEntry()
{
    GridModel m;
    m.setCols(3);
    m.setRows(1000000);
    // Cell by cell first (as a loop of single-cell writes would), then the whole column.
    for (int r = 0; r < 1000; ++r)
        m.setFormat({ r, 1, r, 1 }, CellAttr::FontName, QStringLiteral("Symbol"));
    m.setFormat({ 1, 1, 999999, 1 }, CellAttr::FontName, QStringLiteral("Wingdings"));
    m.setFormat({ 0, 1, 999999, 1 }, CellAttr::FontSize, 14.0f);
    QCOMPARE(m.format(0, 1, CellAttr::FontName).toString(), QStringLiteral("Symbol"));
    QCOMPARE(m.format(500, 1, CellAttr::FontName).toString(), QStringLiteral("Wingdings"));
    QCOMPARE(m.format(999999, 1, CellAttr::FontName).toString(), QStringLiteral("Wingdings"));
    QCOMPARE(m.format(999999, 1, CellAttr::FontSize).toFloat(), 14.0f);
    QVERIFY(!m.format(999999, 2, CellAttr::FontName).isValid());
    m.setText(999999, 1, QStringLiteral("q"));
    QCOMPARE(m.text(999999, 1), QStringLiteral("q"));
    // A cell written over and over shows the newest value.
    for (int i = 0; i < 100; ++i)
        m.setFormat({ 5, 0, 5, 0 }, CellAttr::BackColor, i);
    QCOMPARE(m.format(5, 0, CellAttr::BackColor).toInt(), 99);
}

void TestGridModel::pictureFormats()
{
    GridModel m;
    m.setRows(3);
    m.setCols(3);
    QPixmap red(4, 4), blue(4, 4);
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    m.setFormat({ 0, 0, 0, 0 }, CellAttr::Picture, red);
    m.setFormat({ 1, 1, 1, 1 }, CellAttr::Picture, red);
    m.setFormat({ 2, 2, 2, 2 }, CellAttr::Picture, blue);
    m.setFormat({ 0, 1, 0, 2 }, CellAttr::Picture, blue);
    QCOMPARE(m.format(0, 0, CellAttr::Picture).value<QPixmap>().cacheKey(), red.cacheKey());
    QCOMPARE(m.format(1, 1, CellAttr::Picture).value<QPixmap>().cacheKey(), red.cacheKey());
    QCOMPARE(m.format(2, 2, CellAttr::Picture).value<QPixmap>().cacheKey(), blue.cacheKey());
    QCOMPARE(m.format(0, 2, CellAttr::Picture).value<QPixmap>().cacheKey(), blue.cacheKey());
    QVERIFY(!m.format(1, 0, CellAttr::Picture).isValid());
    // Values keep their type: a float size stays a float.
    m.setFormat({ 0, 0, 0, 0 }, CellAttr::FontSize, 14.0f);
    m.setFormat({ 1, 0, 1, 0 }, CellAttr::FontSize, 14.0);
    QCOMPARE(m.format(0, 0, CellAttr::FontSize).metaType(), QMetaType::fromType<float>());
    QCOMPARE(m.format(1, 0, CellAttr::FontSize).metaType(), QMetaType::fromType<double>());
}

// ---- geometry --------------------------------------------------------------------------------

void TestGridModel::rowByRowFormats()
{
    // Every other row coloured one row at a time, as a host loop over FillStyle ranges does.
    GridModel m;
    m.setCols(10);
    m.setRows(100000);
    for (int r = 0; r < 100000; r += 2)
        m.setFormat({ r, 0, r, 9 }, CellAttr::BackColor, r % 3);
    QCOMPARE(m.format(50000, 4, CellAttr::BackColor).toInt(), 50000 % 3);
    QVERIFY(!m.format(50001, 4, CellAttr::BackColor).isValid());
    QCOMPARE(m.format(99998, 9, CellAttr::BackColor).toInt(), 99998 % 3);
    // Rows inserted above shift every band; a band taller than a block covers older ones.
    m.insertRow(0);
    QCOMPARE(m.format(50001, 4, CellAttr::BackColor).toInt(), 50000 % 3);
    QVERIFY(!m.format(50000, 4, CellAttr::BackColor).isValid());
    m.setFormat({ 1000, 0, 1999, 9 }, CellAttr::BackColor, 7);
    QCOMPARE(m.format(1001, 0, CellAttr::BackColor).toInt(), 7);
    QCOMPARE(m.format(1000, 0, CellAttr::BackColor).toInt(), 7);
    QCOMPARE(m.format(2001, 0, CellAttr::BackColor).toInt(), 2000 % 3);
    // A single cell after the band wins, until the whole grid is formatted.
    m.setFormat({ 1500, 5, 1500, 5 }, CellAttr::BackColor, 8);
    QCOMPARE(m.format(1500, 5, CellAttr::BackColor).toInt(), 8);
    m.setFormat({ 0, 0, m.rows() - 1, 9 }, CellAttr::BackColor, 9);
    QCOMPARE(m.format(1500, 5, CellAttr::BackColor).toInt(), 9);
    QCOMPARE(m.format(77777, 3, CellAttr::BackColor).toInt(), 9);
}

void TestGridModel::geometry_data()
{
    // overrides: "row:height"; probes for rowPos: "row=pos"; probes for rowAt: "offset=row".
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("overrides");
    QTest::addColumn<QStringList>("positions");
    QTest::addColumn<QStringList>("hits");
    QTest::newRow("defaults only")
        << 1000000 << QStringList {}
        << QStringList { "0=0", "1=20", "999999=19999980", "1000000=20000000" }
        << QStringList { "-5=0", "0=0", "19=0", "20=1", "19999999=999999", "99999999=999999" };
    QTest::newRow("sparse overrides in a million rows")
        << 1000000 << QStringList { "0:50", "10:0", "500000:5", "999999:100" }
        << QStringList { "1=50", "10=230", "11=230", "500000=10000010", "500001=10000015",
               "999999=19999975" }
        << QStringList { "49=0", "50=1", "229=9", "230=11", "10000014=500000", "10000015=500001",
               "19999974=999998", "19999975=999999", "20000074=999999" };
    QTest::newRow("override removed by -1")
        << 10 << QStringList { "3:40", "3:-1" } << QStringList { "4=80", "10=200" }
        << QStringList { "79=3", "80=4" };
    QTest::newRow("hidden rows are skipped by hit tests")
        << 5 << QStringList { "1:0", "2:0" } << QStringList { "1=20", "3=20", "5=60" }
        << QStringList { "19=0", "20=3", "39=3", "40=4" };
}

void TestGridModel::geometry()
{
    QFETCH(int, rows);
    QFETCH(QStringList, overrides);
    QFETCH(QStringList, positions);
    QFETCH(QStringList, hits);
    GridModel m;
    m.setCols(1);
    m.setRows(rows);
    for (const QString &o : overrides)
        m.setRowHeight(o.section(':', 0, 0).toInt(), toTwips(o.section(':', 1).toInt()));
    for (const QString &p : positions)
        QCOMPARE(m.rowPos(p.section('=', 0, 0).toInt(), 20), p.section('=', 1).toLongLong());
    for (const QString &h : hits)
        QCOMPARE(m.rowAt(h.section('=', 0, 0).toLongLong(), 20), h.section('=', 1).toInt());
    // Columns use the same sums; widths travel with a moved column.
    m.setCols(4);
    m.setColWidth(0, 150);
    m.setColWidth(3, 457); // drawn as 30 pixels, read back as set
    QCOMPARE(m.colPos(4, 100), qint64(10 + 100 + 100 + 30));
    m.moveCol(0, 3);
    QCOMPARE(m.colWidth(3), 150);
    QCOMPARE(m.colWidth(2), 457);
    QCOMPARE(m.colWidth(0), -1);
    QCOMPARE(m.effectiveColWidth(0, 77), 77);
    QCOMPARE(m.colAt(199, 100), 1);
    QCOMPARE(m.colAt(209, 100), 2);
    QCOMPARE(m.colAt(230, 100), 3);
}

// ---- sorting ---------------------------------------------------------------------------------

void TestGridModel::sort_data()
{
    // The grid has one fixed row "h" and key column(s) given as rows "k1|k2|tag"; expected is the
    // tag column after sorting all data rows by the key columns.
    QTest::addColumn<QString>("grid");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("keyCols");
    QTest::addColumn<QString>("expected");
    const QString mixed
        = QStringLiteral("h|h|h;10|x|a;9|x|b;apple|x|c;-2.5|x|d;Banana|x|e;|x|f;1e1|x|g;10|x|h");
    QTest::newRow("1 generic asc: numbers by value, then text")
        << mixed << 1 << 1 << "h,d,b,a,g,h,f,e,c";
    QTest::newRow("2 generic desc") << mixed << 2 << 1 << "h,c,e,f,a,g,h,b,d";
    const QString nums
        = QStringLiteral("h|h|h;10|x|a;9|x|b;12abc|x|c;-1|x|d;abc|x|e;9.5|x|f;9|x|g");
    QTest::newRow("3 numeric asc: leading numbers, text is 0")
        << nums << 3 << 1 << "h,d,e,b,g,f,a,c";
    QTest::newRow("4 numeric desc, ties keep order") << nums << 4 << 1 << "h,c,a,f,b,g,e,d";
    const QString words = QStringLiteral("h|h|h;b|x|a;B|x|b;a|x|c;A|x|d;10|x|e;9|x|f;b|x|g");
    QTest::newRow("5 no case asc, stable") << words << 5 << 1 << "h,e,f,c,d,a,b,g";
    QTest::newRow("6 no case desc, stable") << words << 6 << 1 << "h,a,b,g,c,d,f,e";
    QTest::newRow("7 text asc: case matters, digits as text")
        << words << 7 << 1 << "h,e,f,d,b,c,a,g";
    QTest::newRow("8 text desc") << words << 8 << 1 << "h,a,g,c,b,d,f,e";
    const QString two = QStringLiteral("h|h|h;b|2|a;a|10|b;b|1|c;a|10|d;a|9|e");
    QTest::newRow("two keys, text") << two << 7 << 2 << "h,b,d,e,c,a";
    QTest::newRow("two keys, generic") << two << 1 << 2 << "h,e,b,d,c,a";
    QTest::newRow("two keys, generic desc") << two << 2 << 2 << "h,a,c,b,d,e";
    QTest::newRow("already sorted")
        << QStringLiteral("h|h|h;1|x|a;2|x|b;3|x|c") << 3 << 1 << "h,a,b,c";
    QTest::newRow("invalid code sorts nothing") << two << 10 << 1 << "h,a,b,c,d,e";
    QTest::newRow("code 9 without a callback sorts nothing") << two << 9 << 1 << "h,a,b,c,d,e";
}

void TestGridModel::sort()
{
    QFETCH(QString, grid);
    QFETCH(int, code);
    QFETCH(int, keyCols);
    QFETCH(QString, expected);
    GridModel m;
    load(m, grid);
    m.sortRows(1, m.rows() - 1, 0, keyCols - 1, code);
    QCOMPARE(column(m, 2), expected);
}

void TestGridModel::customSort()
{
    GridModel m;
    load(m, QStringLiteral("h;ccc;a;bb;dd;e"));
    QList<std::pair<int, int>> calls;
    // By length, ties in their original order; the callback sees the rows unmoved.
    m.sortRows(1, 5, 0, 0, 9, [&](int r1, int r2) {
        calls.append({ r1, r2 });
        return int(m.text(r1, 0).size() - m.text(r2, 0).size());
    });
    QCOMPARE(column(m, 0), QStringLiteral("h,a,e,bb,dd,ccc"));
    QVERIFY(!calls.isEmpty());
    for (auto [r1, r2] : calls) {
        QVERIFY(r1 >= 1 && r1 <= 5 && r2 >= 1 && r2 <= 5);
        QVERIFY(r1 != r2);
    }
    // A callback that answers nonsense must not crash or lose rows.
    QRandomGenerator rng(7);
    m.sortRows(1, 5, 0, 0, 9, [&](int, int) { return int(rng.bounded(3)) - 1; });
    QStringList after = column(m, 0).split(',');
    std::sort(after.begin(), after.end());
    QCOMPARE(after.join(','), QStringLiteral("a,bb,ccc,dd,e,h"));
}

// ---- merging ---------------------------------------------------------------------------------

void TestGridModel::merge_data()
{
    // mergeRows / mergeCols: indexes whose MergeRow / MergeCol is set; probe "r c".
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QList<int>>("mergeRows");
    QTest::addColumn<QList<int>>("mergeCols");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("fixedRows");
    QTest::addColumn<int>("fixedCols");
    QTest::addColumn<QString>("probe");
    QTest::addColumn<QString>("expected");
    const QString g = QStringLiteral("H|H|H|X;a|a|b|b;a|a|b|c;a|x|b|c;|x||c");
    const QList<int> all4 { 0, 1, 2, 3, 4 };
    QTest::newRow("never") << g << all4 << all4 << 0 << 1 << 0 << "1 0"
                           << "1,0-1,0";
    QTest::newRow("free: header run") << g << all4 << QList<int> {} << 1 << 1 << 0 << "0 1"
                                      << "0,0-0,2";
    QTest::newRow("free: row flag needed")
        << g << QList<int> { 1 } << QList<int> {} << 1 << 1 << 0 << "0 1"
        << "0,1-0,1";
    QTest::newRow("free: column run")
        << g << QList<int> {} << QList<int> { 2 } << 1 << 1 << 0 << "2 2"
        << "1,2-3,2";
    QTest::newRow("free: fixed and data rows never merge")
        << QStringLiteral("a|b;a|c;a|d") << QList<int> {} << QList<int> { 0 } << 1 << 1 << 0
        << "1 0"
        << "1,0-2,0";
    QTest::newRow("free: fixed and data columns never merge")
        << QStringLiteral("a|a|a") << QList<int> { 0 } << QList<int> {} << 1 << 0 << 1 << "0 1"
        << "0,1-0,2";
    QTest::newRow("free: empty cells never merge") << g << all4 << all4 << 1 << 1 << 0 << "4 0"
                                                   << "4,0-4,0";
    QTest::newRow("free: block of equal cells") << g << all4 << all4 << 1 << 1 << 0 << "2 1"
                                                << "1,0-2,1";
    QTest::newRow("free: row runs differ, no vertical merge")
        << QStringLiteral("h|h;a|a;a|b") << all4 << all4 << 1 << 1 << 0 << "2 0"
        << "2,0-2,0";
    const QString outline = QStringLiteral("h|h|h;A|x|1;A|x|2;B|x|3;B|y|4;B|y|5");
    QTest::newRow("free: second column merges across groups")
        << outline << QList<int> {} << QList<int> { 0, 1 } << 1 << 1 << 0 << "3 1"
        << "1,1-3,1";
    QTest::newRow("restrict rows: second column stops at the group edge")
        << outline << QList<int> {} << QList<int> { 0, 1 } << 2 << 1 << 0 << "3 1"
        << "3,1-3,1";
    QTest::newRow("restrict rows: inside a group")
        << outline << QList<int> {} << QList<int> { 0, 1 } << 2 << 1 << 0 << "1 1"
        << "1,1-2,1";
    QTest::newRow("restrict rows: first column is free")
        << outline << QList<int> {} << QList<int> { 0, 1 } << 2 << 1 << 0 << "4 0"
        << "3,0-5,0";
    QTest::newRow("restrict rows: left column not merging blocks")
        << outline << QList<int> {} << QList<int> { 1 } << 2 << 1 << 0 << "1 1"
        << "1,1-1,1";
    QTest::newRow("restrict both: as restrict rows for columns")
        << outline << QList<int> {} << QList<int> { 0, 1 } << 4 << 1 << 0 << "4 1"
        << "4,1-5,1";
    const QString headers = QStringLiteral("G|G|G|G;A|A|B|B;d|d|d|d");
    QTest::newRow("free: lower header merges across the upper group")
        << QStringLiteral("G|G|K|K;A|A|A|B") << all4 << QList<int> {} << 1 << 2 << 0 << "1 2"
        << "1,0-1,2";
    QTest::newRow("restrict columns: lower header stops at the upper group edge")
        << QStringLiteral("G|G|K|K;A|A|A|B") << all4 << QList<int> {} << 3 << 2 << 0 << "1 2"
        << "1,2-1,2";
    QTest::newRow("restrict columns: inside the upper group")
        << headers << all4 << QList<int> {} << 3 << 2 << 0 << "1 1"
        << "1,0-1,1";
    QTest::newRow("restrict columns: first row is free")
        << headers << all4 << QList<int> {} << 3 << 2 << 0 << "0 3"
        << "0,0-0,3";
    QTest::newRow("restrict columns: above must merge too")
        << QStringLiteral("G|K;A|A") << all4 << QList<int> {} << 3 << 2 << 0 << "1 0"
        << "1,0-1,0";
    QTest::newRow("restrict both: as restrict columns for rows")
        << QStringLiteral("G|K;A|A") << all4 << QList<int> {} << 4 << 2 << 0 << "1 1"
        << "1,1-1,1";
}

void TestGridModel::merge()
{
    QFETCH(QString, grid);
    QFETCH(QList<int>, mergeRows);
    QFETCH(QList<int>, mergeCols);
    QFETCH(int, mode);
    QFETCH(int, fixedRows);
    QFETCH(int, fixedCols);
    QFETCH(QString, probe);
    QFETCH(QString, expected);
    GridModel m;
    load(m, grid);
    for (int r : mergeRows)
        m.setMergeRow(r, true);
    for (int c : mergeCols)
        m.setMergeCol(c, true);
    const int row = probe.section(' ', 0, 0).toInt(), col = probe.section(' ', 1).toInt();
    const CellRange got = m.mergedRange(row, col, mode, fixedRows, fixedCols);
    QCOMPARE(rangeText(got), expected);
    // Every cell of the range must report the same range.
    for (int r = got.row1; r <= got.row2; ++r)
        for (int c = got.col1; c <= got.col2; ++c)
            QCOMPARE(rangeText(m.mergedRange(r, c, mode, fixedRows, fixedCols)), expected);
    // A text change inside a cached run is seen at once.
    if (got.row2 > got.row1) {
        m.setText(got.row2, col, QStringLiteral("changed"));
        QCOMPARE(m.mergedRange(got.row2, col, mode, fixedRows, fixedCols).row1, got.row2);
    }
}

// ---- binding ---------------------------------------------------------------------------------

namespace {
tessera::RecordsetPtr people()
{
    auto rs = std::make_shared<tessera::Recordset>();
    rs->Fields().Append(QStringLiteral("Name"), tessera::adVarWChar, 50);
    rs->Fields().Append(QStringLiteral("Age"), tessera::adInteger);
    rs->Open();
    const QList<std::pair<QString, int>> rows { { "Ann", 31 }, { "Bob", 17 }, { "Cy", 45 },
        { "Di", 12 } };
    for (const auto &[name, age] : rows) {
        rs->AddNew();
        rs->setCollect(QStringLiteral("Name"), name);
        rs->setCollect(QStringLiteral("Age"), age);
        rs->Update();
    }
    return rs;
}
} // namespace

void TestGridModel::bindingReadsThrough()
{
    auto rs = people();
    GridModel m;
    m.setRows(2);
    m.setCols(2);
    m.setText(1, 0, QStringLiteral("keep"));
    m.bind(rs, 1, 1);
    QCOMPARE(m.rows(), 5);
    QCOMPARE(m.cols(), 3);
    QCOMPARE(dump(m), QStringLiteral("|Name|Age;keep|Ann|31;|Bob|17;|Cy|45;|Di|12"));
    QCOMPARE(m.dataField(0), QString());
    QCOMPARE(m.dataField(2), QStringLiteral("Age"));
    QCOMPARE(m.boundRecordset(), rs);
    // Written cells overlay the record, "" included; the record set is not touched.
    m.setText(2, 1, QStringLiteral("Robert"));
    m.setText(3, 2, QString());
    QCOMPARE(m.text(2, 1), QStringLiteral("Robert"));
    QCOMPARE(m.text(3, 2), QString());
    QCOMPARE(rs->ViewText(1, 0), QStringLiteral("Bob"));
    // Sorting and moving travel with the record positions.
    m.sortRows(1, 4, 2, 2, 3);
    // (Cy's age was blanked, so it counts as 0.)
    QCOMPARE(column(m, 1), QStringLiteral("Name,Cy,Di,Robert,Ann"));
    QCOMPARE(column(m, 0), QStringLiteral(",,,,keep"));
    m.moveCol(2, 1);
    QCOMPARE(m.dataField(1), QStringLiteral("Age"));
    QCOMPARE(column(m, 1), QStringLiteral("Age,,12,17,31"));
    m.insertRow(2, { QString(), QStringLiteral("new") });
    QCOMPARE(column(m, 2), QStringLiteral("Name,Cy,,Di,Robert,Ann"));
    // Unbinding keeps what the cells show.
    m.unbind();
    QVERIFY(!m.boundRecordset());
    QCOMPARE(m.dataField(1), QString());
    QCOMPARE(dump(m), QStringLiteral("|Age|Name;||Cy;|new|;|12|Di;|17|Robert;keep|31|Ann"));
}

void TestGridModel::bindingFollowsTheView()
{
    auto rs = people(); // Ann 31, Bob 17, Cy 45, Di 12
    GridModel m;
    m.bind(rs, 1, 1);
    m.setText(0, 1, QStringLiteral("Who"));
    m.setText(2, 1, QStringLiteral("Robert")); // Bob's name, written
    m.setFormat({ 2, 2, 2, 2 }, CellAttr::ForeColor, 255);
    QCOMPARE(dump(m), QStringLiteral("|Who|Age;|Ann|31;|Robert|17;|Cy|45;|Di|12"));
    const QString before = dump(m);
    // Nothing changed, or a filter lifted and put back as it was: no re-read.
    QCOMPARE(m.syncBinding(), GridModel::BindingChange::None);
    rs->setFilter(QStringLiteral("Age > 15"));
    rs->setFilter(0);
    QCOMPARE(m.syncBinding(), GridModel::BindingChange::None);
    QCOMPARE(dump(m), before);
    // The grid's own sort stays while the view stays.
    m.sortRows(1, 4, 2, 2, 3);
    QCOMPARE(m.syncBinding(), GridModel::BindingChange::None);
    QCOMPARE(column(m, 1), QStringLiteral("Who,Di,Robert,Ann,Cy"));

    // A new filter and sort: rows follow their records, written text and formats with them.
    rs->setFilter(QStringLiteral("Age > 15"));
    rs->setSort(QStringLiteral("Age DESC"));
    QCOMPARE(m.syncBinding(), GridModel::BindingChange::Rearranged);
    QCOMPARE(dump(m), QStringLiteral("|Who|Age;|Cy|45;|Ann|31;|Robert|17"));
    QCOMPARE(m.format(3, 2, CellAttr::ForeColor).toInt(), 255);
    QVERIFY(!m.format(2, 2, CellAttr::ForeColor).isValid());

    // Another cursor deletes Ann and adds Eve (into her sorted place): Robert stays Bob's, Eve
    // gets a fresh row.
    auto other = rs->Clone();
    other->setFilter(QStringLiteral("Name = 'Ann'"));
    other->Delete();
    other->setFilter(0);
    other->AddNew();
    other->setCollect(QStringLiteral("Name"), QStringLiteral("Eve"));
    other->setCollect(QStringLiteral("Age"), 20);
    other->Update();
    QCOMPARE(m.syncBinding(), GridModel::BindingChange::Rearranged);
    QCOMPARE(dump(m), QStringLiteral("|Who|Age;|Cy|45;|Eve|20;|Robert|17"));
    QCOMPARE(m.format(3, 2, CellAttr::ForeColor).toInt(), 255);
    QVERIFY(!m.format(2, 2, CellAttr::ForeColor).isValid());
    // A column the host removed stays removed.
    m.setCols(2);
    rs->setSort(QStringLiteral("Name"));
    QCOMPARE(m.syncBinding(), GridModel::BindingChange::Rearranged);
    QCOMPARE(dump(m), QStringLiteral("|Who;|Robert;|Cy;|Eve"));

    // Clearing a live binding drops what was written; the records show again.
    m.clearTextAndFormats();
    QCOMPARE(dump(m), QStringLiteral("|;|Bob;|Cy;|Eve"));
    // Unbinding costs nothing and keeps what the cells show; clearing then empties them.
    m.unbind();
    QVERIFY(!m.boundRecordset());
    rs->setFilter(0);
    QCOMPARE(m.syncBinding(), GridModel::BindingChange::None);
    QCOMPARE(dump(m), QStringLiteral("|;|Bob;|Cy;|Eve"));
    m.clearTextAndFormats();
    QCOMPARE(dump(m), QStringLiteral("|;|;|;|"));
}

void TestGridModel::bindingFollowsRecordChanges()
{
    auto rs = people();
    rs->SetViewValue(1, 0, QStringLiteral("Ann"));
    GridModel m;
    m.bind(rs, 1, 0);
    m.setMergeCol(0, true);
    QCOMPARE(rangeText(m.mergedRange(2, 0, 1, 1, 0)), QStringLiteral("1,0-2,0"));
    // A value changed in the record set shows at once, merging included, without a refresh.
    rs->SetViewValue(1, 0, QStringLiteral("Bo"));
    QCOMPARE(m.text(2, 0), QStringLiteral("Bo"));
    QCOMPARE(rangeText(m.mergedRange(2, 0, 1, 1, 0)), QStringLiteral("2,0-2,0"));
    // Generic sort of bound numbers sorts by value, with the written overlay taking part.
    m.setText(4, 1, QStringLiteral("100"));
    m.sortRows(1, 4, 1, 1, 2);
    QCOMPARE(column(m, 1), QStringLiteral("Age,100,45,31,17"));
    QCOMPARE(column(m, 0), QStringLiteral("Name,Di,Cy,Ann,Bo"));
}

void TestGridModel::bindingSortsByTypedValues()
{
    // With a decimal comma the shown texts are "9,9" and "9,1"; the sort must use the numbers.
    const QLocale saved = tessera::userLocale();
    tessera::setUserLocale(QLocale(QLocale::Italian, QLocale::Italy));
    auto rs = std::make_shared<tessera::Recordset>();
    rs->Fields().Append(QStringLiteral("Tag"), tessera::adVarWChar, 10);
    rs->Fields().Append(QStringLiteral("V"), tessera::adDouble);
    rs->Open();
    const QList<std::pair<QString, double>> rows { { "a", 9.9 }, { "b", 9.1 }, { "c", 10 },
        { "d", -0.5 } };
    for (const auto &[tag, v] : rows) {
        rs->AddNew();
        rs->setCollect(QStringLiteral("Tag"), tag);
        rs->setCollect(QStringLiteral("V"), v);
        rs->Update();
    }
    GridModel m;
    m.bind(rs, 1, 0);
    m.sortRows(1, 4, 1, 1, 3);
    const QString numeric = column(m, 0);
    const QString shown = m.text(2, 1);
    m.sortRows(1, 4, 1, 1, 2);
    const QString genericDesc = column(m, 0);
    tessera::setUserLocale(saved);
    QCOMPARE(shown, QStringLiteral("9,1"));
    QCOMPARE(numeric, QStringLiteral("Tag,d,b,a,c"));
    QCOMPARE(genericDesc, QStringLiteral("Tag,c,a,b,d"));
}

void TestGridModel::sortReadsNumbersAsTheRuntime()
{
    // Own cells under it_IT: the generic sort takes "9,5" as 9.5 (the user's numeric test) and
    // "1.000" as a thousand; the numeric sort reads leading numbers as Val does ("9,5" is 9,
    // "1.000" is 1, "&H10" is 16, blanks inside digits are skipped).
    const QLocale saved = tessera::userLocale();
    tessera::setUserLocale(QLocale(QLocale::Italian, QLocale::Italy));
    GridModel m;
    load(m, QStringLiteral("h|h;10|a;9,5|b;9,1|c;1.000|d;&H10|e;1 2|f"));
    m.sortRows(1, 6, 0, 0, 1);
    const QString generic = column(m, 1);
    load(m, QStringLiteral("h|h;10|a;9,5|b;9,1|c;1.000|d;&H10|e;1 2|f"));
    m.sortRows(1, 6, 0, 0, 3);
    const QString numeric = column(m, 1);
    tessera::setUserLocale(saved);
    QCOMPARE(generic, QStringLiteral("h,c,b,a,e,d,f"));
    QCOMPARE(numeric, QStringLiteral("h,d,b,c,a,f,e"));
}

QTEST_MAIN(TestGridModel)
#include "tst_grid_model.moc"
