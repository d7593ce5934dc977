// FlexGrid's text entry points: FormatString, Clip (set) and AddItem, on a small grid.
// Whatever the text, the grid keeps consistent dimensions and a valid current cell.
#include "fuzz_input.h"

#include <tessera/FlexGrid.h>

#include <QApplication>

#include <cstdlib>

namespace {
QApplication *app = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = new QApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    tessera::fuzz::Input in(data, size);
    const int entry = in.small(3);
    const int index = in.small(12) - 1;
    const int row = in.small(6), col = in.small(6);
    const QString text = in.text();

    tessera::FlexGrid grid;
    grid.setRows(6);
    grid.setCols(6);
    try {
        switch (entry) {
        case 0:
            grid.setFormatString(text);
            break;
        case 1:
            grid.setRow(row);
            grid.setCol(col);
            grid.setRowSel(5);
            grid.setColSel(5);
            grid.setClip(text);
            (void)grid.Clip();
            break;
        default:
            grid.AddItem(text, index);
            break;
        }
    } catch (const tessera::Error &) {
        // a defined error is an answer
    }
    if (grid.Rows() < 0 || grid.Cols() < 0 || grid.FixedRows() >= grid.Rows() + (grid.Rows() == 0)
        || grid.Row() >= grid.Rows() || grid.Col() >= grid.Cols())
        std::abort();
    for (int r = 0; r < grid.Rows(); ++r)
        for (int c = 0; c < grid.Cols(); ++c)
            (void)grid.TextMatrix(r, c);
    return 0;
}
