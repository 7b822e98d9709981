#include "four_variable_dominance.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace quorvel {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

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

    // The rows the sweep marked stay marked and are left out: each is
    // dominated by a row that stays, which stands in for it.
    items_.clear();
    for (std::size_t position = 0; position < n_points; ++position) {
        if (dominated_[position]) continue;
        const double* row = points.data() + 4 * std::size_t{order[position].index};
        items_.push_back({row[1], row[2], row[3], static_cast<CompactIndex>(position)});
    }
    merged_.resize(items_.size());
    if (sums_rule_out_most())
        solve_in_order(0, items_.size());
    else
        solve(0, items_.size());
}

// Since rounding is monotone, an earlier row dominates a later one only if
// the sum of its last three values is no greater. On fronts, where the first
// value rises as the others fall, most earlier rows' sums lie above every
// later one's and most later rows' below every earlier one's, so that few
// rows take part in comparing two halves. Whether so is told by the first
// split: on the benchmark's four-variable tables, sorting only the rows
// taking part paid where fewer than half of them did.
bool FourVariableDominance::sums_rule_out_most() const {
    const std::size_t n_items = items_.size();
    const std::size_t middle = n_items / 2;
    double lowest_earlier = kInfinity;
    double highest_later = -kInfinity;
    for (std::size_t i = 0; i < middle; ++i)
        lowest_earlier = std::min(lowest_earlier, items_[i].sum());
    for (std::size_t i = middle; i < n_items; ++i)
        highest_later = std::max(highest_later, items_[i].sum());
    std::size_t taking_part = 0;
    for (std::size_t i = 0; i < middle; ++i) taking_part += may_dominate(items_[i], highest_later);
    for (std::size_t i = middle; i < n_items; ++i)
        taking_part += may_be_dominated(items_[i], lowest_earlier);
    return 2 * taking_part < n_items;
}

// In lexicographic order a row is dominated exactly when an earlier
// survivor's last three values are no greater, which the minimal triples of
// the survivors answer. That is far cheaper than splitting where most rows
// are dominated, or where the sums fall along the order and end each row's
// comparisons after the recent triples, as on fronts; elsewhere every row
// compares with every kept triple. So the sweep goes on only while its rows
// have cost fewer comparisons on average than splitting would spend on each,
// about 2.5 log2(n)^2 (measured on the benchmark's four-variable tables),
// and otherwise leaves the rest of the rows to splitting. Returns how many
// rows of order it settled.
std::size_t FourVariableDominance::sweep(std::span<const double> points,
                                         std::span<const KeyedIndex> order) {
    const double log_size = std::log2(static_cast<double>(order.size()) + 1.0);
    const auto comparisons_per_row = static_cast<std::size_t>(2.5 * log_size * log_size);
    // Over every row of points, in storage order: one quick pass.
    minima_.clear(spans_of(points.size() / 4, [&](std::size_t i) {
        return std::array<double, 3>{points[4 * i + 1], points[4 * i + 2], points[4 * i + 3]};
    }));
    for (std::size_t position = 0; position < order.size(); ++position) {
        if (position % kSweepCheck == kSweepCheck - 1 &&
            minima_.compared() > comparisons_per_row * position)
            return position;
        prefetch_row_ahead(points.data(), order, position, 4);
        const double* row = points.data() + 4 * std::size_t{order[position].index};
        if (!minima_.add_if_uncovered({row[1], row[2], row[3]})) dominated_[position] = 1;
    }
    return order.size();
}

// On entry items_[begin, end) is in lexicographic order. Marks the rows
// that rows inside the range show dominated and leaves the others, sorted by
// the second value, from begin on. A dominated row is not needed further up:
// the row that dominates it lies in the same range and stands in for it. The
// order among equal second values does not matter: a walk only ever compares
// rows of different halves.
FourVariableDominance::Solved FourVariableDominance::solve(std::size_t begin, std::size_t end) {
    if (end - begin <= swept_range_) {
        const Solved swept = sweep_range(begin, end);
        std::sort(items_.begin() + begin, items_.begin() + swept.end, by_second);
        return swept;
    }
    const std::size_t middle = begin + (end - begin) / 2;
    const Solved earlier = solve(begin, middle);
    const Solved later = solve(middle, end);
    return joined(earlier, later, compare_halves(begin, earlier, middle, later));
}

