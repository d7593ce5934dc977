// GridFormats: lookup, covering compaction and the shifts that keep formats on their cells.
#include "grid_formats.h"

#include <QPixmap>

#include <algorithm>
#include <tuple>

namespace tessera::detail {

namespace {
bool covers(const CellRange &outer, const CellRange &inner)
{
    return outer.row1 <= inner.row1 && inner.row2 <= outer.row2 && outer.col1 <= inner.col1
        && inner.col2 <= outer.col2;
}

bool contains(const CellRange &r, int row, int col)
{
    return row >= r.row1 && row <= r.row2 && col >= r.col1 && col <= r.col2;
}

template<class V> auto lowerRow(V &v, int row)
{
    // A column with a few formatted cells is counted through: a binary search's branches are
    // unpredictable, and there they cost more than the compares.
    if (v.size() <= 32) {
        int below = 0;
        for (const auto &c : v)
            below += c.row < row;
        return v.begin() + below;
    }
    return std::lower_bound(
        v.begin(), v.end(), row, [](const auto &c, int r) { return c.row < r; });
}

// Where column c goes when column `from` moves to `to`.
int movedCol(int c, int from, int to)
{
    if (c == from)
        return to;
    if (from < to && c > from && c <= to)
        return c - 1;
    if (from > to && c >= to && c < from)
        return c + 1;
    return c;
}
} // namespace

std::uint32_t GridFormats::Layers::intern(const QVariant &v)
{
    // Formats repeat a handful of values; look back a little before adding a new one. Colours
    // and flags are plain integers: compared without QVariant's general equality, and with the
    // stored values' types kept beside them (asking a QVariant its type is a call into Qt).
    const size_t n = values.size();
    const int type = v.typeId();
    auto sameInt = [&](size_t i) {
        return valueTypes[i] == QMetaType::Int
            && *static_cast<const int *>(values[i].constData())
            == *static_cast<const int *>(v.constData());
    };
    if (type == QMetaType::Int && lastValue < n && sameInt(lastValue))
        return lastValue;
    for (size_t i = n; i > 0 && i + 8 > n; --i) {
        if (valueTypes[i - 1] != type)
            continue;
        if (type == QMetaType::Int) {
            if (sameInt(i - 1))
                return lastValue = std::uint32_t(i - 1);
            continue;
        }
        // Pictures have no operator==; the same picture shares its cache key.
        const QVariant &old = values[i - 1];
        const bool same = type == QMetaType::QPixmap
            ? old.value<QPixmap>().cacheKey() == v.value<QPixmap>().cacheKey()
            : old == v;
        if (same)
            return lastValue = std::uint32_t(i - 1);
    }
    valueTypes.push_back(type);
    try {
        values.push_back(v);
    } catch (...) {
        valueTypes.pop_back(); // the two lists never part
        throw;
    }
    return lastValue = std::uint32_t(n);
}

void GridFormats::Layers::addToIndex(std::uint32_t i) const
{
    const CellRange &r = ranges[i].r;
    if (!isShort(r)) {
        tall.push_back(i);
        return;
    }
    const int b1 = r.row1 / kBlockRows, b2 = r.row2 / kBlockRows;
    for (int b = b1; b <= b2; ++b)
        blocks[b].push_back(i);
}

void GridFormats::Layers::ensureIndex() const
{
    if (indexed)
        return;
    blocks.clear();
    tall.clear();
    for (std::uint32_t i = 0; i < ranges.size(); ++i)
        if (ranges[i].value != kDead)
            addToIndex(i);
    indexed = true;
}

void GridFormats::Layers::dropDead()
{
    ranges.erase(std::remove_if(
                     ranges.begin(), ranges.end(), [](const Range &g) { return g.value == kDead; }),
        ranges.end());
    deadRanges = 0;
    indexed = false;
}

void GridFormats::Layers::joinPieces()
{
    // Pieces of one write sit next to each other in the list (they were made together, and
    // nothing reorders the list), so each group is sorted and joined on its own.
    std::vector<Range> out;
    out.reserve(ranges.size());
    for (size_t i = 0; i < ranges.size();) {
        size_t j = i + 1;
        while (j < ranges.size() && ranges[j].origin == ranges[i].origin)
            ++j;
        if (j - i == 1) {
            out.push_back(ranges[i]);
            i = j;
            continue;
        }
        std::sort(ranges.begin() + qsizetype(i), ranges.begin() + qsizetype(j),
            [](const Range &a, const Range &b) {
                return std::tie(a.r.col1, a.r.col2, a.r.row1)
                    < std::tie(b.r.col1, b.r.col2, b.r.row1);
            });
        for (size_t k = i; k < j; ++k) {
            Range &last = out.back();
            const Range &g = ranges[k];
            if (k > i && last.r.col1 == g.r.col1 && last.r.col2 == g.r.col2
                && g.r.row1 <= last.r.row2 + 1)
                last.r.row2 = std::max(last.r.row2, g.r.row2);
            else
                out.push_back(g);
        }
        i = j;
    }
    ranges.swap(out);
    indexed = false;
}

bool GridFormats::set(const CellRange &range, CellAttr attr, const QVariant &value)
{
    if (attr >= CellAttr::Count)
        return false;
    Layers &l = m_layers[size_t(attr)];
    const std::uint32_t v = l.intern(value);
    if (range.row1 == range.row2 && range.col1 == range.col2) {
        if (l.cells.size() <= size_t(range.col1))
            l.cells.resize(size_t(range.col1) + 1);
        auto &col = l.cells[size_t(range.col1)];
        if (col.empty() || col.back().row < range.row1) { // writers go down a column
            col.push_back(Cell { range.row1, v });
            return true;
        }
        auto it = lowerRow(col, range.row1);
        if (it == col.end() || it->row != range.row1) {
            col.insert(it, Cell { range.row1, v });
            return true;
        }
        // A cell's own entry wins over every range: the same value again changes nothing.
        const bool changed = it->value != v;
        it->value = v;
        return changed;
    }
    return setRange(l, range, v);
}

// Out of line: the single-cell path above runs on every cursor move and pays for no frame this
// big.
Q_NEVER_INLINE bool GridFormats::setRange(Layers &l, const CellRange &range, std::uint32_t v)
{
    // Older layers hidden entirely by the new one can go. A short range can only cover short
    // ones in its own row blocks; a tall one looks at everything.
    l.ensureIndex();
    auto bury = [&](std::uint32_t i) {
        Range &old = l.ranges[i];
        if (old.value != kDead && !old.piece && covers(range, old.r)) {
            old.value = kDead;
            ++l.deadRanges;
        }
    };
    if (isShort(range)) {
        for (int b = range.row1 / kBlockRows; b <= range.row2 / kBlockRows; ++b) {
            auto it = l.blocks.find(b);
            if (it != l.blocks.end())
                for (auto i : it->second)
                    bury(i);
        }
    } else {
        for (std::uint32_t i = 0; i < l.ranges.size(); ++i)
            bury(i);
    }
    for (int c = range.col1; c <= range.col2 && size_t(c) < l.cells.size(); ++c) {
        auto &col = l.cells[size_t(c)];
        col.erase(lowerRow(col, range.row1), lowerRow(col, range.row2 + 1));
    }
    l.ranges.push_back(Range { range, v, l.nextOrigin++ });
    if (l.deadRanges > 64 && l.deadRanges * 2 > l.ranges.size())
        l.dropDead();
    else
        l.addToIndex(std::uint32_t(l.ranges.size() - 1));
    return true;
}

QVariant GridFormats::get(int row, int col, CellAttr attr) const
{
    if (attr >= CellAttr::Count)
        return {};
    const Layers &l = m_layers[size_t(attr)];
    if (size_t(col) < l.cells.size()) {
        const auto &cells = l.cells[size_t(col)];
        if (!cells.empty()) {
            auto it = lowerRow(cells, row);
            if (it != cells.end() && it->row == row)
                return l.values[it->value];
        }
    }
    if (l.ranges.empty())
        return {};
    l.ensureIndex();
    // The newest range holding the cell: the newest short one of its block, or a newer tall one.
    std::int64_t best = -1;
    auto block = l.blocks.find(row / kBlockRows);
    if (block != l.blocks.end()) {
        const auto &list = block->second;
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            const Range &g = l.ranges[*it];
            if (g.value != kDead && contains(g.r, row, col)) {
                best = *it;
                break;
            }
        }
    }
    for (auto it = l.tall.rbegin(); it != l.tall.rend() && std::int64_t(*it) > best; ++it) {
        const Range &g = l.ranges[*it];
        if (g.value != kDead && contains(g.r, row, col)) {
            best = *it;
            break;
        }
    }
    return best < 0 ? QVariant() : l.values[l.ranges[size_t(best)].value];
}

