#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "pareto/front_search/staircase.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;

// Against every pair added so far: a pair is covered exactly when one of them
// is no greater in both values, asked alone or on adding. Pairs mostly along
// a falling diagonal, so thousands of steps build up over many blocks, with
// pairs above it (covered) and a few below it, which beat runs of up to
// hundreds of steps. One staircase serves every round, cleared in between.
TEST(ParetoFrontStaircase, AddsExactlyThePairsNoEarlierPairCovers) {
    std::mt19937_64 random(5);
    Staircase staircase;
    for (int round = 0; round < 12; ++round) {
        staircase.clear();
        std::vector<std::pair<double, double>> added;
        const int levels = draw(random, 2, 20000);
        const int n_pairs = round == 0 ? 0 : draw(random, 1, 6000);
        for (int i = 0; i < n_pairs; ++i) {
            const int kind = draw(random, 0, 99);
            const int along = draw(random, 0, levels);
            double second = levels - along;
            double third = along;
            if (kind == 0) {
                second -= draw(random, 1, 600);
            } else if (kind < 30) {
                second += draw(random, 0, 3);
                third += draw(random, 0, 3);
            }
            bool covered = false;
            for (const auto& [s, t] : added) covered = covered || (s <= second && t <= third);
            ASSERT_EQ(staircase.covers(second, third), covered)
                << "round " << round << ", pair " << i;
            ASSERT_EQ(staircase.add_if_uncovered(second, third), !covered)
                << "round " << round << ", pair " << i;
            if (!covered) added.emplace_back(second, third);
        }
    }
}

}  // namespace
}  // namespace quorvel
