// control_bench: the Tessera control's own work beside what it stands on, same data, same run.
//   cellwriter_1m  - 1,000,000 cells through Tessera::setTextMatrix into a formatted numeric
//                    column, a check-mark column and a sign-arrow column, against
//                    QStandardItemModel::setData of the same texts, check states, and arrow
//                    glyphs with foreground colours; the paints the burst causes are counted.
//   autonumber_1m  - numbering 1,000,000 rows with AutoNumberRows against the grid's own
//                    TextMatrix loop writing the same numbers.
//   tracking_moves_100k - 100,000 cursor moves through Tessera::setRow / setCol on a shown
//                    1,000,000-row control with a formatted column, against the same moves on a
//                    bare FlexGrid; and the most pixels one move has repainted.
// Each prints `compare <metric> tessera=... <peer>=... ratio=<peer/tessera>`; best of three.
#include "bench_common.h"

#include "tessera_p.h"

#include <tessera/PropertyBag.h>
#include <tessera/Runtime.h>
#include <tessera/Tessera.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QStandardItemModel>

#include <algorithm>
#include <cstdio>

using namespace tessera;
using namespace tessera::bench;

namespace {

constexpr int kCells = 1000000;
constexpr int kRows = kCells / 3 + 1; // three columns of cells

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // The same input for both sides: prices already formatted, truth texts, signed changes.
    QStringList prices, truths, changes;
    for (int i = 0; i < kRows; ++i) {
        prices << Format(double(i % 100000) / 7.0, QStringLiteral("#,##0.00"));
        truths << ((i % 3) ? QStringLiteral("True") : QStringLiteral("False"));
        changes << QString::number((i % 21) - 10);
    }
    const QString up(QChar(173)), flat(QChar(171)), down(QChar(175));

    // Metrics named on the command line run alone (all of them when none is named).
    const QStringList only = app.arguments().mid(1);
    auto wanted = [&only](const char *metric) {
        return only.isEmpty() || only.contains(QLatin1String(metric));
    };
    std::unique_ptr<QStandardItemModel> model; // left to quick_exit: its teardown is slow
    // ---- cellwriter_1m ----
    Tessera control;
    PropertyBag empty;
    control.ReadProperties(empty);
    TesseraPrivate *d = TesseraPrivate::get(&control);
    FlexGrid &grid = *d->fxgGrid;
    auto &defs = *d->colDefs;
    defs.resize(4);
    defs[1].TextFormat = QStringLiteral("#,##0.00");
    defs[2].CheckBox = true;
    defs[3].ColorBySigned = true;
    control.resize(800, 600);
    control.show();
    PaintCounter counter;
    grid.viewport()->installEventFilter(&counter);
    // The control fits its grid 100 ms after the last resize: measure the settled layout.
    QElapsedTimer settling;
    settling.start();
    while (settling.elapsed() < 250)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    int paints = 0;
    if (wanted("cellwriter_1m")) {
        const double writer = bestSeconds(
            [&] {
                grid.setRows(1);
                grid.setCols(4);
                grid.setRows(kRows + 1);
                QCoreApplication::processEvents();
                counter.paints = 0;
            },
            [&] {
                for (int i = 0; i < kRows; ++i) {
                    control.setTextMatrix(i + 1, 1, prices[i]);
                    control.setTextMatrix(i + 1, 2, truths[i]);
                    control.setTextMatrix(i + 1, 3, changes[i]);
                }
                QCoreApplication::processEvents();
                paints = std::max(paints, counter.paints);
            });

        const QBrush green(QColor(0, 153, 0)), red(QColor(255, 0, 0)), black(Qt::black);
        const double peer = bestSeconds(
            [&] { model = std::make_unique<QStandardItemModel>(kRows, 3); },
            [&] {
                for (int i = 0; i < kRows; ++i) {
                    model->setData(model->index(i, 0), prices[i]);
                    model->setData(model->index(i, 1),
                        truths[i] == QLatin1String("True") ? Qt::Checked : Qt::Unchecked,
                        Qt::CheckStateRole);
                    const int v = (i % 21) - 10;
                    const QModelIndex arrow = model->index(i, 2);
                    model->setData(arrow, v > 0 ? up : v < 0 ? down : flat);
                    model->setData(arrow, v > 0 ? green : v < 0 ? red : black, Qt::ForegroundRole);
                }
            });
        std::printf("cellwriter_1m: %d cells, %d paints during the burst\n", 3 * kRows, paints);
        compare("cellwriter_1m", "qstandarditemmodel", writer, peer, "s");
    }

