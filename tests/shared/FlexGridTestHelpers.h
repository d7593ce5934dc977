// Helpers for the widget tests of the grid and the control: a shown grid, cell centres in viewport
// pixels, pixel and paint counts, and a recorder of the grid's cell events in their order.
#pragma once

#include <tessera/FlexGrid.h>

#include <QAbstractScrollArea>
#include <QImage>
#include <QStringList>
#include <QTest>

#include <memory>

namespace tessera::test {

// Counts the paint events of the widget it filters.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

// A grid of rows x cols filled with "r,c" texts, shown at the given size.
inline std::unique_ptr<FlexGrid> shownGrid(int rows, int cols, QSize size = QSize(400, 300))
{
    auto grid = std::make_unique<FlexGrid>();
    grid->setRows(rows);
    grid->setCols(cols);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            grid->setTextMatrix(r, c, QStringLiteral("%1,%2").arg(r).arg(c));
    grid->resize(size);
    grid->show();
    if (!QTest::qWaitForWindowExposed(grid.get()))
        qWarning("grid not exposed");
    return grid;
}

// Top-left corner of a cell in viewport coordinates (where mouse events go), from the grid's own
// twips positions.
inline QPoint cellTopLeft(const FlexGrid &grid, int row, int col)
{
    return QPoint(toPixels(grid.ColPos(col)), toPixels(grid.RowPos(row))) - grid.viewport()->pos();
}

// Width and height in pixels of a column and row as drawn.
inline int colPixels(FlexGrid &grid, int col)
{
    const int w = grid.ColWidth(col);
    return w < 0 ? 64 : toPixels(w);
}

inline QPoint cellMiddle(FlexGrid &grid, int row, int col)
{
    return cellTopLeft(grid, row, col)
        + QPoint(colPixels(grid, col) / 2, toPixels(grid.RowHeight(row)) / 2);
}

// Pixels of a box of an image that satisfy a test (a colour, some ink).
template<class Test> int countPixels(const QImage &img, const QRect &box, Test test)
{
    int n = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (test(img.pixelColor(x, y)))
                ++n;
    return n;
}

// Records the cell events of a grid as "Name@row,col" (the cursor when the event arrived).
class EventRecorder {
public:
    explicit EventRecorder(FlexGrid *grid)
        : m_grid(grid)
    {
        auto add = [this](const char *name) {
            return [this, name]() {
                events << QStringLiteral("%1@%2,%3")
                              .arg(QLatin1String(name))
                              .arg(m_grid->Row())
                              .arg(m_grid->Col());
            };
        };
        QObject::connect(grid, &FlexGrid::LeaveCell, grid, add("LeaveCell"));
        QObject::connect(grid, &FlexGrid::EnterCell, grid, add("EnterCell"));
        QObject::connect(grid, &FlexGrid::RowColChange, grid, add("RowColChange"));
        QObject::connect(grid, &FlexGrid::SelChange, grid, add("SelChange"));
        QObject::connect(grid, &FlexGrid::Click, grid, add("Click"));
        QObject::connect(grid, &FlexGrid::DblClick, grid, add("DblClick"));
        QObject::connect(grid, &FlexGrid::Scroll, grid, add("Scroll"));
    }

    // Event names without the cursor part, Scroll left out unless asked for.
    QStringList names(bool withScroll = false) const
    {
        QStringList out;
        for (const QString &e : events) {
            const QString name = e.section(QLatin1Char('@'), 0, 0);
            if (withScroll || name != QLatin1String("Scroll"))
                out << name;
        }
        return out;
    }

    QStringList events;

private:
    FlexGrid *m_grid;
};

} // namespace tessera::test
