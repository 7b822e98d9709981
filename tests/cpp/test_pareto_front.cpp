#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "pareto/cancellation.hpp"
#include "pareto/pareto_front.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::designs_of;
using testing::draw;
using testing::failure_of;
using testing::make_table;
using testing::same_records;
using testing::target_of;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Record = std::pair<Design, Target>;

// The result as (design, target) pairs in a fixed order, since the order of
// the returned list carries no meaning.
std::vector<Record> sorted_records(const SolutionList& records) {
    std::vector<Record> pairs;
    for (const SolutionRecord& record : records.records())
        pairs.emplace_back(record.design.unpacked(), target_of(record));
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

// Whole numbers in [low, high], so every sum of them is exact.
NestedValues random_whole_table(std::mt19937_64& random, std::size_t n_stands,
                                std::size_t n_options, std::size_t n_variables, int low,
                                int high) {
    NestedValues values(n_stands);
    for (auto& stand : values) {
        stand.resize(n_options);
        for (auto& option : stand)
            for (std::size_t v = 0; v < n_variables; ++v)
                option.push_back(draw(random, low, high));
    }
    return values;
}

struct ExpectedFront {
    std::string name;
    NestedValues values;
    double epsilon;
    std::vector<Record> records;
};

void PrintTo(const ExpectedFront& example, std::ostream* out) { *out << example.name; }

class ParetoFrontExample : public ::testing::TestWithParam<ExpectedFront> {};

TEST_P(ParetoFrontExample, ReturnsExactlyTheseDesigns) {
    const ExpectedFront& example = GetParam();
    const DataTable table = make_table(example.values);
    EXPECT_EQ(sorted_records(build_pareto_front(table, example.epsilon)), example.records);
}

INSTANTIATE_TEST_SUITE_P(
    Fronts, ParetoFrontExample,
    ::testing::Values(
        // Two candidate pairs share a cell: [2, 5] replaces [2, 6], which it
        // dominates, while [6, 2] loses to [5, 2] in place; the filter then
        // drops [4, 5] and [5, 4].
        ExpectedFront{"three_by_three",
                      {{{1, 5}, {2, 2}, {5, 1}}, {{0, 3}, {3, 0}, {1, 1}}},
                      0.5,
                      {{{0, 0}, {1, 8}}, {{1, 0}, {2, 5}}, {{1, 1}, {5, 2}},
                       {{1, 2}, {3, 3}}, {{2, 1}, {8, 1}}}},
        // Neither candidate dominates the other: a wide cell keeps the first.
        ExpectedFront{"incomparable_pair_one_cell",
                      {{{1.5, 4}, {2.5, 3.5}}, {{0, 0}}},
                      1.0,
                      {{{0, 0}, {1.5, 4}}}},
        ExpectedFront{"incomparable_pair_two_cells",
                      {{{1.5, 4}, {2.5, 3.5}}, {{0, 0}}},
                      0.1,
                      {{{0, 0}, {1.5, 4}}, {{1, 0}, {2.5, 3.5}}}},
        // Option 1 of stand 0 dominates option 0, yet the child [3, 3] of
        // option 0 survives: the child [3, 2] of option 1 arrived in the cell
        // of [4, 1] after it and, incomparable to it, was dropped.
        ExpectedFront{"dominated_first_stand_option_kept",
                      {{{0, 2}, {0, 1}}, {{4, 0}, {3, 1}}},
                      1.0,
                      {{{0, 1}, {3, 3}}, {{1, 0}, {4, 1}}}},
        // Equal options at a later stand: the later index never replaces
        // the earlier, equal candidate.
        ExpectedFront{"equal_options_keep_first",
                      {{{1, 1}}, {{2, 2}, {2, 2}}},
                      0.1,
                      {{{0, 0}, {3, 3}}}},
        ExpectedFront{"equal_options_after_a_worse_one",
                      {{{1, 1}}, {{3, 3}, {2, 2}, {2, 2}}},
                      0.1,
                      {{{0, 1}, {3, 3}}}},
        ExpectedFront{"equal_options_at_third_stand",
                      {{{0, 5}, {5, 0}}, {{1, 1}}, {{4, 4}, {4, 4}}},
                      0.1,
                      {{{0, 0, 0}, {5, 10}}, {{1, 0, 0}, {10, 5}}}},
        // Shifting makes the single option of every variable 1e-9; targets
        // are still the plain sums of the input.
        ExpectedFront{"single_options", {{{-3, 7}}, {{2.5, -1}}}, 0.1, {{{0, 0}, {-0.5, 6}}}},
        ExpectedFront{"single_options_many_stands",
                      {{{1}}, {{2}}, {{-4}}, {{8}}, {{0}}},
                      0.5,
                      {{{0, 0, 0, 0, 0}, {7}}}}),
    [](const auto& info) { return info.param.name; });

TEST(ParetoFrontSingleOptions, ReturnsTheOnlyDesignForAnyShape) {
    std::mt19937_64 random(11);
    for (const std::size_t n_stands : {2, 3, 17, 200}) {
        for (const std::size_t n_variables : {1, 2, 5}) {
            const NestedValues values =
                random_whole_table(random, n_stands, 1, n_variables, -50, 50);
            Target expected(n_variables, 0.0);
            for (const auto& stand : values)
                for (std::size_t v = 0; v < n_variables; ++v) expected[v] += stand[0][v];
            const auto records = build_pareto_front(make_table(values), 0.1);
            ASSERT_EQ(records.size(), 1u);
            EXPECT_EQ(records[0].design, Design(n_stands, 0));
            EXPECT_EQ(target_of(records[0]), expected);
        }
    }
}

// The search depends only on the values minus their per-variable minimum:
// an all-negative table and its copy moved to start at zero give the same
// designs in the same order; the targets remain the negative input sums.
TEST(ParetoFrontNegativeTable, SearchesLikeItsNonNegativeForm) {
    std::mt19937_64 random(5);
    for (const std::size_t n_variables : {1, 2, 3, 4}) {
        const NestedValues negative = random_whole_table(random, 5, 4, n_variables, -40, -1);
        NestedValues moved = negative;
        for (std::size_t v = 0; v < n_variables; ++v) {
            double minimum = kInf;
            for (const auto& stand : negative)
                for (const auto& option : stand) minimum = std::min(minimum, option[v]);
            for (auto& stand : moved)
                for (auto& option : stand) option[v] -= minimum;
        }
        const auto from_negative = build_pareto_front(make_table(negative), 0.05);
        const auto from_moved = build_pareto_front(make_table(moved), 0.05);
        EXPECT_EQ(designs_of(from_negative), designs_of(from_moved));
        for (const SolutionRecord& record : from_negative.records()) {
            Target sum(n_variables, 0.0);
            for (std::size_t s = 0; s < negative.size(); ++s)
                for (std::size_t v = 0; v < n_variables; ++v)
                    sum[v] += negative[s][record.design[s]][v];
            EXPECT_EQ(target_of(record), sum);
            for (const double value : record.target) EXPECT_LT(value, 0.0);
        }
    }
}

struct FailureCase {
    std::string name;
    NestedValues values;
    double epsilon;
    std::string message;
};

void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.name; }

class ParetoFrontFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ParetoFrontFailure, EndsTheCallWithTheGridFailure) {
    const FailureCase& failure = GetParam();
    const DataTable table = make_table(failure.values);
    EXPECT_EQ(failure_of([&] { build_pareto_front(table, failure.epsilon); }), failure.message);
}

const NestedValues kExample = {{{1, 5}, {2, 2}, {5, 1}}, {{0, 3}, {3, 0}, {1, 1}}};

INSTANTIATE_TEST_SUITE_P(
    Failures, ParetoFrontFailure,
    ::testing::Values(
        FailureCase{"epsilon_zero", kExample, 0.0, "negative coordinate value: inf"},
        FailureCase{"epsilon_negative_zero", kExample, -0.0, "negative coordinate value: -inf"},
        // The first candidate, about [1, 8], gives log1p(1) / log1p(-0.5),
        // a little below -1.
        FailureCase{"epsilon_between_minus_one_and_zero", kExample, -0.5,
                    "negative coordinate value: -2"},
        FailureCase{"epsilon_nan", kExample, kNaN, "negative coordinate value: NaN"},
        FailureCase{"epsilon_below_minus_one", kExample, -2.0, "negative coordinate value: NaN"},
        FailureCase{"epsilon_minus_infinity", kExample, -kInf, "negative coordinate value: NaN"},
        FailureCase{"epsilon_so_small_the_quotient_overflows", kExample, 1e-310,
                    "negative coordinate value: inf"},
        // Stand 0 is not filtered, so even a dominated NaN option reaches
        // a candidate.
        FailureCase{"nan_in_dominated_first_stand_option",
                    {{{1, 1}, {kNaN, 9}}, {{0, 0}}},
                    0.1,
                    "negative coordinate value: NaN"},
        FailureCase{"nan_at_last_stand",
                    {{{1, 1}}, {{2, 0}, {0, 2}}, {{1, 1}, {3, kNaN}}},
                    0.1,
                    "negative coordinate value: NaN"},
        // The NaN never becomes the minimum, so the first candidate is
        // 1e-9 + inf rather than NaN.
        FailureCase{"nan_is_no_minimum",
                    {{{1}, {kNaN}}, {{kInf}}},
                    0.1,
                    "negative coordinate value: inf"},
        FailureCase{"infinite_value",
                    {{{1, 1}, {2, 0}}, {{0, kInf}}},
                    0.1,
                    "negative coordinate value: inf"},
        FailureCase{"partial_target_overflows",
                    {{{1e308}, {0}}, {{1e308}}},
                    0.1,
                    "negative coordinate value: inf"}),
    [](const auto& info) { return info.param.name; });

