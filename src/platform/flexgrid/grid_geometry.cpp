// GridSizes: sorted overrides, prefix sums rebuilt lazily from the first changed override (so a
// pass that sets every row's height in order stays linear).
#include "grid_geometry.h"

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

void GridSizes::setSize(int index, int size)
{
    if (index < 0 || index >= m_count)
        return;
    auto it = lowerIndex(m_overrides, index);
    const size_t pos = size_t(it - m_overrides.begin());
    if (it != m_overrides.end() && it->index == index) {
        if (size < 0)
            m_overrides.erase(it);
        else if (it->size == size)
            return;
        else
            it->size = size;
    } else {
        if (size < 0)
            return;
        m_overrides.insert(it, Override { index, size });
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
    std::vector<int> order;
    order.reserve(size_t(hi - lo + 1));
    // New position p (relative to lo) takes the old entry order[p].
    for (int p = lo; p <= hi; ++p) {
        int src;
        if (p == to)
            src = from;
        else if (from < to)
            src = p + 1;
        else
            src = p - 1;
        order.push_back(src - lo);
    }
    permute(lo, order);
}

void GridSizes::permute(int first, const std::vector<int> &order)
{
    const int last = first + int(order.size()) - 1;
    auto begin = lowerIndex(m_overrides, first);
    auto end = lowerIndex(m_overrides, last + 1);
    if (begin == end)
        return;
    // inverse[old] = new position
    std::vector<int> inverse(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        inverse[size_t(order[i])] = int(i);
    for (auto it = begin; it != end; ++it)
        it->index = first + inverse[size_t(it->index - first)];
    std::sort(begin, end, [](const Override &a, const Override &b) { return a.index < b.index; });
    touch(size_t(begin - m_overrides.begin()));
}

} // namespace tessera::detail
