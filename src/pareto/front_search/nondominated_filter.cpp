#include "nondominated_filter.hpp"

#include <algorithm>
#include <limits>

#include "dominance.hpp"

namespace quorvel {

void NondominatedFilter::select(std::span<const double> points, std::size_t n_variables,
                                std::vector<CompactIndex>& survivors) {
    survivors.clear();
    if (points.empty()) return;
    const bool lexicographic = n_variables >= 2 && n_variables <= 4;
    // Ranked before the rows are sorted, so the sort's buffers serve both.
    const std::size_t n_second_ranks =
        n_variables == 3 ? rank_column(points, 3, 1, order_, scratch_, second_rank_) : 0;
    sort_rows(points, n_variables, !lexicographic);
    switch (n_variables) {
    case 2:
        sweep_two(points, survivors);
        break;
    case 3:
        sweep_three(points, n_second_ranks, survivors);
        break;
    case 4:
        split_four(points, survivors);
        break;
    default:
        scan_kept(points, n_variables, survivors);
    }
}

// A row that dominates another is lexicographically smaller and, since
// rounding is monotone, has a sum no larger; either order therefore places
// every dominator first. Rows are sorted by their first value or sum alone,
// and only the rare runs of equal keys are then ordered lexicographically.
void NondominatedFilter::sort_rows(std::span<const double> points, std::size_t n_variables,
                                   bool by_sum) {
    const std::size_t n_points = points.size() / n_variables;
    order_.resize(n_points);
    for (std::size_t i = 0; i < n_points; ++i) {
        const double* row = points.data() + i * n_variables;
        double key = row[0];
        if (by_sum)
            for (std::size_t v = 1; v < n_variables; ++v) key += row[v];
        order_[i] = {order_key(key), static_cast<CompactIndex>(i)};
    }
    sort_by_key(order_, scratch_);

    const std::size_t first_tie_variable = by_sum ? 0 : 1;
    const auto lexicographic_less = [&](const KeyedIndex& a, const KeyedIndex& b) {
        const double* row_a = points.data() + a.index * n_variables;
        const double* row_b = points.data() + b.index * n_variables;
        return std::lexicographical_compare(row_a + first_tie_variable, row_a + n_variables,
                                            row_b + first_tie_variable, row_b + n_variables);
    };
    for (auto run = order_.begin(); run != order_.end();) {
        const auto run_end = std::find_if(run + 1, order_.end(),
                                          [&](const KeyedIndex& e) { return e.key != run->key; });
        if (run_end - run > 1) std::sort(run, run_end, lexicographic_less);
        run = run_end;
    }
}

// Every earlier row is no worse in the first variable, so a row survives
// exactly when its second variable beats all earlier ones.
void NondominatedFilter::sweep_two(std::span<const double> points,
                                   std::vector<CompactIndex>& survivors) {
    double lowest_second = std::numeric_limits<double>::infinity();
    for (const KeyedIndex& entry : order_) {
        const double second = points[2 * std::size_t{entry.index} + 1];
        if (second < lowest_second) {
            lowest_second = second;
            survivors.push_back(entry.index);
        }
    }
}

// Every earlier row is no worse in the first variable, so a row is dominated
// exactly when an earlier survivor is no worse in the other two: a prefix
// minimum of the third variable over the ranks of the second.
void NondominatedFilter::sweep_three(std::span<const double> points, std::size_t n_second_ranks,
                                     std::vector<CompactIndex>& survivors) {
    lowest_third_.reset(n_second_ranks);

    for (const KeyedIndex& entry : order_) {
        const double third = points[3 * std::size_t{entry.index} + 2];
        const std::size_t rank = second_rank_[entry.index];
        if (lowest_third_.any_at_most(rank, third)) continue;
        survivors.push_back(entry.index);
        lowest_third_.lower(rank, third);
    }
}

void NondominatedFilter::split_four(std::span<const double> points,
                                    std::vector<CompactIndex>& survivors) {
    four_.mark(points, order_);
    for (std::size_t position = 0; position < order_.size(); ++position)
        if (!four_.dominated(position)) survivors.push_back(order_[position].index);
}

// Rows sorted by sum meet the strongest dominators first, so a dominated row
// usually stops after a few comparisons; only survivors scan all of kept_rows_.
void NondominatedFilter::scan_kept(std::span<const double> points, std::size_t n_variables,
                                   std::vector<CompactIndex>& survivors) {
    kept_rows_.clear();
    for (const KeyedIndex& entry : order_) {
        const double* row = points.data() + entry.index * n_variables;
        bool dominated = false;
        for (std::size_t k = 0; k < kept_rows_.size() && !dominated; k += n_variables)
            dominated = dominates(kept_rows_.data() + k, row, n_variables);
        if (dominated) continue;
        survivors.push_back(entry.index);
        kept_rows_.insert(kept_rows_.end(), row, row + n_variables);
    }
}

}  // namespace quorvel
