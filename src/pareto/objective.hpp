#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "data_table.hpp"
#include "large_buffer.hpp"

namespace quorvel {

// Summed values, one per variable in variable order.
using Target = std::vector<double>;

// Element-wise a + b; both must have the same length.
Target add_vectors(std::span<const double> a, std::span<const double> b);

// The target of a design: for every variable ((0 + c[0]) + c[1]) + ... in
// stand order, with c[s] the value of the option chosen at stand s.
Target compute_objective(std::span<const std::size_t> design, const DataTable& table);

// compute_objective() for many designs of one table. In the table every
// option's row is a vector of its own, behind two dependent loads: two cache
// misses when the stand has too many options to stay in cache, and a good
// part of the time per stand when it has few. So the stands are first copied
// into one flat array, which leaves one load per row, unless there are too
// few designs to repay the copy.
class TargetSums {
public:
    TargetSums(const DataTable& table, std::size_t n_designs);

    // Writes the design's target to `target`, which has a place per variable.
    void sum(std::span<const std::size_t> design, std::span<double> target) const;
    // Starts loading the design's rows in the flat stands.
    void prefetch(std::span<const std::size_t> design) const;

private:
    static constexpr std::size_t kInTable = SIZE_MAX;

    const DataTable& table_;
    // The rows of the stands laid flat, stand after stand.
    LargeBuffer<double> flat_rows_;
    // Per stand, where its rows start in flat_rows_, or kInTable where the
    // table's own rows are read.
    std::vector<std::size_t> flat_start_;
    // The flat stands too large to stay in cache, whose rows are loaded ahead.
    std::vector<std::size_t> prefetched_stands_;
};

}  // namespace quorvel
