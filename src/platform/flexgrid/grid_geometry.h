// GridSizes: row heights or column widths as a default plus sparse overrides, with prefix sums so
// that positions and hit tests cost O(log overrides) at a million rows. An override keeps the
// exact twips the host gave and the pixels it is drawn with.
#pragma once

#include "grid_model.h"

#include <QtGlobal>

#include <vector>

namespace tessera::detail {

class GridSizes {
public:
    int count() const { return m_count; }
    void setCount(int count);

    // Pixels, -1 when not set.
    int size(int index) const;
    // Twips as set, -1 when not set.
    qint32 twips(int index) const;
    // twips < 0 clears the override; it is drawn as the nearest pixels.
    void setSize(int index, qint32 twips);
    int effective(int index, int defaultSize) const
    {
        const int s = size(index);
        return s < 0 ? defaultSize : s;
    }
    // Offset of `index` from the first entry; index may equal count().
    qint64 position(int index, int defaultSize) const;
    // The entry containing `offset` (clamped to 0..count()-1); -1 when count() is 0.
    int at(qint64 offset, int defaultSize) const;

    void insert(int index);
    void remove(int index);
    void move(int from, int to);
    void remapRows(const RowRemap &map);
    void clear()
    {
        m_overrides.clear();
        m_dirtyFrom = 0;
    }

private:
    struct Override {
        int index;
        int size; // pixels
        qint32 twips;
    };
    // Overrides below `index`: how many, and the sum of their sizes.
    void sumsBelow(int index, int &n, qint64 &sum) const;
    void touch(size_t from) { m_dirtyFrom = std::min(m_dirtyFrom, from); }
    void rebuild() const;

    int m_count = 0;
    std::vector<Override> m_overrides; // sorted by index
    mutable std::vector<qint64> m_prefix; // m_prefix[i]: sum of sizes of overrides [0, i)
    mutable size_t m_dirtyFrom = 0;
};

} // namespace tessera::detail
