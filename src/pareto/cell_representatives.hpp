#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "cell_map.hpp"
#include "compact_index.hpp"

namespace quorvel {

// The grid cells reached when a front is extended by one stand. Every
// candidate (a front member plus one option of the stand, in that order of
// loops) goes to its cell; the first to arrive represents the cell until a
// later one dominates it. Candidates live only as a scratch row until they
// win a cell. Storage is kept from one stand to the next.
class CellRepresentatives {
public:
    struct Origin {
        CompactIndex front_position;
        CompactIndex option;
    };

    explicit CellRepresentatives(std::size_t n_variables);

    // front_targets and options hold one row of n_variables values per front
    // member and per option. Fails like the grid for a coordinate it rejects.
    void collect(std::span<const double> front_targets, std::span<const double> options,
                 double log_step);

    // One row per cell, in order of the cells' first candidates.
    std::span<const double> targets() const { return targets_; }
    const Origin& origin(std::size_t cell) const { return origins_[cell]; }

private:
    std::size_t n_variables_;
    CellMap cells_;
    std::vector<double> targets_;
    std::vector<Origin> origins_;
    std::vector<double> candidate_;
    std::vector<std::uint32_t> key_;
};

}  // namespace quorvel
