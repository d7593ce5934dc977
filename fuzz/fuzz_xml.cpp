// The rowset XML loader. What loads must save, and what we save must load to the same bytes.
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
    const QByteArray saved = saveXmlData(*first, liveRows(*first));
    std::shared_ptr<Table> second;
    try {
        second = loadXmlData(saved);
    } catch (const tessera::Error &) {
        std::abort(); // our own output must load
    }
    if (saveXmlData(*second, liveRows(*second)) != saved)
        std::abort(); // the round trip changed something
    return 0;
}
