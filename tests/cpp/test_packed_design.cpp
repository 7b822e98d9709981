#include "pareto/packed_design.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace quorvel {
namespace {

struct WidthCase {
    std::size_t largest_count;
    unsigned bits;
};

class PackedDesignWidth : public ::testing::TestWithParam<WidthCase> {};

// Around every width's limit: the largest index and random ones read back,
// over enough stands that indices of a few bits end part way into a byte.
TEST_P(PackedDesignWidth, HoldsEveryIndexOfTheLargestStand) {
    const WidthCase c = GetParam();
    const std::vector<std::size_t> n_options{1, c.largest_count, 1};
    ASSERT_EQ(PackedDesign::bits_for(n_options), c.bits);

    std::mt19937_64 random(c.largest_count);
    Design design{0, c.largest_count - 1, 0};
    for (int i = 0; i < 100; ++i) design.push_back(random() % c.largest_count);
    std::vector<std::uint8_t> bytes(PackedDesign::bytes_for(design.size(), c.bits));
    PackedDesign::pack(design, c.bits, bytes.data());
    const PackedDesign packed(bytes.data(), design.size(), c.bits);
    EXPECT_EQ(packed.size(), design.size());
    EXPECT_EQ(packed.unpacked(), design);
    for (std::size_t s = 0; s < design.size(); ++s) ASSERT_EQ(packed[s], design[s]);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, PackedDesignWidth,
    ::testing::Values(WidthCase{1, 1}, WidthCase{2, 1}, WidthCase{3, 2}, WidthCase{4, 2},
                      WidthCase{5, 4}, WidthCase{16, 4}, WidthCase{17, 8}, WidthCase{256, 8},
                      WidthCase{257, 16}, WidthCase{65536, 16}, WidthCase{65537, 32},
                      WidthCase{UINT32_MAX, 32}));

}  // namespace
}  // namespace quorvel
