#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
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
    // forget; few in the others, so that candidates often share a cell.
    const int first_levels = draw(random, 2, 3000);
    const int other_levels = draw(random, 1, 6);
    for (auto& row : rows)
        for (std::size_t v = 0; v < n_variables; ++v)
            row.push_back(0.37 * draw(random, 0, v == 0 ? first_levels : other_levels));
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

// A cell as the search uses it: its row and where its representative comes from.
struct Cell {
    std::vector<double> row;
    CompactIndex front_position;
    CompactIndex option;
    auto operator<=>(const Cell&) const = default;
};

Cell cell_of(const CellRepresentatives& cells, std::size_t cell, std::size_t n_variables) {
    const auto row = cells.targets().subspan(cell * n_variables, n_variables);
    return {{row.begin(), row.end()}, cells.origin(cell).front_position, cells.origin(cell).option};
}

class ParetoFrontCellRepresentatives : public ::testing::TestWithParam<std::size_t> {};

// Forgetting final cells, or sorting the candidates of an unordered front
// into buckets, must not change a single representative, nor filtering them
// in pieces the survivors: a table allowed to hold only a few cells (so that
// it forgets at almost every batch, and fills a bucket every few candidates)
// against one that never forgets, filtered as a whole. The cells may be
// numbered differently, the survivors must come in the same order. One object
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
    const auto cells_of = [n_variables](const CellRepresentatives& cells,
                                        const std::vector<CompactIndex>* listed) {
        std::vector<Cell> found;
        const std::size_t n_cells = cells.targets().size() / n_variables;
        for (std::size_t k = 0; k < (listed ? listed->size() : n_cells); ++k)
            found.push_back(cell_of(cells, listed ? (*listed)[k] : k, n_variables));
        if (!listed) std::ranges::sort(found);
        return found;
    };
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
        ASSERT_EQ(cells_of(forgetting, nullptr), cells_of(holding, nullptr)) << "stand " << stand;
        ASSERT_EQ(cells_of(forgetting, &survivors), cells_of(holding, &expected))
            << "stand " << stand;
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
