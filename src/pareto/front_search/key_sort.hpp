#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compact_index.hpp"

namespace quorvel {

struct KeyedIndex {
    std::uint64_t key;
    CompactIndex index;
};

// An unsigned key that orders like the value, for every value but NaN;
// -0 and +0 get the same key.
std::uint64_t order_key(double value);

// Stable sort by key in linear time (radix sort by bytes).
void sort_by_key(std::vector<KeyedIndex>& entries, std::vector<KeyedIndex>& scratch);

// Starts loading the row of points that a walk over order, now at
// `position`, reaches a few places later: rows in sorted order are scattered
// over the set, and loading them this far ahead hides most of the wait.
inline void prefetch_row_ahead(const double* points, std::span<const KeyedIndex> order,
                               std::size_t position, std::size_t n_variables) {
    constexpr std::size_t kAhead = 16;
    if (position + kAhead < order.size())
        __builtin_prefetch(points + n_variables * std::size_t{order[position + kAhead].index});
}

}  // namespace quorvel
