#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <thread>
#include <vector>

#include "pareto/cancellation.hpp"
#include "pareto/random_points.hpp"
#include "pareto/random/random_range.hpp"
#include "pareto/random/thread_rng.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::designs_of;
using testing::failure_of;
using testing::make_table;
using testing::target_of;

// Stand s has option_counts[s] options; option o of stand s holds
// [s * 10 + o, -(s * 10 + o) / 4] so that every choice shows in the target.
DataTable table_with_options(const std::vector<std::size_t>& option_counts) {
    NestedValues values;
    for (std::size_t s = 0; s < option_counts.size(); ++s) {
        std::vector<std::vector<double>> options;
        for (std::size_t o = 0; o < option_counts[s]; ++o) {
            const double v = static_cast<double>(s * 10 + o);
            options.push_back({v, -v / 4});
        }
        values.push_back(std::move(options));
    }
    return make_table(std::move(values));
}

// The designs that draws from rng would yield, stand by stand.
std::vector<Design> replay_designs(ThreadRng& rng, const DataTable& table, std::size_t n) {
    std::vector<Design> designs(n, Design(table.n_stands));
    for (Design& design : designs) {
        for (std::size_t s = 0; s < design.size(); ++s)
            design[s] = random_range(rng, 0, static_cast<std::uint32_t>(table.n_options[s]));
    }
    return designs;
}

TEST(GenerateRandomPoints, ZeroPointsGiveAnEmptyList) {
    EXPECT_EQ(generate_random_points(table_with_options({2, 3}), 0).size(), 0u);
}

TEST(GenerateRandomPoints, DesignsAreInRangeAndTargetsAreTheirObjective) {
    const std::vector<std::vector<std::size_t>> shapes = {{2, 3}, {1, 5, 2, 7}, {4, 1, 1}};
    for (const auto& shape : shapes) {
        const DataTable table = table_with_options(shape);
        const SolutionList records = generate_random_points(table, 300);
        ASSERT_EQ(records.size(), 300u);
        for (const SolutionRecord& record : records.records()) {
            ASSERT_EQ(record.design.size(), shape.size());
            for (std::size_t s = 0; s < shape.size(); ++s) ASSERT_LT(record.design[s], shape[s]);
            ASSERT_EQ(target_of(record), compute_objective(record.design.unpacked(), table));
        }
    }
}

TEST(GenerateRandomPoints, SingleOptionStandsAlwaysGetZeroAndDuplicatesStay) {
    const DataTable table = table_with_options({1, 1, 1});
    const SolutionList records = generate_random_points(table, 50);
    ASSERT_EQ(records.size(), 50u);
    for (const SolutionRecord& record : records.records())
        EXPECT_EQ(record.design, Design({0, 0, 0}));
}

TEST(GenerateRandomPoints, EveryDesignOfASmallTableIsEquallyLikely) {
    const DataTable table = table_with_options({2, 3});
    constexpr std::size_t kPoints = 60000;
    std::array<std::size_t, 6> counts{};
    const SolutionList records = generate_random_points(table, kPoints);
    for (const SolutionRecord& record : records.records())
        ++counts[record.design[0] * 3 + record.design[1]];

    const double expected = kPoints / 6.0;
    double chi_square = 0;
    for (const std::size_t count : counts) {
        const double deviation = static_cast<double>(count) - expected;
        chi_square += deviation * deviation / expected;
    }
    // Five degrees of freedom: a fair sampler exceeds 40 with probability
    // below 1e-7, while a bias of 2% in one design already gives about 50.
    EXPECT_LT(chi_square, 40.0);
}

TEST(GenerateRandomPoints, DrawsInOrderAndLaterCallsContinueTheStream) {
    const DataTable table = table_with_options({3, 2, 5});
    ThreadRng replay = ThreadRng::for_this_thread();
    const SolutionList first = generate_random_points(table, 7);
    const SolutionList second = generate_random_points(table, 9);
    EXPECT_EQ(designs_of(first), replay_designs(replay, table, 7));
    EXPECT_EQ(designs_of(second), replay_designs(replay, table, 9));
}

TEST(GenerateRandomPoints, ReservationBeyondTheLimitFailsBeforeDrawing) {
    const DataTable table = table_with_options({2, 3});
    ThreadRng replay = ThreadRng::for_this_thread();
    // Records of 17 bytes: a design of two indices in a byte and two values.
    const std::size_t limit = PTRDIFF_MAX / 17;
    for (const std::size_t n_points : {limit + 1, SIZE_MAX})
        EXPECT_EQ(failure_of([&] { generate_random_points(table, n_points); }),
                  "capacity overflow");
    // At the limit the records are not too large to address, only to hold.
    EXPECT_THROW(generate_random_points(table, limit), std::bad_alloc);
    EXPECT_EQ(designs_of(generate_random_points(table, 5)), replay_designs(replay, table, 5));
}

TEST(GenerateRandomPoints, ThreadsUseTheirOwnGenerators) {
    const DataTable table = table_with_options({4, 4, 4, 4, 4, 4, 4, 4});
    ThreadRng replay = ThreadRng::for_this_thread();
    std::vector<Design> one, two;
    std::thread first([&] { one = designs_of(generate_random_points(table, 20)); });
    std::thread second([&] { two = designs_of(generate_random_points(table, 20)); });
    first.join();
    second.join();
    EXPECT_NE(one, two);
    // Neither thread advanced this thread's stream.
    EXPECT_EQ(designs_of(generate_random_points(table, 20)), replay_designs(replay, table, 20));
}

int polls = 0;
bool stop_on_third_poll() { return ++polls == 3; }

TEST(GenerateRandomPoints, PollsOncePerIntervalOfDrawsAndStopsWhenAsked) {
    const DataTable table = table_with_options(std::vector<std::size_t>(64, 3));
    const std::size_t designs_per_poll = CancellationCounter::kInterval / table.n_stands;
    const CancellationScope scope(stop_on_third_poll);
    polls = 0;
    EXPECT_EQ(generate_random_points(table, 3 * designs_per_poll - 1).size(),
              3 * designs_per_poll - 1);
    EXPECT_EQ(polls, 2);
    polls = 0;
    EXPECT_THROW(generate_random_points(table, 10 * designs_per_poll), Cancelled);
    EXPECT_EQ(polls, 3);
}

}  // namespace
}  // namespace quorvel
