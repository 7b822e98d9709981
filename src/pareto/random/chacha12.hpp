#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quorvel {

inline constexpr std::size_t kChachaBlockWords = 16;

using ChachaKey = std::array<std::uint32_t, 8>;

// Writes the 16 output words of the ChaCha block with 12 rounds for the given
// key, 64-bit block counter and 64-bit stream number.
void chacha12_block(const ChachaKey& key, std::uint64_t counter, std::uint64_t stream,
                    std::span<std::uint32_t, kChachaBlockWords> out);

}  // namespace quorvel