// As solve(), but the survivors stay in lexicographic order, and comparing
// two halves sorts only the rows taking part instead of merging every row.
FourVariableDominance::Solved FourVariableDominance::solve_in_order(std::size_t begin,
                                                                    std::size_t end) {
    if (end - begin <= swept_range_) return sweep_range(begin, end);
    const std::size_t middle = begin + (end - begin) / 2;
    const Solved earlier = solve_in_order(begin, middle);
    const Solved later = solve_in_order(middle, end);
    compare_taking_part(begin, earlier, middle, later);
    std::size_t kept_end = earlier.end;
    for (std::size_t i = middle; i < later.end; ++i)
        if (!dominated_[items_[i].position]) items_[kept_end++] = items_[i];
    return joined(earlier, later, kept_end);
}

// The sweep over the minimal triples, within a range short enough that the
// triples stay few even where every row survives: there a scan of them all
// costs less than the levels of splitting it replaces. Moves the survivors
// to the front of the range.
FourVariableDominance::Solved FourVariableDominance::sweep_range(std::size_t begin,
                                                                 std::size_t end) {
    minima_.clear(spans_of(end - begin, [&](std::size_t i) { return items_[begin + i].triple(); }));
    Solved swept{begin, kInfinity, -kInfinity};
    for (std::size_t i = begin; i < end; ++i) {
        const Item row = items_[i];
        // std::min and std::max pass over a NaN sum.
        swept.lowest_sum = std::min(swept.lowest_sum, row.sum());
        swept.highest_sum = std::max(swept.highest_sum, row.sum());
        if (minima_.add_if_uncovered(row.triple()))
            items_[swept.end++] = row;
        else
            dominated_[row.position] = 1;
    }
    return swept;
}

// Both halves are sorted by the second value. Walking the later half in that
// order, every earlier row with a second value no greater has been added to
// the staircase, which tells whether one is also no worse in the third and
// fourth: its steps stay in cache, where a tree over the ranks of the third
// spanned the whole set. Rows whose sums rule them out neither go into the
// staircase nor query it. The walk merges the survivors by the second value
// as it goes, an earlier row first where second values are equal, into the
// range from begin on; returns where they end.
std::size_t FourVariableDominance::compare_halves(std::size_t begin, const Solved& earlier_half,
                                                  std::size_t later_begin,
                                                  const Solved& later_half) {
    std::size_t earlier = begin;
    std::size_t merged = begin;
    earlier_pairs_.clear();
    for (std::size_t later = later_begin; later < later_half.end; ++later) {
        const Item& row = items_[later];
        for (; earlier < earlier_half.end && items_[earlier].second <= row.second; ++earlier) {
            if (may_dominate(items_[earlier], later_half.highest_sum))
                earlier_pairs_.add_if_uncovered(items_[earlier].third, items_[earlier].fourth);
            merged_[merged++] = items_[earlier];
        }
        if (may_be_dominated(row, earlier_half.lowest_sum) &&
            earlier_pairs_.covers(row.third, row.fourth))
            dominated_[row.position] = 1;
        else
            merged_[merged++] = row;
    }
    const auto merged_end = std::copy(items_.begin() + earlier, items_.begin() + earlier_half.end,
                                      merged_.begin() + merged);
    std::copy(merged_.begin() + begin, merged_end, items_.begin() + begin);
    return static_cast<std::size_t>(merged_end - merged_.begin());
}

// The same test over the rows taking part only, which are copied to the
// merge buffer, each half's sorted by the second value.
void FourVariableDominance::compare_taking_part(std::size_t begin, const Solved& earlier_half,
                                                std::size_t later_begin, const Solved& later_half) {
    std::size_t n_earlier = 0;
    for (std::size_t i = begin; i < earlier_half.end; ++i)
        if (may_dominate(items_[i], later_half.highest_sum)) merged_[n_earlier++] = items_[i];
    std::size_t n_taking_part = n_earlier;
    for (std::size_t i = later_begin; i < later_half.end; ++i)
        if (may_be_dominated(items_[i], earlier_half.lowest_sum))
            merged_[n_taking_part++] = items_[i];
    if (n_earlier == 0) return;
    const auto earlier_rows = merged_.begin();
    const auto later_rows = earlier_rows + static_cast<std::ptrdiff_t>(n_earlier);
    std::sort(earlier_rows, later_rows, by_second);
    std::sort(later_rows, earlier_rows + static_cast<std::ptrdiff_t>(n_taking_part), by_second);
    std::size_t earlier = 0;
    earlier_pairs_.clear();
    for (std::size_t later = n_earlier; later < n_taking_part; ++later) {
        const Item& row = merged_[later];
        for (; earlier < n_earlier && merged_[earlier].second <= row.second; ++earlier)
            earlier_pairs_.add_if_uncovered(merged_[earlier].third, merged_[earlier].fourth);
        if (earlier_pairs_.covers(row.third, row.fourth)) dominated_[row.position] = 1;
    }
}

}  // namespace quorvel
