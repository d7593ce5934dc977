// GridFormats: cell formats as layers per attribute. Ranges are kept oldest first (a newer range
// that covers an older one removes it) and found through an index by blocks of rows, so that a
// loop formatting row after row stays cheap to look up. Single cells go to a sorted per-column
// list, and a range written later drops the single cells it covers, so a single-cell entry wins.
#pragma once

#include "grid_model.h"

#include <QVariant>

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tessera::detail {

class GridFormats {
public:
    // False when nothing shown can have changed (a cell given the value it already has).
    bool set(const CellRange &range, CellAttr attr, const QVariant &value);
    QVariant get(int row, int col, CellAttr attr) const;
    void clear();
    bool isEmpty() const;

    // Structure changes: formats stay with their cells. A row inserted inside a formatted range
    // takes the range's format (as a spreadsheet's inserted row does).
    void insertRow(int row);
    void removeRow(int row);
    // Formats move with their rows. A range over the whole block stays one range (rows new to the
    // block take its format); a range over part of it splits into runs of the rows' new places.
    void remapRows(const RowRemap &map);
    void moveCol(int from, int to);
    // Drops what lies beyond the new dimensions.
    void truncate(int rows, int cols);
    // Number of stored entries (for tests and benchmarks).
    qint64 entryCount() const;

private:
    // A range keeps the id of the write that made it: the pieces one write splits into (by a
    // column move or a sort) join again when rows come back together, so a row inserted
    // between them still takes that write's format. A piece is never buried under a newer
    // range, since its write may reach past it.
    struct Range {
        CellRange r;
        std::uint32_t value;
        std::uint32_t origin;
        bool piece = false;
    };
    struct Cell {
        int row;
        std::uint32_t value;
    };
    static constexpr std::uint32_t kDead = 0xFFFFFFFFu; // a removed range's value
    static constexpr int kBlockRows = 64; // ranges up to this tall are "short"
    static bool isShort(const CellRange &r) { return r.row2 - r.row1 < kBlockRows; }
    struct Layers {
        std::vector<Range> ranges; // oldest first
        size_t deadRanges = 0;
        std::vector<std::vector<Cell>> cells; // per column, sorted by row
        std::vector<QVariant> values;
        std::vector<int> valueTypes; // values[i].typeId()
        std::uint32_t lastValue = 0; // index interned last: bulk writers repeat it
        std::uint32_t nextOrigin = 0;
        // Index: short ranges by the row blocks they touch (at most two), tall ones in a list;
        // both in ascending age. Rebuilt lazily after rows or columns move.
        mutable bool indexed = false;
        mutable std::unordered_map<int, std::vector<std::uint32_t>> blocks;
        mutable std::vector<std::uint32_t> tall;

        std::uint32_t intern(const QVariant &v);
        void ensureIndex() const;
        void addToIndex(std::uint32_t i) const;
        void dropDead();
        // Joins pieces of one write that touch in rows over the same columns.
        void joinPieces();
    };
    static bool setRange(Layers &l, const CellRange &range, std::uint32_t value);
    std::array<Layers, size_t(CellAttr::Count)> m_layers;
};

} // namespace tessera::detail
