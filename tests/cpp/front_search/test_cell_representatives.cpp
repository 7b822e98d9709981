#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "pareto/front_search/cell_representatives.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;
using testing::failure_of;

enum class FrontOrder { kLexicographic, kNearlyLexicographic, kShuffled };

std::vector<double> random_rows(std::mt19937_64& random, std::size_t n_rows,
                                std::size_t n_variables, FrontOrder order) {
    std::vector<std::vector<double>> rows(n_rows);
    // Many levels in the first variable, so that forgetting has much to
    // forget; few in the others, so that candidates often share a cell. Half
    // the time the others fall as the first rises, as along a front, so that
    // rows survive until the last pieces.
    const int first_levels = draw(random, 2, 3000);
    const int other_levels = draw(random, 1, 6);
    const bool falling = draw(random, 0, 1) == 1;
    for (auto& row : rows) {
        const int first = draw(random, 0, first_levels);
        row.push_back(0.37 * first);
        for (std::size_t v = 1; v < n_variables; ++v)
            row.push_back(0.37 * (draw(random, 0, other_levels) +
                                  (falling ? (first_levels - first) / 8 : 0)));
    }
    if (order != FrontOrder::kShuffled) std::sort(rows.begin(), rows.end());
    if (order == FrontOrder::kNearlyLexicographic && n_rows > 1)
        for (int swap = 0; swap < 3; ++swap)
            std::swap(
                rows[static_cast<std::size_t>(draw(random, 0, static_cast<int>(n_rows) - 1))],
                rows[static_cast<std::size_t>(draw(random, 0, static_cast<int>(n_rows) - 1))]);
    std::vector<double> flat;
    for (const auto& row : rows) flat.insert(flat.end(), row.begin(), row.end());
    return flat;
}

// A surviving cell as the search uses it: its row and where its
// representative comes from.
struct Cell {
    std::vector<double> row;
    CompactIndex front_position;
    CompactIndex option;
    auto operator<=>(const Cell&) const = default;
};

std::vector<Cell> survivors_of(CellRepresentatives& cells, std::size_t n_variables) {
    LargeBuffer<double> rows;
    cells.move_survivor_targets(rows);
    std::vector<Cell> found;
    for (std::size_t k = 0; k < cells.survivor_origins().size(); ++k) {
        const auto row = std::span(rows).subspan(k * n_variables, n_variables);
        const CellRepresentatives::Origin origin = cells.survivor_origins()[k];
        found.push_back({{row.begin(), row.end()}, origin.front_position, origin.option});
    }
    return found;
}

class ParetoFrontCellRepresentatives : public ::testing::TestWithParam<std::size_t> {};

// Forgetting final cells, or sorting the candidates of an unordered front
// into buckets, must not change a single representative, nor filtering them
// in pieces and dropping each piece's cells the survivors: a table allowed to
// hold only a few cells (so that it forgets and moves the cells it keeps at
// almost every batch, and fills a bucket every few candidates) against one
// that never forgets, filtered as a whole. The survivors must come in the
// same order. One object of each serves many stands, as in a search.
TEST_P(ParetoFrontCellRepresentatives, ForgettingCellsChangesNoRepresentative) {
    const std::size_t n_variables = GetParam();
    std::mt19937_64 random(97 + n_variables);
    CellRepresentatives forgetting(n_variables, 4);
    CellRepresentatives holding(n_variables, std::size_t{1} << 40);
    NondominatedFilter by_pieces;
    NondominatedFilter whole;
    for (int stand = 0; stand < 45; ++stand) {
        const auto order = static_cast<FrontOrder>(stand % 3);
        const auto n_front = static_cast<std::size_t>(draw(random, 1, 2500));
        const std::vector<double> front = random_rows(random, n_front, n_variables, order);
        const auto n_options = static_cast<std::size_t>(draw(random, 1, 9));
        const std::vector<double> options =
            random_rows(random, n_options, n_variables, FrontOrder::kShuffled);
        const double log_step = std::log1p(std::ldexp(1.0, draw(random, -12, 0)));

        forgetting.collect(front, options, log_step, by_pieces);
        holding.collect(front, options, log_step, whole);
        const std::vector<Cell> expected = survivors_of(holding, n_variables);
        ASSERT_FALSE(expected.empty());
        ASSERT_EQ(survivors_of(forgetting, n_variables), expected) << "stand " << stand;
    }
}

// Candidates of an unordered front meet the grid out of order, yet the call
// must fail where it fails in order: at an infinite second value, not at a
// NaN first value of a later candidate.
TEST(ParetoFrontCellRepresentatives, FailsAtTheFirstCandidateTheGridRejects) {
    std::mt19937_64 random(5);
    std::vector<double> front = random_rows(random, 400, 2, FrontOrder::kShuffled);
    front[2 * 200 + 1] = std::numeric_limits<double>::infinity();
    front[2 * 300] = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> options = {0.0, 0.0, 1.0, 2.0};
    CellRepresentatives small_table(2, 4);
    CellRepresentatives holding(2, std::size_t{1} << 40);
    NondominatedFilter filter;
    const std::string expected =
        failure_of([&] { holding.collect(front, options, std::log1p(0.01), filter); });
    EXPECT_NE(expected, "");
    EXPECT_EQ(failure_of([&] { small_table.collect(front, options, std::log1p(0.01), filter); }),
              expected);
}

INSTANTIATE_TEST_SUITE_P(Variables, ParetoFrontCellRepresentatives,
                         ::testing::Values(1, 2, 3, 4, 5));

}  // namespace
}  // namespace quorvel
