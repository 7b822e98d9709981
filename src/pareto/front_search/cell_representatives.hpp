#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "cell_map.hpp"
#include "compact_index.hpp"
#include "nondominated_filter.hpp"
#include "pareto/cancellation.hpp"

namespace quorvel {

// The grid cells reached when a front is extended by one stand. Every
// candidate (a front member plus one option of the stand, in that order of
// loops) goes to its cell; the first to arrive represents the cell until a
// later one dominates it. Candidates live only as scratch rows until they
// win a cell. Storage is kept from one stand to the next.
//
// A front in lexicographic order, as the filter leaves it, makes each
// option's candidates arrive in order of their first coordinate, so the cells
// behind the slowest option's latest candidate are final: they are forgotten
// whenever the table holds twice as many cells as after the last time (and at
// least `cells_in_cache`), so it follows the cells still in play, and handed
// to the filter as a piece while their rows are in cache. Should a candidate
// still reach a forgotten cell (an unordered front), every cell is held again
// for the rest of the stand, and the filter takes the cells as a whole.
class CellRepresentatives {
public:
    struct Origin {
        CompactIndex front_position;
        CompactIndex option;
    };

    explicit CellRepresentatives(std::size_t n_variables,
                                 std::size_t cells_in_cache = kCellsInCache);

    // front_targets and options hold one row of n_variables values per front
    // member and per option. Gives every cell to the filter, which is then
    // ready to finish on targets(). Fails like the grid for a coordinate it
    // rejects; asks whether to stop about once per million candidates.
    void collect(std::span<const double> front_targets, std::span<const double> options,
                 double log_step, NondominatedFilter& filter);

    // One row per cell, in order of the cells' first candidates.
    std::span<const double> targets() const { return targets_; }
    const Origin& origin(std::size_t cell) const { return origins_[cell]; }

private:
    // In a table at most half full, a quarter to half a megabyte at three
    // variables: with the rows of these cells and the pieces handed to the
    // filter, within a core's second-level cache on most machines. Measured
    // on a front of 55,000 points: twice as many cost 5% more, half as many 3%.
    static constexpr std::size_t kCellsInCache = std::size_t{1} << 13;

    void keep_table_small(std::size_t batch_size, double log_step, NondominatedFilter& filter);
    void hold_every_cell(double log_step);
    // N, when not 0, is n_variables_, known at compile time so that the
    // loops over a candidate's values unroll: the widths met most often are
    // compiled on their own.
    template <std::size_t N>
    void collect_candidates(std::span<const double> front_targets,
                            std::span<const double> options, double log_step,
                            NondominatedFilter& filter);
    template <std::size_t N>
    void locate_batch(std::size_t batch_size);
    template <std::size_t N>
    void place_batch(std::size_t batch_size);

    std::size_t n_variables_;
    CellMap cells_;
    std::vector<double> targets_;
    std::vector<Origin> origins_;
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
    std::uint32_t forgotten_below_ = 0;
    bool forgetting_ = true;
    std::size_t cells_in_cache_;
    std::size_t forget_at_ = 0;
    CancellationCounter cancellation_;
};

}  // namespace quorvel
