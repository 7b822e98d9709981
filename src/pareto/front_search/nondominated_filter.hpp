#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "compact_index.hpp"
#include "dominance_tree.hpp"
#include "four_variable_dominance.hpp"
#include "key_sort.hpp"
#include "staircase.hpp"

namespace quorvel {

// Selects the points of a set that no other point of the set dominates, far
// below the quadratic cost of comparing every pair: for two to four
// variables, sorting puts every dominator ahead of the points it dominates,
// so each point is tested only against the points before it; for any other
// width, a tree of parts of the set rules out all but the parts near each
// point. The buffers are kept between calls.
//
// A set may also be given in pieces as its rows become known, each piece's
// first values above all earlier ones: two and three variables are then
// filtered piece by piece while the rows are still in cache. Whatever the
// pieces, finish() returns what select() returns for the whole set.
class NondominatedFilter {
public:
    // points holds one row of n_variables values per point; the rows must be
    // pairwise distinct and free of NaN. survivors receives the indices of
    // the non-dominated rows in an order fixed by their values alone:
    // lexicographic for two to four variables, otherwise by the sum of the
    // row, ties broken lexicographically.
    void select(std::span<const double> points, std::size_t n_variables,
                std::vector<CompactIndex>& survivors);

    // Starts a set given in pieces.
    void start(std::size_t n_variables);
    // Whether the pieces given so far are filtered as they come.
    bool takes_pieces() const { return by_pieces_; }
    // rows lists rows of points not given before. A piece whose least first
    // value is not above every earlier one's stops the filtering by pieces.
    // Returns the piece's survivors, in order, when it is filtered: no later
    // piece changes them, so their rows may then be moved and the others
    // dropped.
    std::span<const CompactIndex> take_piece(std::span<const double> points,
                                             std::span<const CompactIndex> rows);
    // points holds the whole set: select() runs on it unless every row came
    // in pieces that could be filtered.
    void finish(std::span<const double> points, std::vector<CompactIndex>& survivors);

private:
    void drop_rows_beaten_by_lower_band(std::span<const double> points);
    void order_rows(std::span<const double> points, std::size_t n_variables, bool by_sum);
    void sweep_two(std::span<const double> points, std::vector<CompactIndex>& survivors);
    void sweep_three(std::span<const double> points, std::vector<CompactIndex>& survivors);
    void split_four(std::span<const double> points, std::vector<CompactIndex>& survivors);
    void select_by_tree(std::span<const double> points, std::size_t n_variables,
                        std::vector<CompactIndex>& survivors);

    LargeBuffer<KeyedIndex> order_;
    LargeBuffer<KeyedIndex> scratch_;
    // Two variables: per band of first values, the least second value below
    // it; how many rows the last sweep was given, and whether it found most of
    // them dominated.
    std::vector<double> band_lowest_;
    std::size_t rows_given_ = 0;
    bool most_rows_beaten_ = false;
    // What the sweeps know of the survivors so far, kept from piece to piece:
    // their least second value (two variables), their staircase (three).
    double lowest_second_ = 0;
    Staircase staircase_;
    FourVariableDominance four_;
    DominanceTree tree_;

    // A set given in pieces.
    std::size_t n_variables_ = 0;
    bool by_pieces_ = false;
    std::size_t rows_taken_ = 0;
    double highest_first_ = 0;
    std::vector<CompactIndex> piece_survivors_;
};

}  // namespace quorvel
