#pragma once

#include <concepts>
#include <cstdint>

#include "pareto/internal_failure.hpp"

namespace quorvel {

template <typename T>
concept WordSource = requires(T& source) {
    { source.next_word() } -> std::same_as<std::uint32_t>;
};

// A uniform draw from low <= x < high. The high half of a widening multiply
// is the draw; only when the low half is close enough to overflow that a
// carry from the fraction could change it does a second word decide.
template <WordSource Words>
std::uint32_t random_range(Words& words, std::uint32_t low, std::uint32_t high) {
    if (low >= high) fail("cannot sample empty range");
    const std::uint32_t range = high - low;
    const std::uint64_t product = std::uint64_t{words.next_word()} * range;
    const auto hi = static_cast<std::uint32_t>(product >> 32);
    const auto lo = static_cast<std::uint32_t>(product);
    // 0 - range wraps to 2^32 - range.
    if (lo <= 0u - range) return low + hi;
    const auto hi2 = static_cast<std::uint32_t>((std::uint64_t{words.next_word()} * range) >> 32);
    const bool carries = static_cast<std::uint32_t>(lo + hi2) < lo;
    return low + hi + (carries ? 1u : 0u);
}

}  // namespace quorvel
