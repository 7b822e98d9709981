#include "dominance_tree.hpp"

#include <algorithm>
#include <limits>
#include <numeric>

#include "dominance.hpp"

namespace quorvel {

namespace {

// Parts of at most this many rows are not split further.
constexpr std::size_t kLeafRows = 8;

constexpr double kInfinity = std::numeric_limits<double>::infinity();

}  // namespace

void DominanceTree::mark(std::span<const double> points, std::size_t n_variables) {
    n_variables_ = n_variables;
    n_rows_ = points.size() / n_variables;
    depth_ = 0;
    while ((n_rows_ + (std::size_t{1} << depth_) - 1) >> depth_ > kLeafRows) ++depth_;
    indices_.resize(n_rows_);
    std::iota(indices_.begin(), indices_.end(), CompactIndex{0});
    for (unsigned depth = 0; depth < depth_; ++depth)
        for (std::size_t part = std::size_t{1} << depth; part < std::size_t{2} << depth; ++part)
            split(part, depth, points);

    set_least_values(points.data());

    dominated_.resize(n_rows_);  // every entry is written below
    switch (n_variables) {
    case 5:
        mark_rows<5>(points.data());
        break;
    case 6:
        mark_rows<6>(points.data());
        break;
    default:
        mark_rows<0>(points.data());
    }
}

// Rows taken in the order of the parts meet the same parts one after
// another, which stay in cache.
template <std::size_t N>
void DominanceTree::mark_rows(const double* points) {
    const std::size_t n_variables = N ? N : n_variables_;
    for (std::size_t t = 0; t < n_rows_; ++t)
        dominated_[indices_[t]] =
            has_dominator<N>(points, points + std::size_t{indices_[t]} * n_variables);
}

std::size_t DominanceTree::part_begin(std::size_t part, unsigned depth) const {
    return ((part - (std::size_t{1} << depth)) * n_rows_) >> depth;
}

void DominanceTree::split(std::size_t part, unsigned depth, std::span<const double> points) {
    const std::size_t n_variables = n_variables_;
    const std::size_t begin = part_begin(part, depth);
    const std::size_t end = part_begin(part + 1, depth);
    const std::size_t middle = part_begin(2 * part + 1, depth + 1);
    // Medians split by rank, so a variable of large values is split no more
    // often than one of small values: the variables take turns.
    const double* values = points.data() + depth % n_variables;
    std::nth_element(indices_.begin() + static_cast<std::ptrdiff_t>(begin),
                     indices_.begin() + static_cast<std::ptrdiff_t>(middle),
                     indices_.begin() + static_cast<std::ptrdiff_t>(end),
                     [values, n_variables](CompactIndex a, CompactIndex b) {
                         return values[a * n_variables] < values[b * n_variables];
                     });
}

void DominanceTree::set_least_values(const double* points) {
    const std::size_t n_variables = n_variables_;
    const std::size_t first_leaf = std::size_t{1} << depth_;
    least_.assign(2 * first_leaf * n_variables, kInfinity);
    for (std::size_t leaf = first_leaf; leaf < 2 * first_leaf; ++leaf) {
        double* least = least_.data() + leaf * n_variables;
        for (std::size_t t = part_begin(leaf, depth_); t < part_begin(leaf + 1, depth_); ++t)
            for (std::size_t v = 0; v < n_variables; ++v)
                least[v] = std::min(least[v], points[std::size_t{indices_[t]} * n_variables + v]);
    }
    for (std::size_t part = first_leaf - 1; part >= 1; --part)
        for (std::size_t v = 0; v < n_variables; ++v)
            least_[part * n_variables + v] = std::min(least_[2 * part * n_variables + v],
                                                      least_[(2 * part + 1) * n_variables + v]);
}

template <std::size_t N>
bool DominanceTree::has_dominator(const double* points, const double* row) const {
    const std::size_t n_variables = N ? N : n_variables_;
    const std::size_t first_leaf = std::size_t{1} << depth_;
    // Depth-first, the part of lower values first: a dominated row mostly
    // finds its dominator there.
    std::size_t pending[64];
    std::size_t n_pending = 0;
    pending[n_pending++] = 1;
    while (n_pending > 0) {
        const std::size_t part = pending[--n_pending];
        const double* least = least_.data() + part * n_variables;
        bool may_hold = true;
        for (std::size_t v = 0; v < n_variables; ++v) may_hold &= least[v] <= row[v];
        if (!may_hold) continue;
        if (part < first_leaf) {
            pending[n_pending++] = 2 * part + 1;
            pending[n_pending++] = 2 * part;
            continue;
        }
        for (std::size_t t = part_begin(part, depth_); t < part_begin(part + 1, depth_); ++t)
            if (dominates_branch_free(points + std::size_t{indices_[t]} * n_variables, row,
                                      n_variables))
                return true;
    }
    return false;
}

}  // namespace quorvel
