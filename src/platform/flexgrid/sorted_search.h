// firstNotBelow: the lower bound of a key in a vector sorted by it, found by branch-free halving.
// The grid's sparse per-cell and per-row lists are searched on every cursor move, at cells a
// user's cursor goes back and forth over, where a branching search mispredicts at every step.
#pragma once

#include <cstddef>

namespace tessera::detail {

// The first element whose key(element) is not below `value`, or end().
template<class V, class Key> auto firstNotBelow(V &v, int value, Key key)
{
    auto first = v.begin();
    size_t n = v.size();
    while (n > 1) {
        const size_t half = n / 2;
        first += half * size_t(key(first[half - 1]) < value); // arithmetic: no branch to guess
        n -= half;
    }
    return first + (n == 1 && key(*first) < value);
}

} // namespace tessera::detail
