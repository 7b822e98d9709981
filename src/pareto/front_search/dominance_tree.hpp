#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compact_index.hpp"

namespace quorvel {

// Finds the dominated rows of a set of distinct rows of any width. The rows
// are split at the median of one variable, the variables taking turns level
// by level, down to parts of a few rows, and every part keeps the least value
// of each variable over its rows. Only a part whose least values are all no
// greater than a row can hold a row that dominates it: on a front, the parts
// near that row. So a row meets a few parts per level instead of every
// survivor, which is what sets of many survivors in five or more variables
// need.
class DominanceTree {
public:
    // points holds one row of n_variables values per point; the rows must be
    // pairwise distinct and free of NaN.
    void mark(std::span<const double> points, std::size_t n_variables);

    // Whether the point with this index is dominated.
    bool dominated(CompactIndex index) const { return dominated_[index] != 0; }

private:
    // Parts are numbered as in a heap: part k splits into 2k and 2k + 1, and
    // the parts of depth d are 2^d to 2^(d+1) - 1.
    std::size_t part_begin(std::size_t part, unsigned depth) const;
    void split(std::size_t part, unsigned depth, std::span<const double> points);
    void set_least_values(const double* points);
    // N, when not 0, is n_variables_, known at compile time so that the
    // loops over a row unroll.
    template <std::size_t N>
    void mark_rows(const double* points);
    template <std::size_t N>
    bool has_dominator(const double* points, const double* row) const;

    std::size_t n_variables_ = 0;
    std::size_t n_rows_ = 0;
    unsigned depth_ = 0;
    // The indices of the rows in the order of the parts. The rows are read
    // where they lie: a copy in that order ran 2 to 17% faster but took up
    // to a third more memory at the peak of a search.
    std::vector<CompactIndex> indices_;
    // n_variables_ least values per part.
    std::vector<double> least_;
    std::vector<std::uint8_t> dominated_;
};

}  // namespace quorvel
