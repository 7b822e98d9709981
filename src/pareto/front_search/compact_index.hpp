#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace quorvel {

// Positions of nodes, cells and options inside the search are 32-bit, which
// halves the memory they take next to machine-size indices.
using CompactIndex = std::uint32_t;
inline constexpr CompactIndex kNoIndex = UINT32_MAX;

// More entries than 32 bits can number would not fit in memory either, so
// running out of indices is reported like running out of memory.
inline void ensure_indexable(std::size_t count) {
    if (count >= kNoIndex) throw std::bad_alloc();
}

}  // namespace quorvel
