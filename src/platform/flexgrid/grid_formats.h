// GridFormats: cell formats as layers per attribute. Ranges are scanned newest first (a newer range
// that covers an older one removes it); single cells go to a sorted per-column list, and a range
// written later drops the single cells it covers, so a single-cell entry always wins.
#pragma once

#include "grid_model.h"

#include <QVariant>

#include <array>
#include <cstdint>
#include <vector>

namespace tessera::detail {

class GridFormats
{
public:
    void set(const CellRange &range, CellAttr attr, const QVariant &value);
    QVariant get(int row, int col, CellAttr attr) const;
    void clear();
    bool isEmpty() const;

    // Structure changes: formats stay with their cells. A row inserted inside a formatted range
    // takes the range's format (as a spreadsheet's inserted row does).
    void insertRow(int row);
    void removeRow(int row);
    void moveCol(int from, int to);
    // Drops what lies beyond the new dimensions.
    void truncate(int rows, int cols);
    // Number of stored entries (for tests and benchmarks).
    qint64 entryCount() const;

private:
    struct Range
    {
        CellRange r;
        std::uint32_t value;
    };
    struct Cell
    {
        int row;
        std::uint32_t value;
    };
    struct Layers
    {
        std::vector<Range> ranges; // oldest first
        std::vector<std::vector<Cell>> cells; // per column, sorted by row
        std::vector<QVariant> values;
        std::uint32_t intern(const QVariant &v);
    };
    std::array<Layers, size_t(CellAttr::Count)> m_layers;
};

} // namespace tessera::detail
