// grid_bench: FlexGrid against QTableWidget and QStandardItemModel (+ QTableView for painting),
// same data, same run, at 100,000 x 10 and 1,000,000 x 10 cells: filling, heap per cell,
// formatting a whole column, sorting by a numeric column, painting a viewport in the middle and
// binding a record set. Heap figures are mallinfo2() differences.
//
// QStandardItemModel::sort is measured at 100,000 rows at most and extrapolated by n log n: in
// Qt 6.4 destroying a sorted QStandardItemModel takes time quadratic in its rows, so the sorted
// peer model is deliberately leaked and the process ends with std::quick_exit.
#include "bench_common.h"

#include <tessera/FlexGrid.h>
#include <tessera/Recordset.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <vector>

using tessera::bench::compare;

namespace {

constexpr int kCols = 10;
constexpr int kViewWidth = 1000, kViewHeight = 700;

qint64 heapBytes()
{
    const struct mallinfo2 mi = mallinfo2();
    return qint64(mi.uordblks + mi.hblkhd);
}

double seconds(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e9;
}

// Column 0 holds numbers (the sort key, "12345.67"), the others labels ("R0000123C4", the same
// length in every row so that a viewport paints the same glyphs at 1,000 and 1,000,000 rows).
// Built with one allocation so that the text itself costs little beside the grids' own work.
QString cellText(int row, int col)
{
    char16_t buf[24];
    int len = 0;
    auto digits = [&](quint32 v, int minDigits) {
        char16_t tmp[12];
        int k = 0;
        do {
            tmp[k++] = char16_t(u'0' + v % 10);
            v /= 10;
        } while (v || k < minDigits);
        while (k)
            buf[len++] = tmp[--k];
    };
    if (col == 0) {
        const quint32 x = (quint32(row) * 2654435761u) % 10000000u;
        digits(x / 100, 1);
        buf[len++] = u'.';
        digits(x % 100, 2);
    } else {
        buf[len++] = u'R';
        digits(quint32(row), 7);
        buf[len++] = u'C';
        digits(quint32(col), 1);
    }
    return QString(reinterpret_cast<const QChar *>(buf), len);
}

// The fastest of several renders: the machine is shared, the minimum is the stable figure.
// Widgets compared with each other are rendered in turn, so that a busy spell hits them alike.
std::vector<double> paintSeconds(const std::vector<QWidget *> &widgets, int rounds = 100)
{
    std::vector<QImage> images;
    for (QWidget *w : widgets) {
        images.emplace_back(w->size(), QImage::Format_ARGB32_Premultiplied);
        w->render(&images.back()); // warm-up: fonts, layout
    }
    std::vector<double> best(widgets.size(), 1e9);
    for (int i = 0; i < rounds; ++i)
        for (size_t k = 0; k < widgets.size(); ++k)
            best[k] = std::min(best[k], seconds([&] { widgets[k]->render(&images[k]); }));
    return best;
}

// Formatting a whole column through the selection; the fastest of 20 (microseconds are noisy).
double formatColumnSeconds(tessera::FlexGrid *grid, int n)
{
    double best = 1e9;
    for (int i = 0; i < 20; ++i)
        best = std::min(best, seconds([&] {
            grid->setRow(1);
            grid->setCol(3);
            grid->setRowSel(n);
            grid->setColSel(3);
            grid->setFillStyle(1);
            grid->setCellBackColor(0x00CCFFFF + i);
            grid->setFillStyle(0);
        }));
    return best;
}

std::map<QString, double> results;

void put(const QString &key, double value)
{
    results[key] = value;
    std::printf("  %-34s %12.4f\n", qPrintable(key), value);
    std::fflush(stdout);
}

// ---- tessera -----------------------------------------------------------------------------

// Returns the grid, scrolled to the middle, for the paint comparison.
tessera::FlexGrid *benchFlexGrid(int n, const QString &tag)
{
    const qint64 before = heapBytes();
    auto *grid = new tessera::FlexGrid;
    grid->resize(kViewWidth, kViewHeight);
    put(tag + ".tessera.fill_s", seconds([&] {
        grid->setCols(kCols);
        grid->setRows(n + 1);
        for (int r = 1; r <= n; ++r)
            for (int c = 0; c < kCols; ++c)
                grid->setTextMatrix(r, c, cellText(r, c));
    }));
    put(tag + ".tessera.bytes_per_cell", double(heapBytes() - before) / (double(n) * kCols));
    put(tag + ".tessera.format_col_s", formatColumnSeconds(grid, n));
    put(tag + ".tessera.sort_numeric_s", seconds([&] {
        grid->setRow(1);
        grid->setRowSel(1); // Row == RowSel: every data row
        grid->setCol(0);
        grid->setColSel(0);
        grid->setSort(3);
    }));
    if (grid->TextMatrix(1, 0).toDouble() > grid->TextMatrix(n, 0).toDouble())
        std::printf("  warning: tessera sort left the rows out of order\n");
    grid->setTopRow(n / 2);
    return grid;
}

// ---- QStandardItemModel + QTableView ---------------------------------------------------------

// Paints are measured here, beside the FlexGrid of the same size and the one of 1,000 rows.
void benchStandardModel(int n, const QString &tag, QWidget *grid, QWidget *smallGrid)
{
    const qint64 before = heapBytes();
    auto *model = new QStandardItemModel;
    put(tag + ".qsim.fill_s", seconds([&] {
        model->setColumnCount(kCols);
        model->setRowCount(n + 1);
        for (int r = 1; r <= n; ++r)
            for (int c = 0; c < kCols; ++c)
                model->setItem(r, c, new QStandardItem(cellText(r, c)));
    }));
    put(tag + ".qsim.bytes_per_cell", double(heapBytes() - before) / (double(n) * kCols));
    put(tag + ".qsim.format_col_s", seconds([&] {
        const QBrush brush(QColor(255, 255, 204));
        for (int r = 1; r <= n; ++r)
            model->item(r, 3)->setBackground(brush);
    }));
    {
        QTableView view;
        view.resize(kViewWidth, kViewHeight);
        view.setModel(model);
        view.scrollTo(model->index(n / 2, 0), QAbstractItemView::PositionAtTop);
        const auto t = paintSeconds({ grid, &view, smallGrid });
        put(tag + ".tessera.paint_s", t[0]);
        put(tag + ".qtableview.paint_s", t[1]);
        put(tag + ".tessera_1k.paint_s", t[2]);
    }
    delete model;
}

// Sorting a QStandardItemModel compares display texts; the model is leaked on purpose (see top).
double standardModelSortSeconds(int n)
{
    auto *model = new QStandardItemModel(n + 1, kCols);
    for (int r = 1; r <= n; ++r)
        for (int c = 0; c < kCols; ++c)
            model->setItem(r, c, new QStandardItem(cellText(r, c)));
    return seconds([&] { model->sort(0); });
}

// ---- QTableWidget ------------------------------------------------------------------------

void benchTableWidget(int n, const QString &tag)
{
    const qint64 before = heapBytes();
    auto *table = new QTableWidget;
    put(tag + ".qtw.fill_s", seconds([&] {
        table->setColumnCount(kCols);
        table->setRowCount(n + 1);
        for (int r = 1; r <= n; ++r)
            for (int c = 0; c < kCols; ++c)
                table->setItem(r, c, new QTableWidgetItem(cellText(r, c)));
    }));
    put(tag + ".qtw.bytes_per_cell", double(heapBytes() - before) / (double(n) * kCols));
    put(tag + ".qtw.format_col_s", seconds([&] {
        const QBrush brush(QColor(255, 255, 204));
        for (int r = 1; r <= n; ++r)
            table->item(r, 3)->setBackground(brush);
    }));
    delete table;
}

// ---- binding -----------------------------------------------------------------------------

tessera::RecordsetPtr makeRecordset(int n)
{
    auto rs = std::make_shared<tessera::Recordset>();
    rs->Fields().Append(QStringLiteral("F0"), tessera::adDouble);
    for (int c = 1; c < kCols; ++c)
        rs->Fields().Append(QStringLiteral("F%1").arg(c), tessera::adVarWChar, 40);
    rs->Open();
    auto fields = rs->Fields();
    for (int r = 1; r <= n; ++r) {
        rs->AddNew();
        fields.Item(0).setValue(cellText(r, 0).toDouble());
        for (int c = 1; c < kCols; ++c)
            fields.Item(c).setValue(cellText(r, c));
        rs->Update();
    }
    return rs;
}

void benchBinding(int n, const QString &tag)
{
    tessera::RecordsetPtr rs;
    put(tag + ".recordset_build_s", seconds([&] { rs = makeRecordset(n); }));
    {
        const qint64 before = heapBytes();
        auto *grid = new tessera::FlexGrid;
        grid->resize(kViewWidth, kViewHeight);
        put(tag + ".tessera.bind_s", seconds([&] { grid->setDataSource(rs); }));
        put(tag + ".tessera.bind_bytes_per_cell",
            double(heapBytes() - before) / (double(n) * kCols));
        if (grid->TextMatrix(n / 2, 3)
            != rs->ViewText(n / 2 - grid->FixedRows(), 3 - grid->FixedCols()))
            std::printf("  warning: the bound grid does not show the record set\n");
        grid->setTopRow(n / 2);
        put(tag + ".tessera.bound_paint_s", paintSeconds({ grid })[0]);
        delete grid;
    }
    {
        const qint64 before = heapBytes();
        auto *model = new QStandardItemModel;
        put(tag + ".qsim.bind_s", seconds([&] {
            model->setColumnCount(kCols);
            model->setRowCount(n + 1);
            for (int c = 0; c < kCols; ++c)
                model->setItem(0, c, new QStandardItem(rs->FieldName(c)));
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < kCols; ++c)
                    model->setItem(r + 1, c, new QStandardItem(rs->ViewText(r, c)));
        }));
        put(tag + ".qsim.bind_bytes_per_cell", double(heapBytes() - before) / (double(n) * kCols));
        delete model;
    }
    {
        auto *table = new QTableWidget;
        put(tag + ".qtw.bind_s", seconds([&] {
            table->setColumnCount(kCols);
            table->setRowCount(n + 1);
            for (int c = 0; c < kCols; ++c)
                table->setItem(0, c, new QTableWidgetItem(rs->FieldName(c)));
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < kCols; ++c)
                    table->setItem(r + 1, c, new QTableWidgetItem(rs->ViewText(r, c)));
        }));
        delete table;
    }
}