    // ---- autonumber_1m ----
    if (wanted("autonumber_1m")) {
        const int numbered = 1000000;
        const double autonumber = bestSeconds(
            [&] {
                control.setAutoNumberRows(false);
                grid.setRows(1);
                grid.setRows(numbered + 1);
            },
            [&] { control.setAutoNumberRows(true); });
        const double bare = bestSeconds(
            [&] {
                grid.setRows(1);
                grid.setRows(numbered + 1);
            },
            [&] {
                for (int r = 1; r <= numbered; ++r)
                    grid.setTextMatrix(r, 0, QString::number(r));
            });
        compare("autonumber_1m", "flexgrid", autonumber, bare, "s");
    }

    // ---- tracking_moves_100k ----
    if (!wanted("tracking_moves_100k")) {
        std::fflush(stdout);
        std::quick_exit(0);
    }
    // Moves among the cells on screen, in the middle of a million rows, over three columns (one
    // formatted) and 16 rows. Every write moves the cursor: a write of the row already current
    // is no move for the bare grid but a whole leave for the control, and is not what is timed.
    constexpr int moves = 100000, band = 16, top = 500000;
    grid.setRows(1000001);
    grid.setCols(4);
    for (int r = top; r < top + band; ++r)
        for (int c = 1; c < 4; ++c)
            grid.setTextMatrix(r, c, prices[r % kRows]);
    defs[2].CheckBox = false;
    defs[3].ColorBySigned = false;
    grid.setTopRow(top);
    grid.setRow(top);
    grid.setCol(1);
    FlexGrid bareGrid;
    bareGrid.resize(control.size());
    bareGrid.setRows(1000001);
    bareGrid.setCols(4);
    bareGrid.show();
    bareGrid.setTopRow(top);
    QCoreApplication::processEvents();
    auto walk = [&](auto setRow, auto setCol) {
        for (int i = 0; i < moves; i += 2) {
            const int step = i / 2;
            setCol(1 + step % 3);
            setRow(top + step % band);
        }
    };
    const double tracked = bestSeconds(
        [] {}, [&] { walk([&](int r) { control.setRow(r); }, [&](int c) { control.setCol(c); }); });
    const double bareMoves = bestSeconds([] {},
        [&] { walk([&](int r) { bareGrid.setRow(r); }, [&](int c) { bareGrid.setCol(c); }); });
    // What one move repaints: the largest area painted after a single move, against the area
    // of one row of cells.
    class AreaCounter : public QObject {
    public:
        qint64 area = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint) {
                for (const QRect &r : static_cast<QPaintEvent *>(e)->region())
                    area += qint64(r.width()) * r.height();
            }
            return false;
        }
    } areas;
    grid.viewport()->installEventFilter(&areas);
    qint64 worst = 0;
    for (int step = 0; step < 60; ++step) {
        QCoreApplication::processEvents(); // what earlier work left to paint
        QCoreApplication::processEvents();
        areas.area = 0;
        if (step % 2)
            control.setRow(top + (step / 2) % band);
        else
            control.setCol(1 + (step / 2) % 3);
        for (int turn = 0; turn < 3; ++turn) // the queued repaint request, then the paint
            QCoreApplication::processEvents();
        worst = std::max(worst, areas.area);
    }
    const qint64 rowArea = qint64(grid.viewport()->width()) * toPixels(grid.RowHeight(top));
    std::printf("tracking_moves_100k: at most %lld pixels repainted by a move (a row of cells: "
                "%lld, the viewport: %lld)\n",
        static_cast<long long>(worst), static_cast<long long>(rowArea),
        static_cast<long long>(grid.viewport()->width()) * grid.viewport()->height());
    compare("tracking_moves_100k", "flexgrid", tracked, bareMoves, "s");
    std::fflush(stdout);
    std::quick_exit(0);
}
