#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>

#include "test_chacha12_support.hpp"

namespace quorvel {
namespace {

std::string little_endian_hex(const ChachaBlock& block, std::size_t n_words) {
    std::string hex;
    for (std::size_t w = 0; w < n_words; ++w) {
        for (int byte = 0; byte < 4; ++byte) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", (block[w] >> (8 * byte)) & 0xffu);
            hex += digits;
        }
    }
    return hex;
}

ChachaKey counting_key() {
    // Key bytes 00, 01, ..., 1f.
    ChachaKey key{};
    for (std::uint32_t w = 0; w < key.size(); ++w) {
        const std::uint32_t b = 4 * w;
        key[w] = b | (b + 1) << 8 | (b + 2) << 16 | (b + 3) << 24;
    }
    return key;
}

struct KnownBlock {
    const char* name;
    ChachaKey key;
    std::uint64_t counter;
    const char* first_32_bytes;
};

void PrintTo(const KnownBlock& known, std::ostream* out) { *out << known.name; }

class Chacha12KnownBlock : public testing::TestWithParam<KnownBlock> {};

TEST_P(Chacha12KnownBlock, MatchesPublishedOutput) {
    const KnownBlock& known = GetParam();
    EXPECT_EQ(little_endian_hex(block_of(known.key, known.counter), 8), known.first_32_bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, Chacha12KnownBlock,
    testing::Values(
        KnownBlock{"ZeroKey", {}, 0,
                   "9bf49a6a0755f953811fce125f2683d50429c3bb49e074147e0089a52eae155f"},
        // Only reachable when the counter's high half lands in word 13.
        KnownBlock{"ZeroKeyCounterHighHalf", {}, std::uint64_t{1} << 32,
                   "cc7b53dc11894d26240581b8a8f4f4e5af406705801223b13f821fdccba6a618"},
        KnownBlock{"CountingKey", counting_key(), 0,
                   "f231f9ffd17ac65e4405f325d7e940aa4913601fc2be46bce9c3cac3d91a1a36"}),
    [](const testing::TestParamInfo<KnownBlock>& info) { return std::string(info.param.name); });

TEST(Chacha12, StreamNumberChangesTheBlock) {
    ChachaBlock stream_0{}, stream_1{}, stream_high{};
    chacha12_block({}, 0, 0, stream_0);
    chacha12_block({}, 0, 1, stream_1);
    chacha12_block({}, 0, std::uint64_t{1} << 32, stream_high);
    EXPECT_NE(stream_0, stream_1);
    EXPECT_NE(stream_0, stream_high);
    EXPECT_NE(stream_1, stream_high);
}

}  // namespace
}  // namespace quorvel
