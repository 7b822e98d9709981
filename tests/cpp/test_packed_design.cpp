#include "pareto/packed_design.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace quorvel {
namespace {

struct WidthCase {
    std::size_t largest_count;
    unsigned width;
};

class PackedDesignWidth : public ::testing::TestWithParam<WidthCase> {};

// Around every width's limit: the largest index and random ones read back.
TEST_P(PackedDesignWidth, HoldsEveryIndexOfTheLargestStand) {
    const WidthCase c = GetParam();
    const std::vector<std::size_t> n_options{3, c.largest_count, 1};
    ASSERT_EQ(PackedDesign::width_for(n_options), c.width);

    std::mt19937_64 random(c.largest_count);
    Design design{2, c.largest_count - 1, 0};
    for (int i = 0; i < 100; ++i) design.push_back(random() % c.largest_count);
    const PackedDesign packed(design, c.width);
    EXPECT_EQ(packed.size(), design.size());
    EXPECT_EQ(packed.unpacked(), design);
    for (std::size_t s = 0; s < design.size(); ++s) ASSERT_EQ(packed[s], design[s]);
}

INSTANTIATE_TEST_SUITE_P(Limits, PackedDesignWidth,
                         ::testing::Values(WidthCase{1, 1}, WidthCase{256, 1}, WidthCase{257, 2},
                                           WidthCase{65536, 2}, WidthCase{65537, 4},
                                           WidthCase{UINT32_MAX, 4}));

}  // namespace
}  // namespace quorvel