// A small grid: the cost of formatting a whole column, and painting beside the big ones.
tessera::FlexGrid *benchFlexGridSmall(int n, const QString &tag)
{
    auto *grid = new tessera::FlexGrid;
    grid->resize(kViewWidth, kViewHeight);
    grid->setCols(kCols);
    grid->setRows(n + 1);
    for (int r = 1; r <= n; ++r)
        for (int c = 0; c < kCols; ++c)
            grid->setTextMatrix(r, c, cellText(r, c));
    put(tag + ".tessera.format_col_s", formatColumnSeconds(grid, n));
    grid->setTopRow(n / 2);
    return grid;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int sortPeerRows = 100000;

    std::printf("grid_bench: %d columns, text cells, Release build expected\n", kCols);
    std::unique_ptr<tessera::FlexGrid> smallGrid(benchFlexGridSmall(1000, QStringLiteral("1k")));
    for (int n : { 100000, 1000000 }) {
        if (quick && n > 100000)
            break;
        const QString tag = n == 100000 ? QStringLiteral("100k") : QStringLiteral("1m");
        std::printf("%s rows x %d columns\n", qPrintable(tag), kCols);
        std::unique_ptr<tessera::FlexGrid> grid(benchFlexGrid(n, tag));
        benchStandardModel(n, tag, grid.get(), smallGrid.get());
        grid.reset();
        benchTableWidget(n, tag);
        benchBinding(n, tag);
    }
    const double sortPeer = standardModelSortSeconds(sortPeerRows);
    put(QStringLiteral("100k.qsim.sort_s"), sortPeer);
    // n log n from 100,000 rows to 1,000,000.
    const double scale = (1e6 * std::log2(1e6)) / (1e5 * std::log2(1e5));
    put(QStringLiteral("1m.qsim.sort_s_extrapolated"), sortPeer * scale);

    auto r = [](const char *key) { return results[QString::fromLatin1(key)]; };
    std::printf("\n");
    compare(
        "fill_100k", "qstandarditemmodel", r("100k.tessera.fill_s"), r("100k.qsim.fill_s"), "s");
    compare("fill_100k", "qtablewidget", r("100k.tessera.fill_s"), r("100k.qtw.fill_s"), "s");
    compare("memory_100k", "qstandarditemmodel", r("100k.tessera.bytes_per_cell"),
        r("100k.qsim.bytes_per_cell"), "B");
    compare("memory_100k", "qtablewidget", r("100k.tessera.bytes_per_cell"),
        r("100k.qtw.bytes_per_cell"), "B");
    compare("format_col_100k", "qstandarditemmodel", r("100k.tessera.format_col_s"),
        r("100k.qsim.format_col_s"), "s");
    compare("sort_numeric_100k", "qstandarditemmodel", r("100k.tessera.sort_numeric_s"),
        r("100k.qsim.sort_s"), "s");
    compare(
        "paint_100k", "qtableview", r("100k.tessera.paint_s"), r("100k.qtableview.paint_s"), "s");
    compare(
        "bind_100k", "qstandarditemmodel", r("100k.tessera.bind_s"), r("100k.qsim.bind_s"), "s");
    compare("bind_100k", "qtablewidget", r("100k.tessera.bind_s"), r("100k.qtw.bind_s"), "s");
    compare("bind_memory_100k", "qstandarditemmodel", r("100k.tessera.bind_bytes_per_cell"),
        r("100k.qsim.bind_bytes_per_cell"), "B");
    if (!quick) {
        compare("fill_1m", "qstandarditemmodel", r("1m.tessera.fill_s"), r("1m.qsim.fill_s"), "s");
        compare("fill_1m", "qtablewidget", r("1m.tessera.fill_s"), r("1m.qtw.fill_s"), "s");
        compare("memory_1m", "qstandarditemmodel", r("1m.tessera.bytes_per_cell"),
            r("1m.qsim.bytes_per_cell"), "B");
        compare("memory_1m", "qtablewidget", r("1m.tessera.bytes_per_cell"),
            r("1m.qtw.bytes_per_cell"), "B");
        compare("format_col_1m", "qstandarditemmodel", r("1m.tessera.format_col_s"),
            r("1m.qsim.format_col_s"), "s");
        compare("format_col_1m", "qtablewidget", r("1m.tessera.format_col_s"),
            r("1m.qtw.format_col_s"), "s");
        std::printf(
            "(qstandarditemmodel sort at 1m extrapolated by n log n from %d rows)\n", sortPeerRows);
        compare("sort_numeric_1m", "qstandarditemmodel", r("1m.tessera.sort_numeric_s"),
            r("1m.qsim.sort_s_extrapolated"), "s");
        compare("paint_1m", "qtableview", r("1m.tessera.paint_s"), r("1m.qtableview.paint_s"), "s");
        compare("paint_1m_vs_1k", "tessera_1k", r("1m.tessera.paint_s"), r("1m.tessera_1k.paint_s"),
            "s");
        compare("format_col_1m_vs_1k", "tessera_1k", r("1m.tessera.format_col_s"),
            r("1k.tessera.format_col_s"), "s");
        compare("bind_1m", "qstandarditemmodel", r("1m.tessera.bind_s"), r("1m.qsim.bind_s"), "s");
        compare("bind_1m", "qtablewidget", r("1m.tessera.bind_s"), r("1m.qtw.bind_s"), "s");
        compare("bind_memory_1m", "qstandarditemmodel", r("1m.tessera.bind_bytes_per_cell"),
            r("1m.qsim.bind_bytes_per_cell"), "B");
    }
    std::fflush(stdout);
    std::quick_exit(0); // the sorted peer model is never destroyed (see top)
}
