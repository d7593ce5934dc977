// control_bench: the Tessera control's own work beside what it stands on, same data, same run.
//   cellwriter_1m  - 1,000,000 cells through Tessera::setTextMatrix into a formatted numeric
//                    column, a check-mark column and a sign-arrow column, against
//                    QStandardItemModel::setData of the same texts, check states, and arrow
//                    glyphs with foreground colours; the paints the burst causes are counted.
//   autonumber_1m  - numbering 1,000,000 rows with AutoNumberRows against the grid's own
//                    TextMatrix loop writing the same numbers.
// Each prints `compare <metric> tessera=... <peer>=... ratio=<peer/tessera>`; best of three.
#include "tessera_p.h"

#include <tessera/PropertyBag.h>
#include <tessera/Runtime.h>
#include <tessera/Tessera.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardItemModel>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace tessera;

namespace {

constexpr int kCells = 1000000;
constexpr int kRows = kCells / 3 + 1; // three columns of cells

double bestSeconds(const std::function<void()> &setup, const std::function<void()> &work)
{
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        setup();
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, double(t.nsecsElapsed()) / 1e9);
    }
    return best;
}

void compare(const char *metric, const char *peer, double tessera, double other)
{
    std::printf("compare %s tessera=%.4gs %s=%.4gs ratio=%.2f\n", metric, tessera, peer, other,
        other / tessera);
}

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
    QCoreApplication::processEvents();

    int paints = 0;
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

    std::unique_ptr<QStandardItemModel> model;
    const QBrush green(QColor(0, 153, 0)), red(QColor(255, 0, 0)), black(Qt::black);
    const double peer = bestSeconds(
        [&] {
            model = std::make_unique<QStandardItemModel>(kRows, 3);
        },
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
    compare("cellwriter_1m", "qstandarditemmodel", writer, peer);

    // ---- autonumber_1m ----
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
    compare("autonumber_1m", "flexgrid", autonumber, bare);
    // The peer model's teardown is slow and not what is measured.
    model.release();
    std::fflush(stdout);
    std::quick_exit(0);
}
