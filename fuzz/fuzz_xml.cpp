// The rowset XML loader. What loads must save, and what we save must load to the same bytes.
// Every loaded value must be one its field accepts when put through the API, and the second
// load must have the same fields and records as the first.
#include "fuzz_input.h"
#include "recordset_p.h"
#include "storage.h"

#include <cstdlib>

using namespace tessera::detail;

namespace {

std::vector<int> liveRows(const Table &table)
{
    std::vector<int> rows;
    for (int r = 0; r < table.rows; ++r)
        if (!table.deleted[size_t(r)])
            rows.push_back(r);
    return rows;
}

// Each live value put back into its own field, as a host would: it must be accepted.
void checkValuesFitTheirFields(const Table &table)
{
    for (const Column &c : table.columns) {
        Column scratch = c;
        for (int r = 0; r < table.rows; ++r) {
            if (table.deleted[size_t(r)] || c.isNull(r))
                continue;
            try {
                scratch.setValue(r, c.value(r));
            } catch (const tessera::Error &) {
                std::abort(); // the loader kept a value the field refuses
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    std::shared_ptr<Table> first;
    try {
        first = loadXmlData(bytes);
    } catch (const tessera::Error &) {
        return 0; // rejected with a defined error
    }
    if (!first)
        std::abort();
    checkValuesFitTheirFields(*first);
    const QByteArray saved = saveXmlData(*first, liveRows(*first));
    std::shared_ptr<Table> second;
    try {
        second = loadXmlData(saved);
    } catch (const tessera::Error &) {
        std::abort(); // our own output must load
    }
    if (second->columns.size() != first->columns.size()
        || liveRows(*second).size() != liveRows(*first).size())
        std::abort(); // fields or records lost on the way
    for (size_t f = 0; f < first->columns.size(); ++f)
        if (second->columns[f].def.type != first->columns[f].def.type
            || second->columns[f].def.name != first->columns[f].def.name)
            std::abort();
    if (saveXmlData(*second, liveRows(*second)) != saved)
        std::abort(); // the round trip changed something
    return 0;
}
