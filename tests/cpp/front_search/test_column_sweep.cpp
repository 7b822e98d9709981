#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "pareto/front_search/column_sweep.hpp"
#include "pareto/front_search/dominance.hpp"
#include "pareto/front_search/nondominated_filter.hpp"
#include "pareto/grid.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;

// A surviving cell: its row and where its representative comes from.
struct Cell {
    double first;
    double second;
    CompactIndex front_position;
    CompactIndex option;
    auto operator<=>(const Cell&) const = default;
};

// The straightforward way: every candidate to its cell in order of
// formation, a representative replaced only by a candidate that dominates
// it, and the filter over all representatives.
std::vector<Cell> through_a_cell_map(const std::vector<double>& front,
                                     const std::vector<double>& options, double log_step) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::size_t> cell_of;
    std::vector<double> rows;
    std::vector<CandidateOrigin> origins;
    for (std::size_t member = 0; member < front.size() / 2; ++member)
        for (std::size_t option = 0; option < options.size() / 2; ++option) {
            const double row[2] = {front[2 * member] + options[2 * option],
                                   front[2 * member + 1] + options[2 * option + 1]};
            const auto key = std::pair(cell_coordinate(row[0], log_step),
                                       cell_coordinate(row[1], log_step));
            const CandidateOrigin origin{static_cast<CompactIndex>(member),
                                         static_cast<CompactIndex>(option)};
            const auto [found, inserted] = cell_of.try_emplace(key, origins.size());
            if (inserted) {
                rows.insert(rows.end(), row, row + 2);
                origins.push_back(origin);
            } else if (dominates(row, rows.data() + 2 * found->second, 2)) {
                std::copy(row, row + 2, rows.begin() + 2 * found->second);
                origins[found->second] = origin;
            }
        }
    NondominatedFilter filter;
    std::vector<CompactIndex> survivors;
    filter.select(rows, 2, survivors);
    std::vector<Cell> cells;
    for (const CompactIndex k : survivors)
        cells.push_back({rows[2 * k], rows[2 * k + 1], origins[k].front_position, origins[k].option});
    return cells;
}

// Against the straightforward way, on fronts whose first values never fall
// or come shuffled, as a first stand's may (repeated, and their second
// values falling along the front or not), grids from many candidates a cell
// to far fewer than one, and options repeated, dominated or far apart: the
// same cells must survive, with the same representatives, in the same
// order. One object serves every round, as in a search.
TEST(ColumnSweep, KeepsTheCellsOfACellMap) {
    std::mt19937_64 random(41);
    ColumnSweep sweep;
    for (int round = 0; round < 300; ++round) {
        const auto n_front = static_cast<std::size_t>(draw(random, 1, 3000));
        const int levels = draw(random, 1, 4000);
        const bool falling = draw(random, 0, 1) == 1;
        std::vector<double> firsts(n_front);
        for (double& first : firsts) first = 0.37 * draw(random, 0, levels);
        std::sort(firsts.begin(), firsts.end());
        std::vector<double> front;
        for (std::size_t member = 0; member < n_front; ++member) {
            front.push_back(firsts[member]);
            front.push_back(falling ? 0.37 * static_cast<double>(n_front - member)
                                    : 0.37 * draw(random, 0, levels));
        }
        const bool in_order = draw(random, 0, 2) != 0;
        if (!in_order)
            for (std::size_t member = n_front; member-- > 1;)
                std::swap_ranges(front.begin() + 2 * member, front.begin() + 2 * member + 2,
                                 front.begin() + 2 * draw(random, 0, static_cast<int>(member)));
        // Now and then options whose first values lie beyond the front's
        // whole range: their candidates wait for the last columns.
        const double far = draw(random, 0, 3) == 0 ? 0.37 * (levels + 1) : 0.0;
        std::vector<double> options;
        for (int option = draw(random, 1, 12); option > 0; --option) {
            options.push_back(0.37 * draw(random, 0, 20) + (option % 2) * far);
            options.push_back(0.37 * draw(random, 0, 20));
        }
        const double log_step = std::log1p(std::ldexp(1.0, draw(random, -24, 0)));

        LargeBuffer<double> targets;
        LargeBuffer<CandidateOrigin> origins;
        sweep.collect(front, in_order, options, log_step, targets, origins);
        std::vector<Cell> swept;
        for (std::size_t k = 0; k < origins.size(); ++k)
            swept.push_back(
                {targets[2 * k], targets[2 * k + 1], origins[k].front_position, origins[k].option});
        ASSERT_EQ(swept, through_a_cell_map(front, options, log_step)) << "round " << round;
    }
}

}  // namespace
}  // namespace quorvel