void GridFormats::clear()
{
    for (auto &l : m_layers)
        l = Layers {};
}

bool GridFormats::isEmpty() const
{
    return entryCount() == 0;
}

qint64 GridFormats::entryCount() const
{
    qint64 n = 0;
    for (const auto &l : m_layers) {
        n += qint64(l.ranges.size() - l.deadRanges);
        for (const auto &c : l.cells)
            n += qint64(c.size());
    }
    return n;
}

void GridFormats::insertRow(int row)
{
    for (auto &l : m_layers) {
        l.indexed = false;
        for (auto &g : l.ranges) {
            if (g.r.row1 >= row) {
                ++g.r.row1;
                ++g.r.row2;
            } else if (g.r.row2 >= row) {
                ++g.r.row2;
            }
        }
        for (auto &col : l.cells)
            for (auto it = lowerRow(col, row); it != col.end(); ++it)
                ++it->row;
    }
}

void GridFormats::removeRow(int row)
{
    for (auto &l : m_layers) {
        std::vector<Range> kept;
        kept.reserve(l.ranges.size());
        for (auto g : l.ranges) {
            if (g.value == kDead)
                continue;
            if (g.r.row1 > row) {
                --g.r.row1;
                --g.r.row2;
            } else if (g.r.row2 >= row) {
                if (g.r.row1 == g.r.row2)
                    continue;
                --g.r.row2;
            }
            kept.push_back(g);
        }
        l.ranges.swap(kept);
        l.deadRanges = 0;
        l.joinPieces();
        for (auto &col : l.cells) {
            auto it = lowerRow(col, row);
            if (it != col.end() && it->row == row)
                it = col.erase(it);
            for (; it != col.end(); ++it)
                --it->row;
        }
    }
}

