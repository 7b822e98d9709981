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

// rank_of[entry.index] = the 1-based rank of the entry's key among the
// distinct keys; entries must be sorted by key. Returns the number of ranks.
std::size_t rank_keys(const std::vector<KeyedIndex>& sorted, std::vector<CompactIndex>& rank_of);

// Ranks the values of one column of rows of n_variables values each:
// rank_of[row] as rank_keys gives it. entries and scratch are work space.
std::size_t rank_column(std::span<const double> rows, std::size_t n_variables, std::size_t column,
                        std::vector<KeyedIndex>& entries, std::vector<KeyedIndex>& scratch,
                        std::vector<CompactIndex>& rank_of);

}  // namespace quorvel
