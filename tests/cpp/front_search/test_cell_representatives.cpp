#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "pareto/front_search/cell_representatives.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;

enum class FrontOrder { kLexicographic, kNearlyLexicographic, kShuffled };

std::vector<double> random_rows(std::mt19937_64& random, std::size_t n_rows,
                                std::size_t n_variables, FrontOrder order) {
    std::vector<std::vector<double>> rows(n_rows);
    // Many levels in the first variable, so that forgetting has much to
    // forget; few in the others, so that candidates often share a cell.
    const int first_levels = draw(random, 2, 3000);
    const int other_levels = draw(random, 1, 6);
    for (auto& row : rows)
        for (std::size_t v = 0; v < n_variables; ++v)
            row.push_back(0.37 * draw(random, 0, v == 0 ? first_levels : other_levels));
    if (order != FrontOrder::kShuffled) std::sort(rows.begin(), rows.end());
    if (order == FrontOrder::kNearlyLexicographic && n_rows > 1)
        for (int swap = 0; swap < 3; ++swap)
            std::swap(rows[static_cast<std::size_t>(draw(random, 0, static_cast<int>(n_rows) - 1))],
                      rows[static_cast<std::size_t>(draw(random, 0, static_cast<int>(n_rows) - 1))]);
    std::vector<double> flat;
    for (const auto& row : rows) flat.insert(flat.end(), row.begin(), row.end());
    return flat;
}

class ParetoFrontCellRepresentatives : public ::testing::TestWithParam<std::size_t> {};

// Forgetting final cells must not change a single representative, nor
// filtering them in pieces the survivors: a table allowed to hold only a few
// cells (so that it forgets at almost every batch, and in unordered fronts
// falls back to holding every cell, also midway after some cells were
// forgotten) against one that never forgets, filtered as a whole. One object
// of each serves many stands, as in a search.
TEST_P(ParetoFrontCellRepresentatives, ForgettingCellsChangesNoRepresentative) {
    const std::size_t n_variables = GetParam();
    std::mt19937_64 random(97 + n_variables);
    CellRepresentatives forgetting(n_variables, 4);
    CellRepresentatives holding(n_variables, std::size_t{1} << 40);
    NondominatedFilter by_pieces;
    NondominatedFilter whole;
    std::vector<CompactIndex> survivors;
    std::vector<CompactIndex> expected;
    for (int stand = 0; stand < 45; ++stand) {
        const auto order = static_cast<FrontOrder>(stand % 3);
        const auto n_front = static_cast<std::size_t>(draw(random, 1, 2500));
        const std::vector<double> front = random_rows(random, n_front, n_variables, order);
        const auto n_options = static_cast<std::size_t>(draw(random, 1, 9));
        const std::vector<double> options =
            random_rows(random, n_options, n_variables, FrontOrder::kShuffled);
        const double log_step = std::log1p(std::ldexp(1.0, draw(random, -12, 0)));

        forgetting.collect(front, options, log_step, by_pieces);
        by_pieces.finish(forgetting.targets(), survivors);
        holding.collect(front, options, log_step, whole);
        whole.select(holding.targets(), n_variables, expected);
        ASSERT_TRUE(std::ranges::equal(forgetting.targets(), holding.targets()))
            << "stand " << stand;
        for (std::size_t cell = 0; cell < holding.targets().size() / n_variables; ++cell) {
            ASSERT_EQ(forgetting.origin(cell).front_position, holding.origin(cell).front_position);
            ASSERT_EQ(forgetting.origin(cell).option, holding.origin(cell).option);
        }
        ASSERT_EQ(survivors, expected) << "stand " << stand;
    }
}

INSTANTIATE_TEST_SUITE_P(Variables, ParetoFrontCellRepresentatives,
                         ::testing::Values(1, 2, 3, 4, 5));

}  // namespace
}  // namespace quorvel
