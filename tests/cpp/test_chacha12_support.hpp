#pragma once

#include <array>
#include <cstdint>

#include "pareto/random/chacha12.hpp"

namespace quorvel {

using ChachaBlock = std::array<std::uint32_t, kChachaBlockWords>;

// The keystream block with the given counter on stream 0.
inline ChachaBlock block_of(const ChachaKey& key, std::uint64_t counter) {
    ChachaBlock block{};
    chacha12_block(key, counter, 0, block);
    return block;
}

}  // namespace quorvel
