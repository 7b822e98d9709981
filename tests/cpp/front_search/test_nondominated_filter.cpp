#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "pareto/front_search/dominance.hpp"
#include "pareto/front_search/nondominated_filter.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;

// Distinct rows drawn from few levels, so that equal coordinates, chains of
// dominance and incomparable rows are all common.
std::vector<double> distinct_rows(std::mt19937_64& random, std::size_t n_rows,
                                  std::size_t n_variables, int levels) {
    std::set<std::vector<double>> rows;
    while (rows.size() < n_rows) {
        std::vector<double> row;
        for (std::size_t v = 0; v < n_variables; ++v) row.push_back(0.25 * draw(random, 1, levels));
        rows.insert(row);
    }
    std::vector<std::vector<double>> shuffled(rows.begin(), rows.end());
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    std::vector<double> flat;
    for (const auto& row : shuffled) flat.insert(flat.end(), row.begin(), row.end());
    return flat;
}

std::set<CompactIndex> nondominated_by_pairs(const std::vector<double>& points,
                                             std::size_t n_variables) {
    const std::size_t n_rows = points.size() / n_variables;
    std::set<CompactIndex> kept;
    for (std::size_t i = 0; i < n_rows; ++i) {
        bool dominated = false;
        for (std::size_t j = 0; j < n_rows && !dominated; ++j)
            dominated = dominates(&points[j * n_variables], &points[i * n_variables], n_variables);
        if (!dominated) kept.insert(static_cast<CompactIndex>(i));
    }
    return kept;
}

// The documented order: lexicographic for two to four variables, else by
// sum with lexicographic ties.
bool comes_before(const double* a, const double* b, std::size_t n_variables) {
    if (n_variables < 2 || n_variables > 4) {
        const double sum_a = std::accumulate(a + 1, a + n_variables, a[0]);
        const double sum_b = std::accumulate(b + 1, b + n_variables, b[0]);
        if (sum_a != sum_b) return sum_a < sum_b;
    }
    return std::lexicographical_compare(a, a + n_variables, b, b + n_variables);
}

class ParetoFrontFilter : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ParetoFrontFilter, KeepsExactlyTheRowsNoOtherDominates) {
    const std::size_t n_variables = GetParam();
    std::mt19937_64 random(7 * n_variables);
    NondominatedFilter filter;
    std::vector<CompactIndex> survivors;
    for (int trial = 0; trial < 60; ++trial) {
        // A few large sets take the divide-and-conquer paths many levels deep.
        const int most_rows = trial < 5 ? 3000 : 300;
        const std::size_t n_rows = static_cast<std::size_t>(draw(random, 0, most_rows));
        const int levels = draw(random, 2, 40);
        std::size_t n_possible = 1;
        for (std::size_t v = 0; v < n_variables && n_possible < n_rows; ++v) n_possible *= levels;
        const std::vector<double> points =
            distinct_rows(random, std::min(n_rows, n_possible), n_variables, levels);

        filter.select(points, n_variables, survivors);
        EXPECT_EQ(std::set<CompactIndex>(survivors.begin(), survivors.end()),
                  nondominated_by_pairs(points, n_variables));
        EXPECT_EQ(std::set<CompactIndex>(survivors.begin(), survivors.end()).size(),
                  survivors.size());
        for (std::size_t i = 1; i < survivors.size(); ++i)
            EXPECT_TRUE(comes_before(&points[survivors[i - 1] * n_variables],
                                     &points[survivors[i] * n_variables], n_variables));
    }
}

INSTANTIATE_TEST_SUITE_P(Variables, ParetoFrontFilter, ::testing::Values(1, 2, 3, 4, 5, 7));

}  // namespace
}  // namespace quorvel
