#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>

#include "pareto/random/entropy_source.hpp"

namespace quorvel {
namespace {

TEST(EntropySource, FillsEveryByteWithFreshData) {
    std::array<std::uint8_t, 32> first{}, second{};
    ASSERT_FALSE(fill_from_entropy_source(first).has_value());
    ASSERT_FALSE(fill_from_entropy_source(second).has_value());
    // Each 8-byte piece left unfilled would be zero in both.
    for (std::size_t piece = 0; piece < first.size(); piece += 8) {
        EXPECT_FALSE(std::equal(first.begin() + piece, first.begin() + piece + 8,
                                second.begin() + piece))
            << "bytes " << piece << " to " << piece + 7;
    }
}

TEST(EntropySource, DescribesSystemErrors) {
    EXPECT_EQ(describe_os_error(ENOENT), "No such file or directory (os error 2)");
    EXPECT_EQ(describe_os_error(EACCES), "Permission denied (os error 13)");
    for (const int non_positive : {0, -1}) {
        EXPECT_EQ(describe_os_error(non_positive), "errno: did not return a positive value");
    }
}

}  // namespace
}  // namespace quorvel