void GridFormats::remapRows(const RowRemap &map)
{
    const std::vector<int> to = map.inverse();
    const int first = map.first, last = map.first + map.oldCount - 1, delta = map.delta();
    auto newRow
        = [&](int row) { return row > last ? row + delta : first + to[size_t(row - first)]; };
    for (auto &l : m_layers) {
        std::vector<Range> out;
        out.reserve(l.ranges.size());
        std::vector<int> landed;
        for (auto g : l.ranges) {
            if (g.value == kDead)
                continue;
            if (g.r.row2 < first) {
                out.push_back(g);
                continue;
            }
            if (g.r.row1 > last || (g.r.row1 <= first && g.r.row2 >= last)) {
                if (g.r.row1 > last)
                    g.r.row1 += delta;
                g.r.row2 += delta;
                if (g.r.row1 <= g.r.row2)
                    out.push_back(g);
                continue;
            }
            // Partly over the block: the rows outside it keep their runs, the rows inside land
            // in runs of consecutive new rows; runs that now touch join again.
            landed.clear();
            for (int r = std::max(g.r.row1, first); r <= std::min(g.r.row2, last); ++r)
                if (to[size_t(r - first)] >= 0)
                    landed.push_back(first + to[size_t(r - first)]);
            std::sort(landed.begin(), landed.end());
            std::vector<std::pair<int, int>> runs;
            auto addRun = [&runs](int r1, int r2) {
                if (!runs.empty() && runs.back().second + 1 == r1)
                    runs.back().second = r2;
                else
                    runs.emplace_back(r1, r2);
            };
            if (g.r.row1 < first)
                addRun(g.r.row1, first - 1);
            for (int row : landed)
                addRun(row, row);
            if (g.r.row2 > last)
                addRun(last + 1 + delta, g.r.row2 + delta);
            for (const auto &[r1, r2] : runs) {
                Range piece = g;
                piece.r.row1 = r1;
                piece.r.row2 = r2;
                piece.piece = piece.piece || runs.size() > 1;
                out.push_back(piece);
            }
        }
        l.ranges.swap(out);
        l.deadRanges = 0;
        l.joinPieces();
        for (auto &col : l.cells) {
            auto it = lowerRow(col, first);
            std::vector<Cell> moved;
            for (auto c = it; c != col.end(); ++c) {
                if (c->row <= last && to[size_t(c->row - first)] < 0)
                    continue;
                moved.push_back(Cell { newRow(c->row), c->value });
            }
            std::sort(moved.begin(), moved.end(),
                [](const Cell &a, const Cell &b) { return a.row < b.row; });
            col.erase(it, col.end());
            col.insert(col.end(), moved.begin(), moved.end());
        }
    }
}

