#pragma once

#include <cstddef>
#include <cstdint>
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

}  // namespace quorvel
