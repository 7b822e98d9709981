#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <numeric>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "pareto/front_search/dominance.hpp"
#include "pareto/front_search/four_variable_dominance.hpp"
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

// Rows above all the others in the first value and below them in the rest,
// whose other values' sum falls as the first value rises, as on a front, so
// that none of them dominates another or is dominated; then one worse twin of
// each, dominated by it alone: worse in every value, or in some sets in the
// first only, which ties its other values' sum with its dominator's. The
// twins follow all the rows, or in some sets each its own. Where they follow
// all, a set that ends with them has its earlier rows mostly dominated, its
// middle ones all surviving and its last ones all dominated. With four
// variables, in some sets a few rows and their twins hold infinities of both
// signs in their last values, whose sums are then NaN.
void append_trade_off(std::mt19937_64& random, std::vector<double>& points, std::size_t n_variables,
                      std::size_t n_rows, int levels) {
    // Fine enough that rows seldom repeat their other values.
    constexpr int kSum = 1 << 20;
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const double twin_offset = draw(random, 0, 1) == 0 ? 0.0 : 0.5;
    const double twin_shift = draw(random, 0, 1) == 0 ? 0.125 : 0.25 * static_cast<double>(n_rows);
    const bool some_undefined_sums = n_variables == 4 && draw(random, 0, 1) == 0;
    std::vector<double> twins;
    for (std::size_t i = 0; i < n_rows; ++i) {
        const std::size_t row = points.size();
        points.push_back(0.25 * (levels + 1 + static_cast<int>(i)));
        twins.push_back(points.back() + twin_shift);
        int left = kSum + 2 * static_cast<int>(i);
        for (std::size_t v = 1; v < n_variables; ++v) {
            const int value = v + 1 < n_variables ? draw(random, 0, left) : left;
            points.push_back(-value);
            twins.push_back(twin_offset - value);
            left -= value;
        }
        if (!some_undefined_sums || draw(random, 0, 19) != 0) continue;
        const auto worst = static_cast<std::size_t>(draw(random, 1, 3));
        const std::size_t best = 1 + worst % 3;
        for (const auto& [v, value] : {std::pair(worst, kInfinity), std::pair(best, -kInfinity)})
            points[row + v] = twins[twins.size() - n_variables + v] = value;
    }
    points.insert(points.end(), twins.begin(), twins.end());
}

