// GridModel's state, shared by its topic files (grid_model, grid_sort, grid_merge, grid_binding).
#pragma once

#include "grid_formats.h"
#include "grid_geometry.h"
#include "grid_model.h"
#include "grid_text_store.h"

#include <cstdint>
#include <vector>

namespace tessera::detail {

struct GridModel::Private {
    struct ColInfo {
        int alignment = 9;
        int fixedAlignment = -1;
        qint32 data = 0;
        bool merge = false;
        int field = -1; // bound field shown by the column, -1 for none
    };

    GridTextStore text;
    GridFormats formats;
    GridSizes rowSizes;
    GridSizes colSizes;
    std::vector<ColInfo> colInfo;
    std::vector<qint32> rowData; // empty until a row gets data
    std::vector<char> mergeRows; // empty until a row merges

    // Binding: rowSource[r] is the record number row r reads through to, -1 for none. `live`
    // while bound; after unbind() the rows go on reading the records they showed.
    RecordsetPtr recordset;
    bool live = false;
    int boundFixedRows = 0;
    int boundFixedCols = 0;
    std::vector<std::int32_t> rowSource;
    // The view as last followed: its stamp, and a hash of its record numbers in order.
    quint64 syncedViewStamp = 0;
    quint64 syncedViewHash = 0;
    size_t syncedViewCount = 0;

    // Bumped by every change of text or merge flags; keys the merge cache.
    quint64 version = 0;
    // What bound texts were last read from: the record set, its change stamp, the user's locale
    // (numbers and dates are shown in it). Any difference counts as a change of text.
    mutable const Recordset *stampedRecordset = nullptr;
    mutable quint64 stampedRecordsetStamp = 0;
    mutable int stampedLocale = 0;
    struct MergeCache {
        quint64 version = ~quint64(0);
        quint64 stamp = 0; // the bound record set's change stamp
        int mode = -1, fixedRows = -1, fixedCols = -1;
        struct Run {
            int col = -1, row1 = 0, row2 = -1;
        };
        Run runs[64]; // the last long vertical run found per column (col % 64)
    };
    mutable MergeCache mergeCache;

    int rows() const { return text.rows(); }
    int cols() const { return text.cols(); }
    bool inRange(int row, int col) const
    {
        return row >= 0 && col >= 0 && row < rows() && col < cols();
    }
    // Reads through to the record set when the cell was never written.
    bool readsThrough(int row, int col) const
    {
        return recordset && !rowSource.empty() && rowSource[size_t(row)] >= 0
            && colInfo[size_t(col)].field >= 0;
    }
    QString boundText(int row, int col) const;
    // The text of a cell; `scratch` keeps a read-through text alive for the returned view.
    QStringView view(int row, int col, QString &scratch) const
    {
        const auto h = text.handle(row, col);
        if (h == GridTextStore::kNone && readsThrough(row, col)) {
            scratch = boundText(row, col);
            return scratch;
        }
        return text.view(h);
    }
    bool sameText(int r1, int c1, int r2, int c2) const;
    void remapRows(const RowRemap &map);
};

} // namespace tessera::detail
