#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <random>
#include <set>
#include <vector>

#include "dominance_test_support.hpp"
#include "pareto/front_search/dominance_tree.hpp"

namespace quorvel {
namespace {

using testing::distinct_rows;
using testing::draw;
using testing::nondominated_by_pairs;

// Every width, those compiled on their own and the others, and sets of every
// size around the few rows a part is split down to, where the parts change
// in number and depth: a row is marked exactly when another dominates it.
TEST(DominanceTree, MarksExactlyTheRowsAnotherDominates) {
    std::mt19937_64 random(11);
    DominanceTree tree;
    for (std::size_t n_variables = 1; n_variables <= 8; ++n_variables) {
        for (std::size_t n_rows = 0; n_rows <= 70; ++n_rows) {
            const int levels = draw(random, 3, 12);
            std::size_t n_possible = 1;
            for (std::size_t v = 0; v < n_variables && n_possible < n_rows; ++v)
                n_possible *= static_cast<std::size_t>(levels);
            const std::vector<double> points =
                distinct_rows(random, std::min(n_rows, n_possible), n_variables, levels);
            tree.mark(points, n_variables);
            const std::set<CompactIndex> kept = nondominated_by_pairs(points, n_variables);
            for (CompactIndex i = 0; i < points.size() / n_variables; ++i)
                EXPECT_EQ(tree.dominated(i), !kept.contains(i))
                    << n_variables << " variables, " << n_rows << " rows, row " << i;
        }
    }
}

}  // namespace
}  // namespace quorvel
