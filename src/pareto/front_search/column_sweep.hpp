#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "candidate_buckets.hpp"
#include "key_sort.hpp"
#include "pareto/cancellation.hpp"

namespace quorvel {

// A candidate taken for its column: its row, second coordinate and origin.
struct ColumnSweepEntry {
    double row[2];
    std::uint32_t second_coordinate;
    CandidateOrigin origin;
};

// Extends a front of two variables by one stand, without a table of cells.
// The members are walked in order of their first values: those of a front
// in another order, as the first stand's options come, are sorted first.
// Each option's candidates then come in order of their first coordinate, so
// once a block of members is formed, no later candidate reaches a column
// below the least of the last member's: the candidates of those columns,
// sorted by column, come column by column, and within a column in order of
// formation (member by member as the front lists them, option by option):
// kept so by a stable sort on a front walked in its own order, sorted so on
// one walked out of it. A cell's representative is thus chosen among its
// candidates in the order a table would see them, and the columns are swept
// in order:
// - a candidate whose second coordinate is above the least of any earlier
//   column has that column's cell below and left of its own, whose every row
//   dominates every row its cell could hold: its cell is left out whole;
// - the representatives of a column, in order of their values, survive when
//   below every second value kept so far, as the filter's sweep decides.
// Only for candidates that all have a cell.
class ColumnSweep {
public:
    // Sweeps the candidates, whose first coordinates lie between lowest and
    // highest, if that pays: where they are several to a column, grouping
    // each column's into cells costs more than a table of cells. Returns
    // whether it swept. in_order tells that the front's first values never
    // fall.
    bool collect_if_pays(std::span<const double> front_targets, bool in_order,
                         std::span<const double> options, double log_step, std::uint32_t lowest,
                         std::uint32_t highest, LargeBuffer<double>& survivor_targets,
                         LargeBuffer<CandidateOrigin>& survivor_origins);
    // Sweeps whether it pays or not. The survivors come in the filter's
    // order, their rows and origins given.
    void collect(std::span<const double> front_targets, bool in_order,
                 std::span<const double> options, double log_step,
                 LargeBuffer<double>& survivor_targets,
                 LargeBuffer<CandidateOrigin>& survivor_origins);

private:
    // Whether few sampled members share a column with the sample before.
    bool spread_over_columns(std::span<const double> front_targets, bool in_order,
                             double first_option, double log_step);
    bool few_wait(std::span<const double> front_targets, bool in_order,
                  std::span<const double> options);
    // The front's rows in order of their first values: its own, or a sorted
    // copy, the members listed in members_ until forget_order().
    std::span<const double> walk_in_order(std::span<const double> front_targets, bool in_order);
    void forget_order();
    void sweep(std::span<const double> front_targets, std::span<const double> options,
               double log_step, LargeBuffer<double>& survivor_targets,
               LargeBuffer<CandidateOrigin>& survivor_origins);
    void order_long_column_by_formation();

    // A candidate formed but not yet in a finished column.
    struct Formed {
        ColumnSweepEntry entry;
        std::uint32_t column;
    };

    // Forms the candidates of the members at places [first, last) of the
    // walk, in its order, after those left from before; returns the lowest
    // column a later candidate can reach.
    std::uint64_t form(std::size_t first, std::size_t last, bool at_end);
    // Takes the formed candidates whose columns lie below `end`, in order of
    // column and, within one, of the walk; the others stay.
    void take_columns_below(std::uint64_t end, LargeBuffer<double>& survivor_targets,
                            LargeBuffer<CandidateOrigin>& survivor_origins);
    void finish_column(LargeBuffer<double>& survivor_targets,
                       LargeBuffer<CandidateOrigin>& survivor_origins);
    void order_long_column_by_second_coordinate();
    void order_long_column_by_value();
    // A representative, in order of values, survives when its second value
    // is below every one kept so far, as the filter's sweep decides.
    void keep_if_lowest(const ColumnSweepEntry& cell, LargeBuffer<double>& survivor_targets,
                        LargeBuffer<CandidateOrigin>& survivor_origins);

    std::span<const double> front_targets_;
    // Of a front walked out of its order: per place of the walk, the member
    // and its row; both empty otherwise.
    std::vector<CompactIndex> members_;
    LargeBuffer<double> ordered_rows_;
    std::span<const double> options_;
    double log_step_ = 0;
    // The first values that tell whether sweeping pays: kept, as a search
    // asks at every stand.
    std::vector<double> first_values_;
    std::vector<double> rows_;
    std::vector<std::uint32_t> coordinates_;
    std::vector<Formed> formed_;
    std::vector<Formed> left_;
    // Every column below this one is taken.
    std::uint32_t taken_below_ = 0;
    std::vector<std::uint64_t> keys_;
    std::vector<std::uint64_t> sorted_keys_;
    std::vector<std::uint32_t> counts_;
    // The column being filled, and the least second coordinate of the
    // columns before it and of this one.
    std::vector<ColumnSweepEntry> column_;
    // Work space of a long column: its keys by second coordinate, its order
    // by value, and its entries reordered.
    std::vector<std::uint64_t> column_keys_;
    std::vector<std::uint64_t> column_scratch_;
    std::vector<std::uint32_t> column_counts_;
    std::vector<ColumnSweepEntry> reordered_;
    LargeBuffer<KeyedIndex> by_value_;
    LargeBuffer<KeyedIndex> by_value_scratch_;
    std::uint64_t column_number_ = 0;
    std::uint32_t least_before_ = UINT32_MAX;
    std::uint32_t least_in_column_ = UINT32_MAX;
    double lowest_second_kept_ = 0;
    bool any_kept_ = false;
    CancellationCounter cancellation_;
};

}  // namespace quorvel