// One variable made infinite in a third of the rows, of one sign so that
// sums stay defined, and repeated rows then left out.
void make_some_infinite(std::mt19937_64& random, std::vector<double>& points,
                        std::size_t n_variables) {
    const double infinity =
        (draw(random, 0, 1) == 0 ? -1 : 1) * std::numeric_limits<double>::infinity();
    const auto variable = static_cast<std::size_t>(draw(random, 0, n_variables - 1));
    for (std::size_t first = 0; first < points.size(); first += n_variables)
        if (draw(random, 0, 2) == 0) points[first + variable] = infinity;
    std::set<std::vector<double>> seen;
    std::vector<double> distinct;
    for (std::size_t first = 0; first < points.size(); first += n_variables) {
        std::vector<double> row(points.begin() + first, points.begin() + first + n_variables);
        if (seen.insert(row).second) distinct.insert(distinct.end(), row.begin(), row.end());
    }
    points = distinct;
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

enum class Pieces { kAscending, kShuffled, kOneMissing };

// The rows in pieces, cut at random places of the order by first value, or
// of a random order, which may leave one row out.
std::vector<std::vector<CompactIndex>> random_pieces(std::mt19937_64& random,
                                                     const std::vector<double>& points,
                                                     std::size_t n_variables, Pieces kind) {
    std::vector<CompactIndex> rows(points.size() / n_variables);
    std::iota(rows.begin(), rows.end(), 0);
    std::shuffle(rows.begin(), rows.end(), random);
    const bool in_order = kind == Pieces::kAscending;
    if (in_order)
        std::stable_sort(rows.begin(), rows.end(), [&](CompactIndex a, CompactIndex b) {
            return points[a * n_variables] < points[b * n_variables];
        });
    if (kind == Pieces::kOneMissing && !rows.empty()) rows.pop_back();
    std::vector<std::vector<CompactIndex>> pieces(1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        // Rows of equal first values share a piece.
        const bool may_cut = i == 0 || !in_order ||
                             points[rows[i - 1] * n_variables] != points[rows[i] * n_variables];
        if (may_cut && draw(random, 0, 40) == 0) pieces.emplace_back();
        pieces.back().push_back(rows[i]);
    }
    return pieces;
}

class ParetoFrontFilter : public ::testing::TestWithParam<std::size_t> {};

// The whole set, and the same set given in pieces, which must come to the
// same survivors in the same order whether or not the pieces can be filtered
// one by one.
TEST_P(ParetoFrontFilter, KeepsExactlyTheRowsNoOtherDominates) {
    const std::size_t n_variables = GetParam();
    std::mt19937_64 random(7 * n_variables);
    NondominatedFilter filter;
    NondominatedFilter by_pieces;
    std::vector<CompactIndex> survivors;
    std::vector<CompactIndex> piece_survivors;
    for (int trial = 0; trial < 60; ++trial) {
        // A few large sets take the divide-and-conquer paths many levels deep;
        // every other set is small, around the few rows a part of the tree is
        // split down to, where its parts change in number and depth.
        const int most_rows = trial < 5 ? 3000 : trial % 2 == 0 ? 70 : 300;
        const std::size_t n_rows = static_cast<std::size_t>(draw(random, 0, most_rows));
        const int levels = draw(random, 2, 40);
        std::size_t n_possible = 1;
        for (std::size_t v = 0; v < n_variables && n_possible < n_rows; ++v) n_possible *= levels;
        std::vector<double> points =
            distinct_rows(random, std::min(n_rows, n_possible), n_variables, levels);
        if (trial % 3 == 0 && n_variables > 1)
            append_trade_off(random, points, n_variables, draw(random, 0, most_rows), levels);
        if (trial % 5 == 1) make_some_infinite(random, points, n_variables);

        const std::set<CompactIndex> kept = nondominated_by_pairs(points, n_variables);
        filter.select(points, n_variables, survivors);
        EXPECT_EQ(std::set<CompactIndex>(survivors.begin(), survivors.end()), kept);
        EXPECT_EQ(std::set<CompactIndex>(survivors.begin(), survivors.end()).size(),
                  survivors.size());
        for (std::size_t i = 1; i < survivors.size(); ++i)
            EXPECT_TRUE(comes_before(&points[survivors[i - 1] * n_variables],
                                     &points[survivors[i] * n_variables], n_variables));

        by_pieces.start(n_variables);
        const auto kind = trial % 4 < 2 ? Pieces::kAscending : static_cast<Pieces>(trial % 4 - 1);
        for (const auto& piece : random_pieces(random, points, n_variables, kind))
            by_pieces.take_piece(points, piece);
        by_pieces.finish(points, piece_survivors);
        EXPECT_EQ(piece_survivors, survivors);

        // Four variables: split down to ranges of a few rows, so that small
        // sets take the splitting many levels deep.
        if (n_variables != 4) continue;
        std::vector<KeyedIndex> order(points.size() / 4);
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i].index = static_cast<CompactIndex>(i);
        std::sort(order.begin(), order.end(), [&](const KeyedIndex& a, const KeyedIndex& b) {
            return comes_before(&points[4 * a.index], &points[4 * b.index], 4);
        });
        FourVariableDominance four(static_cast<std::size_t>(draw(random, 1, 40)));
        four.mark(points, order);
        for (std::size_t position = 0; position < order.size(); ++position)
            EXPECT_EQ(four.dominated(position), !kept.contains(order[position].index));
    }
}

INSTANTIATE_TEST_SUITE_P(Variables, ParetoFrontFilter, ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8));

// The lexicographically least row survives whatever its other values,
// infinite ones too.
TEST(ParetoFrontFilter, KeepsTheLeastRowWithAnInfiniteValue) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    NondominatedFilter filter;
    std::vector<CompactIndex> survivors;
    for (std::size_t n_variables = 2; n_variables <= 4; ++n_variables) {
        std::vector<double> points(2 * n_variables, 1.0);
        points[0] = 0.0;
        points[n_variables - 1] = kInfinity;
        filter.select(points, n_variables, survivors);
        EXPECT_EQ(survivors, (std::vector<CompactIndex>{0, 1})) << n_variables << " variables";
    }
}

}  // namespace
}  // namespace quorvel
