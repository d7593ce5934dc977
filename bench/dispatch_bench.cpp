// dispatch_bench: what a late-bound call costs beside the direct call, same cells, same run.
//   invoke_1m - 1,000,000 reads of TextMatrix through Tessera::Invoke by dispatch id (the row
//               and column as the host's Long arguments) against 1,000,000 direct TextMatrix
//               calls; best of three.
// Prints `compare invoke_1m tessera=<late-bound> direct=<direct> ratio=<direct/late-bound>`.
#include "bench_common.h"

#include <tessera/FlexGrid.h>
#include <tessera/PropertyBag.h>
#include <tessera/Tessera.h>

#include <QApplication>

#include <algorithm>
#include <cstdio>

using namespace tessera;
using namespace tessera::bench;

namespace {

constexpr int kCalls = 1000000;
constexpr int kRows = 1000;
constexpr qint32 TextMatrixId = 0x6803002B;

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    Tessera control;
    PropertyBag empty;
    control.ReadProperties(empty); // the definition table TextMatrix reads through
    FlexGrid *grid = control.findChild<FlexGrid *>(QStringLiteral("fxgGrid"));
    grid->setRows(kRows);
    for (int r = 0; r < kRows; ++r)
        grid->setTextMatrix(r, 0, QStringLiteral("row %1").arg(r));

    // Both loops read the same cells and keep every text's length, so neither is optimised away.
    qsizetype lateChars = 0, directChars = 0;
    QVariantList args { 0, 0 };
    const double late = bestSeconds([&] {
        for (int i = 0; i < kCalls; ++i) {
            args[0] = i % kRows;
            lateChars += control.Invoke(TextMatrixId, InvokePropertyGet, args).toString().size();
        }
    });
    const double direct = bestSeconds([&] {
        for (int i = 0; i < kCalls; ++i)
            directChars += control.TextMatrix(i % kRows, 0).size();
    });
    if (lateChars != directChars) {
        std::fprintf(stderr, "the two loops read different texts\n");
        return 1;
    }
    std::printf("invoke_1m: %d calls, %.1f ns a late-bound call, %.1f ns a direct one\n", kCalls,
        late * 1e9 / kCalls, direct * 1e9 / kCalls);
    compare("invoke_1m", "direct", late, direct, "s");
    return 0;
}
