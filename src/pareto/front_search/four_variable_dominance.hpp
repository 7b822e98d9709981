#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compact_index.hpp"
#include "key_sort.hpp"
#include "minimal_triples.hpp"
#include "staircase.hpp"
#include "pareto/large_buffer.hpp"

namespace quorvel {

// Finds the dominated rows among distinct rows of four values. In
// lexicographic order a row is dominated exactly when an earlier row is no
// worse in the last three values. A sweep over the order that keeps the
// survivors' minimal triples settles sets where most rows are dominated, or
// where their sums fall along the order, as on fronts; the rest goes to
// divide and conquer: halving the order, the earlier half is
// tested against the later one by a sweep over the second value that keeps
// the staircase of the earlier rows' third and fourth values; each half is
// then split the same way, down to ranges short enough for the sweep. Rows
// found dominated leave the ranges, and rows whose sums rule them out as
// dominator or dominated stay out of the staircase; where that is most rows,
// as on fronts, the ranges stay in lexicographic order and only the rows
// taking part in a comparison are sorted by the second value.
class FourVariableDominance {
public:
    // Ranges of at most this many rows are swept, not split. Where every row
    // survives, a sweep's cost grows with the square of the range and
    // splitting's with its logarithm: on the benchmark's four-variable
    // tables, ranges of 2,048 and 4,096 rows were fastest, 512 and 8,192
    // slower.
    static constexpr std::size_t kSweptRange = 2048;

    // swept_range, at least 1, is smaller only where tests split small sets.
    explicit FourVariableDominance(std::size_t swept_range = kSweptRange)
        : swept_range_(swept_range) {}

    // order lists the rows of points lexicographically.
    void mark(std::span<const double> points, std::span<const KeyedIndex> order);

    // Whether the row at this place of order is dominated.
    bool dominated(std::size_t position) const { return dominated_[position] != 0; }

private:
    struct Item {
        double second;
        double third;
        double fourth;
        CompactIndex position;

        std::array<double, 3> triple() const { return {second, third, fourth}; }
        double sum() const { return second + third + fourth; }
    };

    static bool by_second(const Item& a, const Item& b) { return a.second < b.second; }

    std::size_t sweep(std::span<const double> points, std::span<const KeyedIndex> order);
    // A range's survivors end at `end`; every row the range was given has a
    // sum of its last three values within the bounds, unless it is NaN.
    struct Solved {
        std::size_t end;
        double lowest_sum;
        double highest_sum;
    };
    // Two halves solved, their survivors now ending at `end`. std::min and
    // std::max pass over a NaN bound, as the sweep's do over a NaN sum.
    static Solved joined(const Solved& earlier, const Solved& later, std::size_t end) {
        return {end, std::min(earlier.lowest_sum, later.lowest_sum),
                std::max(earlier.highest_sum, later.highest_sum)};
    }

    // Whether a row may dominate a row of a later half whose sums are at
    // most `highest`, or be dominated by a row of an earlier half whose sums
    // are at least `lowest`. A NaN sum, from infinities of both signs, is
    // never ruled out; nor does it need to bound the others: a row it could
    // dominate, or be dominated by, holds an infinity of the sign that keeps
    // that row's sum from being ruled out too.
    static bool may_dominate(const Item& row, double highest) { return !(row.sum() > highest); }
    static bool may_be_dominated(const Item& row, double lowest) { return !(row.sum() < lowest); }

    bool sums_rule_out_most() const;
    Solved solve(std::size_t begin, std::size_t end);
    Solved solve_in_order(std::size_t begin, std::size_t end);
    Solved sweep_range(std::size_t begin, std::size_t end);
    std::size_t compare_halves(std::size_t begin, const Solved& earlier_half,
                               std::size_t later_begin, const Solved& later_half);
    void compare_taking_part(std::size_t begin, const Solved& earlier_half, std::size_t later_begin,
                             const Solved& later_half);

    std::size_t swept_range_;
    MinimalTriples minima_;
    LargeBuffer<Item> items_;
    LargeBuffer<Item> merged_;
    LargeBuffer<std::uint8_t> dominated_;
    Staircase earlier_pairs_;
};

}  // namespace quorvel
