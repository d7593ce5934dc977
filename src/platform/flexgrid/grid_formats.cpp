// GridFormats: lookup, covering compaction and the shifts that keep formats on their cells.
#include "grid_formats.h"

#include <QPixmap>

#include <algorithm>

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
    // Formats repeat a handful of values; look back a little before adding a new one.
    const size_t n = values.size();
    for (size_t i = n; i > 0 && i + 8 > n; --i) {
        const QVariant &old = values[i - 1];
        if (old.metaType() != v.metaType())
            continue;
        // Pictures have no operator==; the same picture shares its cache key.
        const bool same = v.metaType().id() == QMetaType::QPixmap
            ? old.value<QPixmap>().cacheKey() == v.value<QPixmap>().cacheKey()
            : old == v;
        if (same)
            return std::uint32_t(i - 1);
    }
    values.push_back(v);
    return std::uint32_t(n);
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

void GridFormats::set(const CellRange &range, CellAttr attr, const QVariant &value)
{
    if (attr >= CellAttr::Count)
        return;
    Layers &l = m_layers[size_t(attr)];
    const std::uint32_t v = l.intern(value);
    if (range.row1 == range.row2 && range.col1 == range.col2) {
        if (l.cells.size() <= size_t(range.col1))
            l.cells.resize(size_t(range.col1) + 1);
        auto &col = l.cells[size_t(range.col1)];
        auto it = lowerRow(col, range.row1);
        if (it != col.end() && it->row == range.row1)
            it->value = v;
        else
            col.insert(it, Cell { range.row1, v });
        return;
    }
    // Older layers hidden entirely by the new one can go. A short range can only cover short
    // ones in its own row blocks; a tall one looks at everything.
    l.ensureIndex();
    auto bury = [&](std::uint32_t i) {
        Range &old = l.ranges[i];
        if (old.value != kDead && covers(range, old.r)) {
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
    l.ranges.push_back(Range { range, v });
    if (l.deadRanges > 64 && l.deadRanges * 2 > l.ranges.size())
        l.dropDead();
    else
        l.addToIndex(std::uint32_t(l.ranges.size() - 1));
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
        l.indexed = false;
        for (auto &col : l.cells) {
            auto it = lowerRow(col, row);
            if (it != col.end() && it->row == row)
                it = col.erase(it);
            for (; it != col.end(); ++it)
                --it->row;
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
