// Filter criteria and sort keys: parsed once against a table's fields into a small compiled form,
// then run over whole columns.
#pragma once

#include "storage.h"

#include <memory>
#include <vector>

namespace tessera::detail {

struct CriteriaNode;

class Criteria {
public:
    // Parses the criteria text; raises 3001 naming the fault (syntax, unknown field, a value the
    // field's type cannot compare with).
    static std::unique_ptr<Criteria> compile(const QString &text, const Table &table);
    ~Criteria();

    // mask[i] = 1 when record first + i matches, for i in [0, count).
    void evaluate(const Table &table, int first, int count, std::vector<quint8> &mask) const;

private:
    Criteria();
    std::unique_ptr<CriteriaNode> root;
};

struct SortKey {
    int column = -1;
    bool descending = false;
};

// "Field [ASC|DESC], ..." with [bracketed] names; "" gives no keys. Raises 3001.
std::vector<SortKey> parseSort(const QString &text, const Table &table);

// Stable sort of record numbers by the keys: Null first ascending, text without regard to case.
void sortRows(std::vector<int> &rows, const Table &table, const std::vector<SortKey> &keys);
// Whether record a comes before record b under the keys.
bool sortsBefore(const Table &table, const std::vector<SortKey> &keys, int a, int b);

} // namespace tessera::detail
