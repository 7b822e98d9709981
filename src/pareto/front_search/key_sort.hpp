#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compact_index.hpp"
#include "pareto/large_buffer.hpp"

namespace quorvel {

struct KeyedIndex {
    std::uint64_t key;
    CompactIndex index;
};

// An unsigned key that orders like the value, for every value but NaN;
// -0 and +0 get the same key.
std::uint64_t order_key(double value);

// Stable sort by key in linear time (radix sort by bytes).
void sort_by_key(LargeBuffer<KeyedIndex>& entries, LargeBuffer<KeyedIndex>& scratch);

// Orders each run of entries with equal keys by `less`, which a sort by key
// leaves in their first order: where keys stand for a first value, the rare
// ties are settled by the values after it.
template <class Less>
void sort_runs_of_equal_keys(std::span<KeyedIndex> entries, Less less) {
    for (auto run = entries.begin(); run != entries.end();) {
        const auto run_end = std::find_if(run + 1, entries.end(),
                                          [&](const KeyedIndex& e) { return e.key != run->key; });
        if (run_end - run > 1) std::sort(run, run_end, less);
        run = run_end;
    }
}

// The entry that a walk over order, now at `position`, reaches a few places
// later, or null past the end: rows taken in sorted order are scattered over
// memory, and loading them this far ahead hides most of the wait.
template <class Entry>
const Entry* entry_ahead(std::span<const Entry> order, std::size_t position) {
    constexpr std::size_t kAhead = 16;
    return position + kAhead < order.size() ? &order[position + kAhead] : nullptr;
}

// Starts loading the row of points of the entry ahead.
inline void prefetch_row_ahead(const double* points, std::span<const KeyedIndex> order,
                               std::size_t position, std::size_t n_variables) {
    if (const KeyedIndex* ahead = entry_ahead(order, position))
        __builtin_prefetch(points + n_variables * std::size_t{ahead->index});
}

}  // namespace quorvel
