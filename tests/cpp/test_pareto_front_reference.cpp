// Compares the search with the straightforward version of the same algorithm
// on random tables. Values are drawn from few levels so that ties, equal options,
// repeated and zero values are common.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "pareto/pareto_front.hpp"
#include "straightforward_front.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;
using testing::make_table;
using testing::same_records;

struct Recipe {
    int max_stands;
    int max_options;
    // Values are whole multiples of 1 / denominator in [-3, 6].
    int denominator;
    int trials;
};

NestedValues random_values(std::mt19937_64& random, const Recipe& recipe,
                           std::size_t n_variables) {
    NestedValues values(static_cast<std::size_t>(draw(random, 2, recipe.max_stands)));
    for (auto& stand : values) {
        const int n_options = draw(random, 1, recipe.max_options);
        for (int o = 0; o < n_options; ++o) {
            if (o > 0 && draw(random, 0, 5) == 0) {  // an equal option
                stand.push_back(stand[static_cast<std::size_t>(draw(random, 0, o - 1))]);
                continue;
            }
            auto& option = stand.emplace_back();
            for (std::size_t v = 0; v < n_variables; ++v)
                option.push_back(draw(random, -3 * recipe.denominator, 6 * recipe.denominator) /
                                 static_cast<double>(recipe.denominator));
        }
    }
    return values;
}

class ParetoFrontReference : public ::testing::TestWithParam<Recipe> {};

TEST_P(ParetoFrontReference, ReturnsTheSameListInTheSameOrder) {
    const Recipe recipe = GetParam();
    std::mt19937_64 random(static_cast<std::uint64_t>(recipe.max_stands * 1000 + recipe.denominator));
    std::size_t largest = 0;
    for (int trial = 0; trial < recipe.trials; ++trial) {
        const auto n_variables = static_cast<std::size_t>(draw(random, 2, 6));
        const DataTable table = make_table(random_values(random, recipe, n_variables));
        for (const double epsilon : {1e-4, 0.01, 0.2, 1.5}) {
            const SolutionList ours = build_pareto_front(table, epsilon);
            largest = std::max(largest, ours.size());
            ASSERT_TRUE(same_records(ours, bench::straightforward_front(table, epsilon).records))
                << "trial " << trial << ", eps " << epsilon;
        }
    }
    // Large enough fronts that every part of the search works at scale.
    EXPECT_GE(largest, recipe.max_stands > 8 ? 1000u : 20u);
}

// Two variables whose first stand has too many options, in no order, for
// their cells to stay in cache (12,000 times 8 candidates, well above the
// 65,536 the table is trusted with): on grids fine enough, the search sorts
// that front before extending it, and must still choose every cell's
// representative as the list's order has it.
TEST(ParetoFrontReferenceUnordered, LargeFirstStandOfTwoVariables) {
    std::mt19937_64 random(23);
    for (int trial = 0; trial < 4; ++trial) {
        const int levels = draw(random, 50, 20000);
        NestedValues values(static_cast<std::size_t>(draw(random, 2, 4)));
        for (int o = 0; o < 12000; ++o) {
            const int first = draw(random, 0, levels);
            values[0].push_back({first / 8.0, (levels - first + draw(random, 0, 40)) / 8.0});
        }
        for (std::size_t s = 1; s < values.size(); ++s)
            for (int o = s == 1 ? 8 : draw(random, 1, 8); o > 0; --o)
                values[s].push_back({draw(random, 0, 40) / 8.0, draw(random, 0, 40) / 8.0});
        const DataTable table = make_table(std::move(values));
        for (const double epsilon : {1e-5, 1e-6}) {
            const SolutionList ours = build_pareto_front(table, epsilon);
            ASSERT_TRUE(same_records(ours, bench::straightforward_front(table, epsilon).records))
                << "trial " << trial << ", eps " << epsilon;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, ParetoFrontReference,
                         ::testing::Values(Recipe{4, 5, 1, 60}, Recipe{6, 8, 1, 60},
                                           Recipe{6, 6, 16, 60}, Recipe{12, 9, 1000, 10}));

}  // namespace
}  // namespace quorvel
