// FlexGrid's entry points that take host text and counts: FormatString, Clip, AddItem, Rows, Cols,
// FixedRows, TextArray, on a 6 x 6 grid whose cells hold "r:c". Whatever the input, the dimensions
// and the current cell stay valid, a rejected call changes nothing, a pasted block reads back and
// an added row holds its cells with the others shifted intact.
#include "fuzz_input.h"

#include <tessera/FlexGrid.h>

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
QApplication *app = nullptr;
constexpr int kSize = 6;

[[noreturn]] void fail(const char *what, int entry)
{
    std::fprintf(stderr, "fuzz_grid_text: entry %d: %s\n", entry, what);
    std::abort();
}

QString seed(int r, int c)
{
    return QStringLiteral("%1:%2").arg(r).arg(c);
}

// The texts of the top-left block that every check looks at.
QStringList snapshot(const tessera::FlexGrid &grid)
{
    QStringList out;
    for (int r = 0; r < std::min(grid.Rows(), kSize + 2); ++r)
        for (int c = 0; c < std::min(grid.Cols(), kSize + 2); ++c)
            out << grid.TextMatrix(r, c);
    return out;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = new QApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    tessera::fuzz::Input in(data, size);
    const int entry = in.small(7);
    const int index = in.small(12) - 1;
    const int row = in.small(kSize), col = in.small(kSize);
    const int rowSel = in.small(kSize), colSel = in.small(kSize);
    const qint32 count = in.small(2) ? in.small(20) - 2 : in.integer();
    const QString text = in.anyText();

    tessera::FlexGrid grid;
    grid.setRows(kSize);
    grid.setCols(kSize);
    for (int r = 0; r < kSize; ++r)
        for (int c = 0; c < kSize; ++c)
            grid.setTextMatrix(r, c, seed(r, c));
    grid.setRow(row);
    grid.setCol(col);
    grid.setRowSel(rowSel);
    grid.setColSel(colSel);
    const QStringList before = snapshot(grid);
    const int rowsBefore = grid.Rows(), colsBefore = grid.Cols();

    bool rejected = false;
    try {
        switch (entry) {
        case 0:
            grid.setFormatString(text);
            if (grid.FormatString() != text)
                fail("FormatString does not read back", entry);
            break;
        case 1: {
            grid.setClip(text);
            // Each line (CR, LF or CRLF) and tab-separated cell lands in the block from the
            // selection's top-left corner; nothing lands outside the selection of several cells.
            const int r1 = std::min(row, rowSel), c1 = std::min(col, colSel);
            const bool single = row == rowSel && col == colSel;
            const int r2 = single ? kSize - 1 : std::max(row, rowSel);
            const int c2 = single ? kSize - 1 : std::max(col, colSel);
            QString normal = text;
            normal.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            normal.replace(QLatin1Char('\r'), QLatin1Char('\n'));
            QStringList lines = normal.split(QLatin1Char('\n'));
            if (lines.size() > 1 && lines.last().isEmpty())
                lines.removeLast();
            for (int r = 0; r < kSize; ++r) {
                for (int c = 0; c < kSize; ++c) {
                    QString expected = seed(r, c);
                    if (r >= r1 && r <= r2 && c >= c1 && c <= c2 && r - r1 < lines.size()) {
                        const QStringList cells = lines.at(r - r1).split(QLatin1Char('\t'));
                        if (c - c1 < cells.size())
                            expected = cells.at(c - c1);
                    }
                    if (grid.TextMatrix(r, c) != expected)
                        fail("pasted block does not read back", entry);
                }
            }
            break;
        }
        case 2: {
            grid.AddItem(text, index);
            const int at = index == -1 ? kSize : index;
            if (grid.Rows() != kSize + 1)
                fail("AddItem did not add one row", entry);
            const QStringList cells = text.split(QLatin1Char('\t'));
            for (int r = 0; r < grid.Rows(); ++r) {
                for (int c = 0; c < kSize; ++c) {
                    const QString expected = r == at ? (c < cells.size() ? cells.at(c) : QString())
                                                     : seed(r < at ? r : r - 1, c);
                    if (grid.TextMatrix(r, c) != expected)
                        fail("AddItem lost or misplaced a cell", entry);
                }
            }
            break;
        }
        case 3:
            grid.setRows(count);
            if (grid.Rows() != count)
                fail("Rows does not read back", entry);
            break;
        case 4:
            grid.setCols(count);
            if (grid.Cols() != count)
                fail("Cols does not read back", entry);
            break;
        case 5:
            grid.setFixedRows(count);
            if (grid.FixedRows() != count)
                fail("FixedRows does not read back", entry);
            break;
        default:
            grid.setTextArray(count, text);
            if (grid.TextArray(count) != text
                || grid.TextMatrix(count / kSize, count % kSize) != text)
                fail("TextArray does not read back", entry);
            break;
        }
    } catch (const tessera::Error &e) {
        if (e.description().isEmpty())
            fail("an error without a description", entry);
        rejected = true;
    }
    if (rejected
        && (grid.Rows() != rowsBefore || grid.Cols() != colsBefore || snapshot(grid) != before))
        fail("a rejected call changed the grid", entry);
    // Rows may come down to FixedRows (a header-only grid), never below.
    if (grid.Rows() < 0 || grid.Cols() < 0 || grid.FixedRows() > grid.Rows()
        || grid.FixedCols() > grid.Cols())
        fail("fixed counts beyond the dimensions", entry);
    if (grid.Rows() > 0 && grid.Cols() > 0
        && (grid.Row() >= grid.Rows() || grid.Col() >= grid.Cols() || grid.RowSel() >= grid.Rows()
            || grid.ColSel() >= grid.Cols() || grid.Row() < 0 || grid.Col() < 0))
        fail("current cell outside the grid", entry);
    (void)grid.Clip();
    (void)snapshot(grid);
    // Whatever the cells now hold, they paint.
    grid.resize(240, 160);
    (void)grid.Picture();
    return 0;
}
