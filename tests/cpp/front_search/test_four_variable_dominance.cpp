#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <random>
#include <set>
#include <vector>

#include "pareto/front_search/dominance.hpp"
#include "pareto/front_search/four_variable_dominance.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;

using Row = std::array<double, 4>;

// Rows whose last three values have nearly one sum, so that most survive and
// the sets are split, many levels deep with short swept ranges. On a front
// the first value rises as that sum falls; otherwise it says nothing of it.
// Off the sum by a level or two, some rows are dominated by their
// neighbours; some repeat an earlier row's last three values with a greater
// first one, which ties the sums of dominator and dominated; a few hold
// infinities of both signs, whose sums are NaN.
std::set<Row> near_front_rows(std::mt19937_64& random, std::size_t n_rows, bool on_front) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const int levels = draw(random, 2, 12);
    const int span = 4 * static_cast<int>(n_rows);
    std::set<Row> rows;
    std::vector<Row> drawn;
    while (rows.size() < n_rows) {
        const int first = draw(random, 0, span);
        int left = span - (on_front ? first : draw(random, 0, span)) + draw(random, 0, levels);
        Row row{static_cast<double>(first), 0, 0, 0};
        for (std::size_t v = 1; v < 4; ++v) {
            row[v] = v < 3 ? draw(random, 0, left) : left;
            left -= static_cast<int>(row[v]);
        }
        const int kind = draw(random, 0, 19);
        if (kind == 0 && !drawn.empty()) {
            row = drawn[static_cast<std::size_t>(
                draw(random, 0, static_cast<int>(drawn.size()) - 1))];
            row[0] += draw(random, 1, 3);
        } else if (kind == 1) {
            row[static_cast<std::size_t>(draw(random, 1, 3))] = kInf;
            row[static_cast<std::size_t>(draw(random, 0, 3))] = -kInf;
        }
        if (rows.insert(row).second) drawn.push_back(row);
    }
    return rows;
}

// Against every pair, over sets split down to swept ranges of 1 to 40 rows,
// on fronts and off them.
TEST(ParetoFrontFourVariableDominance, MarksExactlyTheRowsAnotherDominates) {
    std::mt19937_64 random(5);
    for (int trial = 0; trial < 300; ++trial) {
        // A set lists its rows lexicographically, as mark() takes them.
        const std::set<Row> rows =
            near_front_rows(random, static_cast<std::size_t>(draw(random, 0, 400)), trial % 2 == 0);
        std::vector<double> points;
        std::vector<KeyedIndex> order;
        for (const Row& row : rows) {
            order.push_back({0, static_cast<CompactIndex>(order.size())});
            points.insert(points.end(), row.begin(), row.end());
        }
        FourVariableDominance four(static_cast<std::size_t>(draw(random, 1, 40)));
        four.mark(points, order);
        std::size_t position = 0;
        for (const Row& row : rows) {
            const bool dominated = std::ranges::any_of(
                rows, [&](const Row& other) { return dominates(other.data(), row.data(), 4); });
            ASSERT_EQ(four.dominated(position++), dominated) << "trial " << trial;
        }
    }
}

}  // namespace
}  // namespace quorvel