void GridFormats::moveCol(int from, int to)
{
    if (from == to)
        return;
    const int lo = std::min(from, to), hi = std::max(from, to);
    for (auto &l : m_layers) {
        if (!l.cells.empty()) {
            if (l.cells.size() <= size_t(hi))
                l.cells.resize(size_t(hi) + 1);
            if (from < to)
                std::rotate(
                    l.cells.begin() + from, l.cells.begin() + from + 1, l.cells.begin() + to + 1);
            else
                std::rotate(
                    l.cells.begin() + to, l.cells.begin() + from, l.cells.begin() + from + 1);
        }
        std::vector<Range> out;
        out.reserve(l.ranges.size());
        for (const auto &g : l.ranges) {
            if (g.value == kDead)
                continue;
            if (g.r.col2 < lo || g.r.col1 > hi || (g.r.col1 <= lo && g.r.col2 >= hi)) {
                out.push_back(g); // the move happens outside it, or wholly inside it
                continue;
            }
            // The range's columns land in up to three runs; one layer per run.
            std::vector<int> landed;
            for (int c = g.r.col1; c <= g.r.col2; ++c)
                landed.push_back(movedCol(c, from, to));
            std::sort(landed.begin(), landed.end());
            size_t i = 0;
            while (i < landed.size()) {
                size_t j = i;
                while (j + 1 < landed.size() && landed[j + 1] == landed[j] + 1)
                    ++j;
                Range piece = g;
                piece.r.col1 = landed[i];
                piece.r.col2 = landed[j];
                piece.piece = piece.piece || landed.size() != j - i + 1;
                out.push_back(piece);
                i = j + 1;
            }
        }
        l.ranges.swap(out);
        l.deadRanges = 0;
        l.indexed = false;
    }
}

void GridFormats::truncate(int rows, int cols)
{
    for (auto &l : m_layers) {
        std::vector<Range> kept;
        kept.reserve(l.ranges.size());
        for (auto g : l.ranges) {
            if (g.value == kDead)
                continue;
            g.r.row2 = std::min(g.r.row2, rows - 1);
            g.r.col2 = std::min(g.r.col2, cols - 1);
            if (g.r.row1 <= g.r.row2 && g.r.col1 <= g.r.col2)
                kept.push_back(g);
        }
        l.ranges.swap(kept);
        l.deadRanges = 0;
        l.indexed = false;
        if (l.cells.size() > size_t(std::max(cols, 0)))
            l.cells.resize(size_t(std::max(cols, 0)));
        for (auto &col : l.cells)
            col.erase(lowerRow(col, rows), col.end());
    }
}

} // namespace tessera::detail
