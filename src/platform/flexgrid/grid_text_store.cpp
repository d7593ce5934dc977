// GridTextStore: handles, arenas and the row and column moves that only shuffle handles.
// Arena handle: bits 0-19 offset in the chunk, 20-41 chunk index, 42-57 length (>= 4), bit 61 set
// for the Latin-1 arena.
#include "grid_text_store.h"

#include <algorithm>
#include <cstring>

namespace tessera::detail {

namespace {
constexpr std::uint32_t kFirstChunk = 4096;
constexpr std::uint32_t kMaxChunk = 1u << 20;
constexpr int kMaxArenaText = 4096; // longer texts go to QStrings of their own
constexpr std::uint64_t kOffsetMask = (std::uint64_t(1) << 20) - 1;
constexpr std::uint64_t kChunkMask = (std::uint64_t(1) << 22) - 1;
constexpr std::uint64_t kLengthMask = 0xFFFF;
constexpr std::uint64_t kLatinFlag = std::uint64_t(1) << 61;

bool isInline(std::uint64_t h)
{
    return h & GridTextStore::kInlineFlag;
}
bool isBig(std::uint64_t h)
{
    return !isInline(h) && (h & GridTextStore::kBigFlag);
}
bool isArena(std::uint64_t h)
{
    return h != 0 && !(h & (GridTextStore::kInlineFlag | GridTextStore::kBigFlag));
}
std::uint32_t arenaLength(std::uint64_t h)
{
    return std::uint32_t((h >> 42) & kLengthMask);
}
bool isLatin(std::uint64_t h)
{
    return h & kLatinFlag;
}
std::uint32_t arenaBytes(std::uint64_t h)
{
    return arenaLength(h) * (isLatin(h) ? 1 : 2);
}
// Buffers that give decoded texts an address for as long as a caller looks at a few at once.
char16_t *decodeBuffer(qsizetype len)
{
    thread_local std::vector<char16_t> ring[8];
    thread_local unsigned next = 0;
    auto &buf = ring[next++ & 7];
    if (buf.size() < size_t(len))
        buf.resize(size_t(len));
    return buf.data();
}
} // namespace

GridTextStore::GridTextStore() = default;
GridTextStore::~GridTextStore() = default;

void GridTextStore::setRows(int rows)
{
    rows = std::max(rows, 0);
    if (rows == m_rows)
        return;
    for (auto &column : m_columns) {
        if (column.size() <= size_t(rows))
            continue;
        for (size_t r = size_t(rows); r < column.size(); ++r)
            release(column[r]);
        column.resize(size_t(rows));
        if (column.capacity() > 2 * column.size() + 64)
            column.shrink_to_fit();
    }
    m_rows = rows;
    compactIfWasteful();
}

void GridTextStore::setCols(int cols)
{
    cols = std::max(cols, 0);
    for (size_t c = size_t(cols); c < m_columns.size(); ++c)
        for (auto h : m_columns[c])
            release(h);
    m_columns.resize(size_t(cols));
    compactIfWasteful();
}

QStringView GridTextStore::view(std::uint64_t h) const
{
    if (h == kNone)
        return {};
    if (isInline(h)) {
        const int len = int((h >> 48) & 3);
        char16_t *buf = decodeBuffer(len);
        for (int i = 0; i < len; ++i)
            buf[i] = char16_t((h >> (16 * i)) & 0xFFFF);
        return QStringView(buf, len);
    }
    if (isBig(h))
        return m_big[size_t(h & 0xFFFFFFFFu)];
    const size_t chunk = size_t((h >> 20) & kChunkMask);
    const qsizetype len = qsizetype(arenaLength(h));
    if (isLatin(h)) {
        const char *src = m_latinChunks[chunk].data.get() + (h & kOffsetMask);
        char16_t *buf = decodeBuffer(len);
        for (qsizetype i = 0; i < len; ++i)
            buf[i] = char16_t(static_cast<unsigned char>(src[i]));
        return QStringView(buf, len);
    }
    return QStringView(m_chunks[chunk].data.get() + (h & kOffsetMask), len);
}

QString GridTextStore::string(std::uint64_t h) const
{
    QString s;
    read(h, s);
    return s;
}

void GridTextStore::read(std::uint64_t h, QString &into) const
{
    if (h != kNone && !isInline(h) && !isBig(h) && isLatin(h)) {
        const size_t chunk = size_t((h >> 20) & kChunkMask);
        const auto *src = reinterpret_cast<const unsigned char *>(
            m_latinChunks[chunk].data.get() + (h & kOffsetMask));
        const qsizetype len = qsizetype(arenaLength(h));
        into.resize(len); // keeps the buffer when `into` owns one large enough
        char16_t *dst = reinterpret_cast<char16_t *>(into.data());
        for (qsizetype i = 0; i < len; ++i)
            dst[i] = src[i];
        return;
    }
    if (isBig(h)) {
        into = m_big[size_t(h & 0xFFFFFFFFu)]; // shared, not copied
        return;
    }
    const QStringView text = view(h);
    into.resize(text.size());
    std::copy(text.begin(), text.end(), into.begin());
}

bool GridTextStore::sameText(std::uint64_t a, std::uint64_t b) const
{
    if (a == b)
        return true;
    if (isInline(a) || isInline(b)) {
        // Short texts are always inline, so an inline and a stored text never match, and two
        // different inline handles hold different texts - except "" written and nothing written.
        return (a == kNone || a == kWrittenEmpty) && (b == kNone || b == kWrittenEmpty);
    }
    if (a == kNone || b == kNone)
        return false;
    return view(a) == view(b);
}

std::uint64_t GridTextStore::store(QStringView text)
{
    const qsizetype len = text.size();
    if (len <= 3) {
        std::uint64_t h = kInlineFlag | (std::uint64_t(len) << 48);
        for (qsizetype i = 0; i < len; ++i)
            h |= std::uint64_t(text[i].unicode()) << (16 * i);
        return h;
    }
    if (len > kMaxArenaText) {
        std::uint32_t index;
        if (!m_bigFree.empty()) {
            index = m_bigFree.back();
            m_bigFree.pop_back();
            m_big[index] = text.toString();
        } else {
            index = std::uint32_t(m_big.size());
            m_big.push_back(text.toString());
        }
        return kBigFlag | index;
    }
    bool latin = true;
    for (QChar c : text)
        if (c.unicode() > 0xFF) {
            latin = false;
            break;
        }
    const std::uint64_t lengthBits = std::uint64_t(len) << 42;
    if (latin) {
        char *out;
        const std::uint64_t h = reserveUnits(m_latinChunks, std::uint32_t(len), out);
        for (qsizetype i = 0; i < len; ++i)
            out[i] = char(text[i].unicode());
        m_liveBytes += len;
        return h | lengthBits | kLatinFlag;
    }
    char16_t *out;
    const std::uint64_t h = reserveUnits(m_chunks, std::uint32_t(len), out);
    std::memcpy(out, text.utf16(), size_t(len) * sizeof(char16_t));
    m_liveBytes += 2 * len;
    return h | lengthBits;
}

template<class Unit>
std::uint64_t GridTextStore::reserveUnits(
    std::vector<Chunk<Unit>> &chunks, std::uint32_t len, Unit *&out)
{
    if (chunks.empty() || chunks.back().capacity - chunks.back().used < len) {
        // The chunk's tail stays unused; count it as garbage so compaction can reclaim it.
        if (!chunks.empty())
            m_garbageBytes += qint64(chunks.back().capacity - chunks.back().used) * sizeof(Unit);
        const std::uint32_t cap
            = chunks.empty() ? kFirstChunk : std::min(kMaxChunk, chunks.back().capacity * 2);
        Chunk<Unit> chunk;
        chunk.data.reset(new Unit[cap]);
        chunk.capacity = cap;
        chunks.push_back(std::move(chunk));
    }
    Chunk<Unit> &chunk = chunks.back();
    const std::uint32_t offset = chunk.used;
    chunk.used += len;
    out = chunk.data.get() + offset;
    return std::uint64_t(offset) | (std::uint64_t(chunks.size() - 1) << 20);
}

void GridTextStore::release(std::uint64_t h)
{
    if (isArena(h)) {
        m_liveBytes -= arenaBytes(h);
        m_garbageBytes += arenaBytes(h);
    } else if (isBig(h)) {
        const auto index = std::uint32_t(h & 0xFFFFFFFFu);
        m_big[index] = QString();
        m_bigFree.push_back(index);
    }
}

std::uint64_t &GridTextStore::slot(int row, int col)
{
    auto &column = m_columns[size_t(col)];
    if (size_t(row) >= column.size()) {
        // Grow by doubling, but never past the grid's rows: a filled column holds exactly them.
        if (size_t(row) >= column.capacity())
            column.reserve(
                std::min(size_t(m_rows), std::max(size_t(row) + 1, 2 * column.capacity())));
        column.resize(size_t(row) + 1, kNone);
    }
    return column[size_t(row)];
}

void GridTextStore::set(int row, int col, QStringView text, bool keepEmpty)
{
    if (text.isEmpty() && !keepEmpty) {
        erase(row, col);
        return;
    }
    const std::uint64_t h = store(text);
    std::uint64_t &cell = slot(row, col);
    const std::uint64_t old = cell;
    cell = h;
    release(old);
    if (isArena(old))
        compactIfWasteful();
}

void GridTextStore::erase(int row, int col)
{
    auto &column = m_columns[size_t(col)];
    if (size_t(row) >= column.size())
        return;
    release(column[size_t(row)]);
    column[size_t(row)] = kNone;
}

void GridTextStore::insertRow(int row)
{
    for (auto &column : m_columns)
        if (size_t(row) < column.size())
            column.insert(column.begin() + row, kNone);
    ++m_rows;
}

void GridTextStore::removeRow(int row)
{
    for (auto &column : m_columns) {
        if (size_t(row) >= column.size())
            continue;
        release(column[size_t(row)]);
        column.erase(column.begin() + row);
    }
    --m_rows;
}

void GridTextStore::moveCol(int from, int to)
{
    if (from == to)
        return;
    if (from < to)
        std::rotate(
            m_columns.begin() + from, m_columns.begin() + from + 1, m_columns.begin() + to + 1);
    else
        std::rotate(m_columns.begin() + to, m_columns.begin() + from, m_columns.begin() + from + 1);
}

void GridTextStore::remapRows(const RowRemap &map)
{
    const size_t first = size_t(map.first), oldEnd = first + size_t(map.oldCount);
    std::vector<char> kept(size_t(map.oldCount), 0);
    for (int from : map.from)
        if (from >= 0)
            kept[size_t(from)] = 1;
    std::vector<std::uint64_t> block(map.from.size());
    for (auto &column : m_columns) {
        if (column.size() <= first)
            continue; // nothing written from the block down
        const size_t have = column.size();
        for (size_t i = 0; i < map.from.size(); ++i) {
            const int from = map.from[i];
            block[i]
                = from >= 0 && first + size_t(from) < have ? column[first + size_t(from)] : kNone;
        }
        for (size_t k = 0; k < kept.size() && first + k < have; ++k)
            if (!kept[k])
                release(column[first + k]);
        auto begin = column.begin() + qsizetype(first);
        column.erase(begin, column.begin() + qsizetype(std::min(oldEnd, have)));
        column.insert(column.begin() + qsizetype(first), block.begin(), block.end());
        while (!column.empty() && column.back() == kNone)
            column.pop_back();
    }
    m_rows += map.delta();
    compactIfWasteful();
}

void GridTextStore::clear()
{
    for (auto &column : m_columns) {
        column.clear();
        column.shrink_to_fit();
    }
    m_chunks.clear();
    m_latinChunks.clear();
    m_big.clear();
    m_bigFree.clear();
    m_liveBytes = 0;
    m_garbageBytes = 0;
}

void GridTextStore::clearRange(int first, int last, int col)
{
    auto &column = m_columns[size_t(col)];
    last = std::min(last, int(column.size()) - 1);
    for (int r = first; r <= last; ++r) {
        release(column[size_t(r)]);
        column[size_t(r)] = kNone;
    }
    compactIfWasteful();
}

void GridTextStore::compactIfWasteful()
{
    if (m_garbageBytes < (1 << 17) || m_garbageBytes < m_liveBytes)
        return;
    // Copy every live text into fresh chunks; handles change, positions do not.
    std::vector<Chunk<char16_t>> old;
    std::vector<Chunk<char>> oldLatin;
    old.swap(m_chunks);
    oldLatin.swap(m_latinChunks);
    m_liveBytes = 0;
    m_garbageBytes = 0;
    for (auto &column : m_columns) {
        for (auto &h : column) {
            if (!isArena(h))
                continue;
            const size_t chunk = size_t((h >> 20) & kChunkMask);
            const std::uint32_t len = arenaLength(h);
            const std::uint64_t lengthBits = h & ((kLengthMask << 42) | kLatinFlag);
            if (isLatin(h)) {
                char *out;
                const char *src = oldLatin[chunk].data.get() + (h & kOffsetMask);
                h = reserveUnits(m_latinChunks, len, out) | lengthBits;
                std::memcpy(out, src, len);
            } else {
                char16_t *out;
                const char16_t *src = old[chunk].data.get() + (h & kOffsetMask);
                h = reserveUnits(m_chunks, len, out) | lengthBits;
                std::memcpy(out, src, size_t(len) * sizeof(char16_t));
            }
            m_liveBytes += arenaBytes(h);
        }
    }
}

qint64 GridTextStore::memoryUsage() const
{
    qint64 bytes = 0;
    for (const auto &column : m_columns)
        bytes += qint64(column.capacity() * sizeof(std::uint64_t));
    for (const auto &chunk : m_chunks)
        bytes += qint64(chunk.capacity) * 2;
    for (const auto &chunk : m_latinChunks)
        bytes += qint64(chunk.capacity);
    for (const auto &s : m_big)
        bytes += s.capacity() * 2;
    return bytes;
}

} // namespace tessera::detail
