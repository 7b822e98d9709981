#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "pareto/random/random_range.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

// Hands out a fixed list of words and counts how many were taken.
struct ScriptedWords {
    std::vector<std::uint32_t> words;
    std::size_t taken = 0;

    std::uint32_t next_word() {
        if (taken == words.size()) throw std::out_of_range("script exhausted");
        return words[taken++];
    }
};

struct RangeCase {
    const char* name;
    std::uint32_t low;
    std::uint32_t high;
    std::vector<std::uint32_t> words;
    std::uint32_t expected;
    std::size_t words_used;
};

void PrintTo(const RangeCase& c, std::ostream* out) { *out << c.name; }

class RandomRangeScripted : public ::testing::TestWithParam<RangeCase> {};

TEST_P(RandomRangeScripted, DrawsExpectedValueFromExpectedWords) {
    const RangeCase& c = GetParam();
    ScriptedWords source{c.words};
    EXPECT_EQ(random_range(source, c.low, c.high), c.expected);
    EXPECT_EQ(source.taken, c.words_used);
}

// For range 10, 2^32 - range = 4294967286 and 0x19999999 * 10 = 4294967290:
// a low half above the limit, which a second word with hi2 >= 6 carries over.
INSTANTIATE_TEST_SUITE_P(
    Cases, RandomRangeScripted,
    ::testing::Values(
        RangeCase{"HighHalfIsTheDraw", 0, 10, {0x80000000u, 7}, 5, 1},
        RangeCase{"OffsetByLow", 3, 13, {0x80000000u, 7}, 8, 1},
        RangeCase{"LowHalfAtLimitUsesOneWord", 0, 10, {0xFFFFFFFFu, 7}, 9, 1},
        RangeCase{"SecondWordWithoutCarry", 0, 10, {0x19999999u, 0x80000000u}, 0, 2},
        RangeCase{"SecondWordZero", 0, 10, {0x19999999u, 0}, 0, 2},
        RangeCase{"SecondWordCarries", 0, 10, {0x19999999u, 0xA0000000u}, 1, 2},
        RangeCase{"SecondWordCarriesFromTop", 100, 110, {0x19999999u, 0xFFFFFFFFu}, 101, 2},
        RangeCase{"WidestRange", 0, 0xFFFFFFFFu, {0xFFFFFFFFu, 0}, 0xFFFFFFFEu, 1},
        RangeCase{"WidestRangeSecondWord", 0, 0xFFFFFFFFu, {2, 0xFFFFFFFFu}, 2, 2},
        RangeCase{"TopOfRange", 0xFFFFFFF0u, 0xFFFFFFFFu, {0xFFFFFFFFu, 0}, 0xFFFFFFFEu, 1},
        // A range of one is low, from one word whatever it holds.
        RangeCase{"RangeOfOneWordZero", 41, 42, {0, 7}, 41, 1},
        RangeCase{"RangeOfOneWordOne", 41, 42, {1, 7}, 41, 1},
        RangeCase{"RangeOfOneWordHalf", 41, 42, {0x80000000u, 7}, 41, 1},
        RangeCase{"RangeOfOneWordTop", 41, 42, {0xFFFFFFFFu, 7}, 41, 1}),
    [](const ::testing::TestParamInfo<RangeCase>& info) { return std::string(info.param.name); });

TEST(RandomRange, EmptyRangeFailsWithoutTakingAWord) {
    const std::array<std::array<std::uint32_t, 2>, 3> bounds = {{{0, 0}, {5, 5}, {6, 5}}};
    for (const auto& [low, high] : bounds) {
        ScriptedWords source{{1, 2}};
        EXPECT_EQ(testing::failure_of([&] { random_range(source, low, high); }),
                  "cannot sample empty range")
            << "[" << low << ", " << high << ")";
        EXPECT_EQ(source.taken, 0u);
    }
}

}  // namespace
}  // namespace quorvel
