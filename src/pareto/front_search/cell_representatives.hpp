#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "beaten_cell_screen.hpp"
#include "candidate_buckets.hpp"
#include "cell_map.hpp"
#include "column_sweep.hpp"
#include "compact_index.hpp"
#include "nondominated_filter.hpp"
#include "pareto/cancellation.hpp"
#include "pareto/large_buffer.hpp"

namespace quorvel {

// The grid cells reached when a front is extended by one stand. Every
// candidate (a front member plus one option of the stand, in that order of
// loops) goes to its cell; the first to arrive represents the cell until a
// later one dominates it. Candidates live only as scratch rows until they
// win a cell. Storage is kept from one stand to the next, but for the
// buckets'.
//
// A front whose first values never fall, as the filter leaves a front in
// lexicographic order, makes each option's candidates arrive in order of
// their first coordinate, so the cells behind the slowest option's latest
// candidate are final: they are forgotten whenever the table holds twice as
// many cells as after the last time (and at least `cells_in_cache`), so it
// follows the cells still in play, and handed to the filter as a piece while
// their rows are in cache. Any other front's table holds every cell, and
// the filter takes them as a whole; unless the first candidates show that the
// cells would outgrow the cache: the candidates are then sorted into buckets
// by their first coordinate, which keeps each cell's candidates in order, and
// merged a bucket at a time, the cells held handed to the filter as a piece
// before the next bucket would take them beyond the cache. A filter that
// takes no pieces (one variable, or four and more) gets every row at the end,
// but the table still stays in cache: holding a few million cells, it missed
// the cache at every lookup. (Not when they are too many to list, or the
// grid would reject one.)
//
// For two variables, candidates few to a column, of options close together
// next to the front's spacing, are swept column by column instead, the
// front's members taken in order of their first values: see ColumnSweep.
// (A front out of that order only where its candidates are too many for
// the table to stay in cache.)
// Otherwise, on a front whose first values never fall, a candidate whose
// cell lies below another candidate's in both coordinates is not placed at
// all: see BeatenCellScreen.
//
// The survivors of a piece are final once the filter has taken it, so their
// rows are copied out and the piece's cells dropped: the rows held then
// follow the cells in play, not every cell of the stand, where most cells
// are dominated (as at large fronts of two variables).
class CellRepresentatives {
public:
    using Origin = CandidateOrigin;

    explicit CellRepresentatives(std::size_t n_variables,
                                 std::size_t cells_in_cache = kCellsInCache);

    // front_targets and options hold one row of n_variables values per front
    // member and per option. Gives every cell to the filter and keeps the
    // cells that survive it. Fails like the grid for a coordinate it rejects;
    // asks whether to stop about once per million candidates.
    void collect(std::span<const double> front_targets, std::span<const double> options,
                 double log_step, NondominatedFilter& filter);

    // The surviving cells, in the filter's order: their origins, and their
    // rows, which move_survivor_targets swaps with `into`; the storage
    // received is reused.
    std::span<const Origin> survivor_origins() const { return survivor_origins_; }
    void move_survivor_targets(LargeBuffer<double>& into) { into.swap(survivor_targets_); }

private:
    // In a table at most half full, a quarter to half a megabyte at three
    // variables: with the rows of these cells and the pieces handed to the
    // filter, within a core's second-level cache on most machines. Measured
    // on a front of 55,000 points: twice as many cost 5% more, half as many 3%.
    static constexpr std::size_t kCellsInCache = std::size_t{1} << 13;

    // How many candidates of an unordered front tell whether its cells
    // would outgrow the cache.
    std::size_t sampled_candidates() const { return 8 * cells_in_cache_; }
    void keep_table_small(std::size_t batch_size, NondominatedFilter& filter);
    // N, when not 0, is n_variables_, known at compile time so that the
    // loops over a candidate's values unroll: the widths met most often are
    // compiled on their own.
    template <std::size_t N>
    void collect_candidates(std::span<const double> front_targets, std::span<const double> options,
                            double log_step, NondominatedFilter& filter);
    template <std::size_t N>
    void collect_by_buckets(std::span<const double> front_targets, std::span<const double> options,
                            double log_step, NondominatedFilter& filter);
    // Lists the next candidates in order of formation in batch_origins_.
    std::span<const Origin> next_batch(Origin& next, std::size_t front_size, std::size_t n_options);
    // Forms the candidates' rows and coordinates in the batch buffers.
    template <std::size_t N>
    void form_batch(std::span<const double> front_targets, std::span<const double> options,
                    std::span<const Origin> batch, double log_step);
    template <std::size_t N>
    void merge_batch(std::span<const Origin> batch);
    template <std::size_t N>
    void locate_batch(std::size_t batch_size);
    template <std::size_t N>
    void place_batch(std::span<const Origin> batch);
    std::span<const Origin> drop_beaten(std::span<const Origin> batch);
    // Hands every cell in the table to the filter as a piece.
    void forget_held_cells(NondominatedFilter& filter);
    // Hands the cells of final_cells_ to the filter as a piece.
    void hand_over_piece(NondominatedFilter& filter);
    // Appends the rows and origins of these cells.
    void append_cells(std::span<const CompactIndex> cells, LargeBuffer<double>& targets,
                      LargeBuffer<Origin>& origins) const;

    std::size_t n_variables_;
    CellMap cells_;
    LargeBuffer<double> targets_;
    LargeBuffer<Origin> origins_;
    // The candidates of one batch: rows, cell coordinates, home slots and
    // where they come from.
    std::vector<double> batch_targets_;
    std::vector<std::uint32_t> batch_keys_;
    std::vector<std::size_t> batch_homes_;
    std::vector<Origin> batch_origins_;
    // Per option, the first coordinate of its latest candidate; cells below
    // the lowest of them and below forgotten_below_ are forgotten.
    std::vector<std::uint32_t> latest_first_;
    std::vector<CompactIndex> final_cells_;
    // Whether pieces' survivors have been kept and their cells dropped.
    bool kept_by_pieces_ = false;
    LargeBuffer<double> survivor_targets_;
    LargeBuffer<Origin> survivor_origins_;
    std::vector<CompactIndex> survivors_;  // of a stand filtered as a whole
    // Work space of dropping the cells of a piece.
    std::vector<CompactIndex> old_numbers_;
    LargeBuffer<double> moved_targets_;
    LargeBuffer<Origin> moved_origins_;
    std::uint32_t forgotten_below_ = 0;
    bool forgetting_ = true;
    // The candidates' least and greatest first coordinate, when they may go
    // to buckets.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> bucket_coordinates_;
    CandidateBuckets buckets_;
    BeatenCellScreen screen_;
    std::size_t cells_in_cache_;
    std::size_t forget_at_ = 0;
    CancellationCounter cancellation_;
    ColumnSweep column_sweep_;
};

}  // namespace quorvel
