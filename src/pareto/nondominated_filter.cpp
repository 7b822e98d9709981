#include "nondominated_filter.hpp"

#include <algorithm>
#include <limits>

namespace quorvel {

namespace {

bool all_at_most(const double* a, const double* b, std::size_t n_variables) {
    for (std::size_t v = 0; v < n_variables; ++v)
        if (a[v] > b[v]) return false;
    return true;
}

}  // namespace

void NondominatedFilter::select(std::span<const double> points, std::size_t n_variables,
                                std::vector<CompactIndex>& survivors) {
    survivors.clear();
    if (points.empty()) return;
    const bool lexicographic = n_variables == 2 || n_variables == 3;
    sort_rows(points, n_variables, !lexicographic);
    if (n_variables == 2)
        sweep_two(points, survivors);
    else if (n_variables == 3)
        sweep_three(points, survivors);
    else
        scan_kept(points, n_variables, survivors);
}

// A row that dominates another is lexicographically smaller and, since
// rounding is monotone, has a sum no larger; either order therefore places
// every dominator first.
void NondominatedFilter::sort_rows(std::span<const double> points, std::size_t n_variables,
                                   bool by_sum) {
    const std::size_t n_points = points.size() / n_variables;
    order_.resize(n_points);
    for (std::size_t i = 0; i < n_points; ++i) {
        const double* row = points.data() + i * n_variables;
        double key = row[0];
        if (by_sum)
            for (std::size_t v = 1; v < n_variables; ++v) key += row[v];
        order_[i] = {key, static_cast<CompactIndex>(i)};
    }
    const std::size_t first_tie_variable = by_sum ? 0 : 1;
    std::sort(order_.begin(), order_.end(), [&](const SortEntry& a, const SortEntry& b) {
        if (a.key != b.key) return a.key < b.key;
        const double* row_a = points.data() + a.index * n_variables;
        const double* row_b = points.data() + b.index * n_variables;
        return std::lexicographical_compare(row_a + first_tie_variable, row_a + n_variables,
                                            row_b + first_tie_variable, row_b + n_variables);
    });
}

// Every earlier row is no worse in the first variable, so a row survives
// exactly when its second variable beats all earlier ones.
void NondominatedFilter::sweep_two(std::span<const double> points,
                                   std::vector<CompactIndex>& survivors) {
    double lowest_second = std::numeric_limits<double>::infinity();
    for (const SortEntry& entry : order_) {
        const double second = points[2 * entry.index + 1];
        if (second < lowest_second) {
            lowest_second = second;
            survivors.push_back(entry.index);
        }
    }
}

// Every earlier row is no worse in the first variable, so a row is dominated
// exactly when an earlier survivor is no worse in the other two: a prefix
// minimum of the third variable over the ranks of the second.
void NondominatedFilter::sweep_three(std::span<const double> points,
                                     std::vector<CompactIndex>& survivors) {
    second_values_.clear();
    for (const SortEntry& entry : order_) second_values_.push_back(points[3 * entry.index + 1]);
    std::sort(second_values_.begin(), second_values_.end());
    second_values_.erase(std::unique(second_values_.begin(), second_values_.end()),
                         second_values_.end());
    const std::size_t n_ranks = second_values_.size();
    lowest_third_.assign(n_ranks + 1, std::numeric_limits<double>::infinity());

    for (const SortEntry& entry : order_) {
        const double* row = points.data() + 3 * entry.index;
        const std::size_t rank = static_cast<std::size_t>(
            std::lower_bound(second_values_.begin(), second_values_.end(), row[1]) -
            second_values_.begin()) + 1;
        double lowest = std::numeric_limits<double>::infinity();
        for (std::size_t i = rank; i > 0; i &= i - 1) lowest = std::min(lowest, lowest_third_[i]);
        if (lowest <= row[2]) continue;
        survivors.push_back(entry.index);
        for (std::size_t i = rank; i <= n_ranks; i += i & (~i + 1))
            lowest_third_[i] = std::min(lowest_third_[i], row[2]);
    }
}

// Rows sorted by sum meet the strongest dominators first, so a dominated row
// usually stops after a few comparisons; only survivors scan all of kept_rows_.
void NondominatedFilter::scan_kept(std::span<const double> points, std::size_t n_variables,
                                   std::vector<CompactIndex>& survivors) {
    kept_rows_.clear();
    for (const SortEntry& entry : order_) {
        const double* row = points.data() + entry.index * n_variables;
        bool dominated = false;
        for (std::size_t k = 0; k < kept_rows_.size() && !dominated; k += n_variables)
            dominated = all_at_most(kept_rows_.data() + k, row, n_variables);
        if (dominated) continue;
        survivors.push_back(entry.index);
        kept_rows_.insert(kept_rows_.end(), row, row + n_variables);
    }
}

}  // namespace quorvel
