// GridSizes: sorted overrides, prefix sums rebuilt lazily from the first changed override (so a
// pass that sets every row's height in order stays linear).
#include "grid_geometry.h"

#include <tessera/Twips.h>

#include <algorithm>

namespace tessera::detail {

namespace {
template<class V> auto lowerIndex(V &v, int index)
{
    return std::lower_bound(
        v.begin(), v.end(), index, [](const auto &o, int i) { return o.index < i; });
}
} // namespace

void GridSizes::setCount(int count)
{
    count = std::max(count, 0);
    if (count < m_count) {
        auto it = lowerIndex(m_overrides, count);
        touch(size_t(it - m_overrides.begin()));
        m_overrides.erase(it, m_overrides.end());
    }
    m_count = count;
}

int GridSizes::size(int index) const
{
    auto it = lowerIndex(m_overrides, index);
    return (it != m_overrides.end() && it->index == index) ? it->size : -1;
}

qint32 GridSizes::twips(int index) const
{
    auto it = lowerIndex(m_overrides, index);
    return (it != m_overrides.end() && it->index == index) ? it->twips : -1;
}

void GridSizes::setSize(int index, qint32 twips)
{
    if (index < 0 || index >= m_count)
        return;
    const int pixels = std::max(toPixels(twips), 0);
    auto it = lowerIndex(m_overrides, index);
    const size_t pos = size_t(it - m_overrides.begin());
    if (it != m_overrides.end() && it->index == index) {
        if (twips < 0)
            m_overrides.erase(it);
        else if (it->twips == twips && it->size == pixels)
            return;
        else
            *it = Override { index, pixels, twips };
    } else {
        if (twips < 0)
            return;
        m_overrides.insert(it, Override { index, pixels, twips });
    }
    touch(pos);
}

void GridSizes::rebuild() const
{
    if (m_dirtyFrom >= m_overrides.size() && m_prefix.size() == m_overrides.size() + 1)
        return;
    m_prefix.resize(m_overrides.size() + 1);
    m_prefix[0] = 0;
    for (size_t i = std::max<size_t>(m_dirtyFrom, 0); i < m_overrides.size(); ++i)
        m_prefix[i + 1] = m_prefix[i] + m_overrides[i].size;
    m_dirtyFrom = m_overrides.size();
}

void GridSizes::sumsBelow(int index, int &n, qint64 &sum) const
{
    rebuild();
    auto it = lowerIndex(m_overrides, index);
    n = int(it - m_overrides.begin());
    sum = m_prefix[size_t(n)];
}

qint64 GridSizes::position(int index, int defaultSize) const
{
    index = std::clamp(index, 0, m_count);
    if (m_overrides.empty()) // the common case, asked on every cursor move
        return qint64(index) * defaultSize;
    int n;
    qint64 sum;
    sumsBelow(index, n, sum);
    return qint64(index - n) * defaultSize + sum;
}

int GridSizes::at(qint64 offset, int defaultSize) const
{
    if (m_count <= 0)
        return -1;
    if (offset < 0)
        return 0;
    // Largest index whose position is <= offset (zero-sized entries are skipped over).
    int lo = 0, hi = m_count - 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (position(mid, defaultSize) <= offset)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

void GridSizes::insert(int index)
{
    auto it = lowerIndex(m_overrides, index);
    touch(size_t(it - m_overrides.begin()));
    for (; it != m_overrides.end(); ++it)
        ++it->index;
    ++m_count;
}

void GridSizes::remove(int index)
{
    auto it = lowerIndex(m_overrides, index);
    touch(size_t(it - m_overrides.begin()));
    if (it != m_overrides.end() && it->index == index)
        it = m_overrides.erase(it);
    for (; it != m_overrides.end(); ++it)
        --it->index;
    --m_count;
}

void GridSizes::move(int from, int to)
{
    if (from == to)
        return;
    const int lo = std::min(from, to), hi = std::max(from, to);
    RowRemap map { lo, hi - lo + 1, {} };
    // New position p takes the old entry from[p - lo].
    for (int p = lo; p <= hi; ++p) {
        int src;
        if (p == to)
            src = from;
        else if (from < to)
            src = p + 1;
        else
            src = p - 1;
        map.from.push_back(src - lo);
    }
    remapRows(map);
}

void GridSizes::remapRows(const RowRemap &map)
{
    const std::vector<int> to = map.inverse();
    const int end = map.first + map.oldCount;
    auto begin = lowerIndex(m_overrides, map.first);
    touch(size_t(begin - m_overrides.begin()));
    std::vector<Override> moved;
    for (auto it = begin; it != m_overrides.end(); ++it) {
        Override o = *it;
        if (o.index >= end) {
            o.index += map.delta();
        } else {
            const int target = to[size_t(o.index - map.first)];
            if (target < 0)
                continue;
            o.index = map.first + target;
        }
        moved.push_back(o);
    }
    std::sort(moved.begin(), moved.end(),
        [](const Override &a, const Override &b) { return a.index < b.index; });
    m_overrides.erase(begin, m_overrides.end());
    m_overrides.insert(m_overrides.end(), moved.begin(), moved.end());
    m_count += map.delta();
}

} // namespace tessera::detail
