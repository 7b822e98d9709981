#pragma once

#include <cstdint>

namespace quorvel {

// Two doubles, and their bit patterns: one SSE2 register on x86_64. GCC and
// Clang carry out the operators lane by lane on any target, without the
// branches that keep a plain loop from vectorising.
using DoubleLanes = double __attribute__((vector_size(16)));
using BitLanes = std::uint64_t __attribute__((vector_size(16)));
// Four of each: one AVX register, for code compiled for AVX2.
using WideDoubleLanes = double __attribute__((vector_size(32)));
using WideBitLanes = std::uint64_t __attribute__((vector_size(32)));

template <class Doubles>
struct LaneBits;
template <>
struct LaneBits<DoubleLanes> {
    using type = BitLanes;
};
template <>
struct LaneBits<WideDoubleLanes> {
    using type = WideBitLanes;
};

}  // namespace quorvel