// A failure after several stands releases a front that is already large.
TEST(ParetoFrontFailureLate, StopsAtTheStandThatReachesTheBadValue) {
    std::mt19937_64 random(3);
    NestedValues values = random_whole_table(random, 6, 6, 3, 0, 30);
    values.back().back() = {1.0, kInf, 2.0};
    const DataTable table = make_table(values);
    EXPECT_EQ(failure_of([&] { build_pareto_front(table, 0.01); }),
              "negative coordinate value: inf");
}

class ParetoFrontOneCell : public ::testing::TestWithParam<double> {};

// Every candidate of a stand lands in one cell, so one design survives each
// stand: a later candidate replaces the one in place only by dominating it,
// which leaves the design that is best in every variable.
TEST_P(ParetoFrontOneCell, KeepsTheDesignThatDominatesAllOthers) {
    std::mt19937_64 random(17);
    for (int trial = 0; trial < 20; ++trial) {
        NestedValues values = random_whole_table(random, 5, 4, 3, 1, 100);
        Design best;
        for (auto& stand : values) {
            best.push_back(static_cast<std::size_t>(draw(random, 0, 3)));
            stand[best.back()] = {0, 0, 0};
        }
        const auto records = build_pareto_front(make_table(values), GetParam());
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].design, best);
    }
}

TEST_P(ParetoFrontOneCell, ReturnsOneDesignForIncomparableOptions) {
    std::mt19937_64 random(23);
    const DataTable table = make_table(random_whole_table(random, 6, 5, 2, 0, 1000));
    EXPECT_EQ(build_pareto_front(table, GetParam()).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(WideSteps, ParetoFrontOneCell, ::testing::Values(-1.0, kInf, 1e300));

TEST(ParetoFrontDeterminism, EqualInputsGiveTheSameListInTheSameOrder) {
    std::mt19937_64 random(29);
    for (const std::size_t n_variables : {2, 3, 4}) {
        // Many ties: small whole numbers and a grid coarse enough that cells
        // hold several incomparable candidates.
        const NestedValues values = random_whole_table(random, 7, 6, n_variables, 0, 9);
        EXPECT_TRUE(same_records(build_pareto_front(make_table(values), 0.3),
                                 build_pareto_front(make_table(values), 0.3)));
    }
}

TEST(ParetoFrontLongTables, MillionSingleOptionStands) {
    constexpr std::size_t kStands = 1'000'000;
    NestedValues values(kStands);
    double expected = 0.0;
    for (std::size_t s = 0; s < kStands; ++s) {
        values[s] = {{static_cast<double>(s % 3)}};
        expected += static_cast<double>(s % 3);
    }
    const auto records = build_pareto_front(make_table(std::move(values)), 0.1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].design, Design(kStands, 0));
    EXPECT_EQ(target_of(records[0]), Target{expected});
}

// Two incomparable designs walk side by side until their partial targets
// grow so large that one cell holds both; the loser's chain, by then about
// a hundred thousand nodes long, is released at once.
TEST(ParetoFrontLongTables, LongChainDroppedLate) {
    constexpr std::size_t kStands = 1'000'000;
    NestedValues values(kStands, {{1, 1}});
    values[0] = {{0, 1}, {1, 0}};
    const auto records = build_pareto_front(make_table(std::move(values)), 1e-5);
    ASSERT_EQ(records.size(), 1u);
    const std::size_t first = records[0].design[0];
    ASSERT_LT(first, 2u);
    Design expected_design(kStands, 0);
    expected_design[0] = first;
    EXPECT_EQ(records[0].design, expected_design);
    const double rest = kStands - 1;
    const Target expected_target =
        first == 0 ? Target{rest, rest + 1} : Target{rest + 1, rest};
    EXPECT_EQ(target_of(records[0]), expected_target);
}

int search_polls = 0;
int stop_at_poll = 0;
bool stop_at_chosen_poll() { return ++search_polls == stop_at_poll; }

// Two stands of 1100 and 1000 options: one poll before the second stand, one
// among its 1.1 million candidates. Stopping at either ends the search.
TEST(ParetoFrontCancellation, PollsBetweenStandsAndAmongCandidates) {
    NestedValues values(2);
    for (int o = 0; o < 1100; ++o) {
        values[0].push_back({static_cast<double>(o), static_cast<double>(-o)});
        if (o < 1000) values[1].push_back(values[0].back());
    }
    const DataTable table = make_table(std::move(values));
    for (const int poll : {1, 2, 3}) {
        search_polls = 0;
        stop_at_poll = poll;
        const CancellationScope scope(stop_at_chosen_poll);
        if (poll <= 2)
            EXPECT_THROW(build_pareto_front(table, 0.01), Cancelled);
        else
            EXPECT_GT(build_pareto_front(table, 0.01).size(), 0u);
        EXPECT_EQ(search_polls, std::min(poll, 2));
    }
}

}  // namespace
}  // namespace quorvel
