// GridTextStore: the grid's own cell text, column by column, as 8-byte handles into arenas: one
// byte a character for texts within Latin-1 (most of what grids hold), UTF-16 for the rest. Texts
// of up to three characters live in the handle itself. A column holds handles only down to the
// last row written, so empty columns and the rows below the last text cost nothing.
#pragma once

#include "grid_model.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

namespace tessera::detail {

class GridTextStore {
public:
    // Handle 0: nothing written. kWrittenEmpty: an empty text that was written on purpose (it hides
    // a bound record's value).
    static constexpr std::uint64_t kNone = 0;
    static constexpr std::uint64_t kInlineFlag = std::uint64_t(1) << 63;
    static constexpr std::uint64_t kBigFlag = std::uint64_t(1) << 62;
    static constexpr std::uint64_t kWrittenEmpty = kInlineFlag;

    GridTextStore();
    ~GridTextStore();

    int rows() const { return m_rows; }
    int cols() const { return int(m_columns.size()); }
    void setRows(int rows);
    void setCols(int cols);

    std::uint64_t handle(int row, int col) const
    {
        const auto &column = m_columns[size_t(col)];
        return size_t(row) < column.size() ? column[size_t(row)] : kNone;
    }
    // The text behind a handle; valid until the next write, and (for inline and Latin-1 texts,
    // decoded into a small ring of buffers) until the eighth view after it.
    QStringView view(std::uint64_t handle) const;
    // The text behind a handle as a string of its own (Latin-1 texts widened in one pass).
    QString string(std::uint64_t handle) const;
    // The same into `into`, in its own buffer when it has one large enough and shares it with
    // no one: a reader of text after text allocates once.
    void read(std::uint64_t handle, QString &into) const;
    QString text(int row, int col) const { return string(handle(row, col)); }
    // Writes a text; an empty one becomes kWrittenEmpty when `keepEmpty`, else kNone.
    void set(int row, int col, QStringView text, bool keepEmpty = false);
    void erase(int row, int col);
    // True when the two handles stand for equal texts.
    bool sameText(std::uint64_t a, std::uint64_t b) const;

    void insertRow(int row);
    void removeRow(int row);
    void moveCol(int from, int to);
    void remapRows(const RowRemap &map);
    // Drops every text; dimensions stay.
    void clear();
    // Drops the texts of column `col` in rows first..last.
    void clearRange(int first, int last, int col);

    qint64 memoryUsage() const;

private:
    template<class Unit> struct Chunk {
        std::unique_ptr<Unit[]> data;
        std::uint32_t capacity = 0; // units
        std::uint32_t used = 0;
    };
    // Appends `len` units to the last chunk of `chunks` (a new one when full); returns the handle
    // bits for offset and chunk index and where to write.
    template<class Unit>
    std::uint64_t reserveUnits(std::vector<Chunk<Unit>> &chunks, std::uint32_t len, Unit *&out);

    std::uint64_t store(QStringView text);
    void release(std::uint64_t handle);
    std::uint64_t &slot(int row, int col);
    void compactIfWasteful();

    int m_rows = 0;
    std::vector<std::vector<std::uint64_t>> m_columns;
    std::vector<Chunk<char16_t>> m_chunks;
    std::vector<Chunk<char>> m_latinChunks;
    std::vector<QString> m_big; // texts too long for an arena slot
    std::vector<std::uint32_t> m_bigFree;
    qint64 m_liveBytes = 0; // arena bytes of texts in use
    qint64 m_garbageBytes = 0; // arena bytes of texts replaced or dropped
};

} // namespace tessera::detail
