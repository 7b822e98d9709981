#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "compact_index.hpp"
#include "four_variable_dominance.hpp"
#include "key_sort.hpp"
#include "prefix_minimum_tree.hpp"

namespace quorvel {

// Selects the points of a set that no other point of the set dominates, far
// below the quadratic cost of comparing every pair: sorting puts every
// dominator ahead of the points it dominates, so each point is tested only
// against the points before it. The buffers are kept between calls.
class NondominatedFilter {
public:
    // points holds one row of n_variables values per point; the rows must be
    // pairwise distinct and free of NaN. survivors receives the indices of
    // the non-dominated rows in an order fixed by their values alone:
    // lexicographic for two to four variables, otherwise by the sum of the
    // row, ties broken lexicographically.
    void select(std::span<const double> points, std::size_t n_variables,
                std::vector<CompactIndex>& survivors);

private:
    void sort_rows(std::span<const double> points, std::size_t n_variables, bool by_sum);
    void sweep_two(std::span<const double> points, std::vector<CompactIndex>& survivors);
    void sweep_three(std::span<const double> points, std::size_t n_second_ranks,
                     std::vector<CompactIndex>& survivors);
    void split_four(std::span<const double> points, std::vector<CompactIndex>& survivors);
    void scan_kept(std::span<const double> points, std::size_t n_variables,
                   std::vector<CompactIndex>& survivors);

    std::vector<KeyedIndex> order_;
    std::vector<KeyedIndex> scratch_;
    std::vector<CompactIndex> second_rank_;  // per point
    PrefixMinimumTree lowest_third_;
    FourVariableDominance four_;
    std::vector<double> kept_rows_;
};

}  // namespace quorvel
