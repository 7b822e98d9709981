#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <vector>

#include "pareto/front_search/minimal_triples.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;

constexpr double kInf = std::numeric_limits<double>::infinity();

// Against every triple added so far, with each kernel this processor runs: a
// triple is covered exactly when one of them is no greater in all three
// values. Triples mostly near a plane of equal sums, so hundreds stay kept
// and the kept ones are marked and dropped in bulk, or near planes of
// falling sums, so scans stop by sums; some above it (covered, or equal to a
// kept one), some just above an earlier one (in some rounds most of the
// first half, so that scans stop by sums only later), some about a level off
// it, a few below it, which beat many at once, and a few with an infinite or
// huge value.
TEST(ParetoFrontMinimalTriples, AddsExactlyTheTriplesNoEarlierTripleCovers) {
    for (const MinimalTriples::Kernel& kernel : MinimalTriples::kernels()) {
        std::mt19937_64 random(11);
        MinimalTriples triples(kernel);
        for (int round = 0; round < 10; ++round) {
            std::vector<std::array<double, 3>> added;
            const int levels = draw(random, 2, 400);
            // Bounds that fit the values, leave some outside, or give every
            // value one level.
            const double margin = draw(random, -levels / 2, 2);
            const double highest = round % 5 == 4 ? -margin : levels + margin;
            const double third_lowest = round % 3 == 2 ? -kInf : margin;
            triples.clear({{{margin, highest}, {margin, highest}, {third_lowest, highest}}});
            const int n_triples = round == 0 ? 0 : draw(random, 1, 3000);
            const bool falling = round % 2 == 1;
            for (int i = 0; i < n_triples; ++i) {
                const int kind = draw(random, 0, 99);
                const int sum = falling ? levels - levels / 2 * i / n_triples : levels;
                const int a = draw(random, 0, sum);
                const int b = draw(random, 0, sum - a);
                std::array<double, 3> triple{double(a), double(b), double(sum - a - b)};
                const int copies = round % 4 == 3 && 2 * i < n_triples ? 70 : 5;
                if (kind < copies && !added.empty()) {
                    triple = added[draw(random, 0, int(added.size()) - 1)];
                    triple[draw(random, 0, 2)] += draw(random, 0, 2);
                } else if (kind < copies + 2) {
                    for (double& value : triple) value -= draw(random, 0, levels / 4 + 1);
                } else if (kind < 40) {
                    triple[draw(random, 0, 2)] += draw(random, 0, 2);
                } else if (kind < 60) {
                    // About a level apart: exact values must decide.
                    triple[draw(random, 0, 2)] += draw(random, -2, 2) * (levels / 65533.0);
                } else if (kind < 63) {
                    // Overflowed sums, beyond any bounds.
                    const double extremes[] = {-kInf, -1e300, 1e300, kInf};
                    triple[draw(random, 0, 2)] = extremes[draw(random, 0, 3)];
                }
                bool covered = false;
                for (const auto& [x, y, z] : added)
                    covered = covered || (x <= triple[0] && y <= triple[1] && z <= triple[2]);
                ASSERT_EQ(triples.add_if_uncovered(triple), !covered)
                    << kernel.name << ", round " << round << ", triple " << i;
                if (!covered) added.push_back(triple);
            }
        }
    }
}

}  // namespace
}  // namespace quorvel
