#include "chacha12.hpp"

#include <bit>

namespace quorvel {

namespace {

// "expand 32-byte k" as little-endian words.
constexpr std::array<std::uint32_t, 4> kConstants = {0x61707865, 0x3320646e, 0x79622d32,
                                                     0x6b206574};
constexpr int kDoubleRounds = 6;

void quarter_round(std::array<std::uint32_t, kChachaBlockWords>& x, int a, int b, int c, int d) {
    x[a] += x[b]; x[d] = std::rotl(x[d] ^ x[a], 16);
    x[c] += x[d]; x[b] = std::rotl(x[b] ^ x[c], 12);
    x[a] += x[b]; x[d] = std::rotl(x[d] ^ x[a], 8);
    x[c] += x[d]; x[b] = std::rotl(x[b] ^ x[c], 7);
}

}  // namespace

void chacha12_block(const ChachaKey& key, std::uint64_t counter, std::uint64_t stream,
                    std::span<std::uint32_t, kChachaBlockWords> out) {
    const std::array<std::uint32_t, kChachaBlockWords> input = {
        kConstants[0], kConstants[1], kConstants[2], kConstants[3],
        key[0], key[1], key[2], key[3], key[4], key[5], key[6], key[7],
        static_cast<std::uint32_t>(counter), static_cast<std::uint32_t>(counter >> 32),
        static_cast<std::uint32_t>(stream), static_cast<std::uint32_t>(stream >> 32),
    };
    std::array<std::uint32_t, kChachaBlockWords> x = input;
    for (int round = 0; round < kDoubleRounds; ++round) {
        quarter_round(x, 0, 4, 8, 12);
        quarter_round(x, 1, 5, 9, 13);
        quarter_round(x, 2, 6, 10, 14);
        quarter_round(x, 3, 7, 11, 15);
        quarter_round(x, 0, 5, 10, 15);
        quarter_round(x, 1, 6, 11, 12);
        quarter_round(x, 2, 7, 8, 13);
        quarter_round(x, 3, 4, 9, 14);
    }
    for (std::size_t k = 0; k < kChachaBlockWords; ++k) out[k] = x[k] + input[k];
}

}  // namespace quorvel
