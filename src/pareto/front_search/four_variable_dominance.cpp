#include "four_variable_dominance.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace quorvel {

namespace {

// Ranges of at most this many rows are swept, not split. Where every row
// survives, a sweep's cost grows with the square of the range and
// splitting's with its logarithm: on the benchmark's four-variable tables,
// ranges of 2,048 and 4,096 rows were fastest, 512 and 8,192 slower.
constexpr std::size_t kSweptRange = 2048;

// The sweep looks at its costs every this many rows.
constexpr std::size_t kSweepCheck = 64;

// The span of each value over the triples of n rows, for the minimal triples.
template <class TripleOf>
std::array<MinimalTriples::Bounds, 3> spans_of(std::size_t n, TripleOf triple_of) {
    std::array<MinimalTriples::Bounds, 3> bounds;
    bounds.fill(
        {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()});
    for (std::size_t i = 0; i < n; ++i) {
        const std::array<double, 3> triple = triple_of(i);
        for (std::size_t c = 0; c < 3; ++c) {
            bounds[c].lowest = std::min(bounds[c].lowest, triple[c]);
            bounds[c].highest = std::max(bounds[c].highest, triple[c]);
        }
    }
    return bounds;
}

}  // namespace

void FourVariableDominance::mark(std::span<const double> points,
                                 std::span<const KeyedIndex> order) {
    const std::size_t n_points = order.size();
    dominated_.assign(n_points, 0);
    if (sweep(points, order) == n_points) return;

    // The rows the sweep marked stay marked, and splitting passes over them.
    items_.resize(n_points);
    for (std::size_t position = 0; position < n_points; ++position) {
        const double* row = points.data() + 4 * std::size_t{order[position].index};
        items_[position] = {row[1], row[2], row[3], static_cast<CompactIndex>(position)};
    }
    merged_.resize(n_points);
    solve(0, n_points);
}

// In lexicographic order a row is dominated exactly when an earlier
// survivor's last three values are no greater, which the minimal triples of
// the survivors answer. Where most rows are dominated that is far cheaper
// than splitting; where most survive, every row compares with every kept
// triple. So the sweep goes on only while each row it finds dominated has
// cost fewer comparisons than splitting would spend on it, about
// 2.5 log2(n)^2 (measured on the benchmark's four-variable tables), and
// otherwise leaves the rest of the rows to splitting. Returns how many rows
// of order it settled.
std::size_t FourVariableDominance::sweep(std::span<const double> points,
                                         std::span<const KeyedIndex> order) {
    const double log_size = std::log2(static_cast<double>(order.size()) + 1.0);
    const auto comparisons_per_dominated = static_cast<std::size_t>(2.5 * log_size * log_size);
    constexpr std::size_t kComparisonsPerRow = 16;
    // Over every row of points, in storage order: one quick pass.
    minima_.clear(spans_of(points.size() / 4, [&](std::size_t i) {
        return std::array<double, 3>{points[4 * i + 1], points[4 * i + 2], points[4 * i + 3]};
    }));
    std::size_t n_dominated = 0;
    for (std::size_t position = 0; position < order.size(); ++position) {
        if (position % kSweepCheck == kSweepCheck - 1 &&
            minima_.compared() >
                comparisons_per_dominated * n_dominated + kComparisonsPerRow * position)
            return position;
        prefetch_row_ahead(points.data(), order, position, 4);
        const double* row = points.data() + 4 * std::size_t{order[position].index};
        if (!minima_.add_if_uncovered({row[1], row[2], row[3]})) {
            dominated_[position] = 1;
            ++n_dominated;
        }
    }
    return order.size();
}

// On entry items_[begin, end) is in lexicographic order; on return it is
// sorted by the second value, with its dominated rows marked as far as rows
// inside the range can show. The order among equal second values does not
// matter: a sweep only ever compares rows of different halves.
void FourVariableDominance::solve(std::size_t begin, std::size_t end) {
    if (end - begin <= kSweptRange) {
        sweep_range(begin, end);
        std::sort(items_.begin() + begin, items_.begin() + end, by_second);
        return;
    }
    const std::size_t middle = begin + (end - begin) / 2;
    solve(begin, middle);
    solve(middle, end);
    compare_halves(begin, middle, end);
}

// The sweep over the minimal triples, within a range short enough that the
// triples stay few even where every row survives: there a scan of them all
// costs less than the levels of splitting it replaces. A row already marked
// still stands in for the rows it would dominate.
void FourVariableDominance::sweep_range(std::size_t begin, std::size_t end) {
    minima_.clear(spans_of(end - begin, [&](std::size_t i) { return items_[begin + i].triple(); }));
    for (std::size_t i = begin; i < end; ++i)
        if (!minima_.add_if_uncovered(items_[i].triple())) dominated_[items_[i].position] = 1;
}

// Both halves are sorted by the second value. Walking the later half in that
// order, every earlier row with a second value no greater has been added to
// the staircase, which tells whether one is also no worse in the third and
// fourth: its steps stay in cache, where a tree over the ranks of the third
// spanned the whole set. A row already marked needs no query, and as a
// dominator it is stood in for by the row that dominates it.
void FourVariableDominance::compare_halves(std::size_t begin, std::size_t middle, std::size_t end) {
    // The walk takes the rows in merged order, so it merges them as it goes:
    // an earlier row first where second values are equal, as std::merge would.
    std::size_t earlier = begin;
    std::size_t merged = begin;
    earlier_pairs_.clear();
    for (std::size_t later = middle; later < end; ++later) {
        const Item& row = items_[later];
        for (; earlier < middle && items_[earlier].second <= row.second; ++earlier) {
            if (!dominated_[items_[earlier].position])
                earlier_pairs_.add_if_uncovered(items_[earlier].third, items_[earlier].fourth);
            merged_[merged++] = items_[earlier];
        }
        if (!dominated_[row.position] && earlier_pairs_.covers(row.third, row.fourth))
            dominated_[row.position] = 1;
        merged_[merged++] = row;
    }
    std::copy(items_.begin() + earlier, items_.begin() + middle, merged_.begin() + merged);
    std::copy(merged_.begin() + begin, merged_.begin() + end, items_.begin() + begin);
}

}  // namespace quorvel
