#include "nondominated_filter.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace quorvel {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Rows per band of first values when two-variable rows are thinned before
// sorting; fewer rows than kLeastBanded are sorted as they are.
constexpr std::size_t kRowsPerBand = 4;
constexpr std::size_t kLeastBanded = 256;

}  // namespace

void NondominatedFilter::select(std::span<const double> points, std::size_t n_variables,
                                std::vector<CompactIndex>& survivors) {
    survivors.clear();
    const std::size_t n_points = points.size() / n_variables;
    if (n_points == 0) return;
    order_.resize(n_points);
    for (std::size_t i = 0; i < n_points; ++i) order_[i].index = static_cast<CompactIndex>(i);
    const bool lexicographic = n_variables >= 2 && n_variables <= 4;
    if (n_variables == 2) drop_rows_beaten_by_lower_band(points);
    order_rows(points, n_variables, !lexicographic);
    switch (n_variables) {
    case 2:
        lowest_second_ = kInfinity;
        sweep_two(points, survivors);
        break;
    case 3:
        staircase_.clear();
        sweep_three(points, survivors);
        break;
    case 4:
        split_four(points, survivors);
        break;
    default:
        select_by_tree(points, n_variables, survivors);
    }
}

void NondominatedFilter::start(std::size_t n_variables) {
    n_variables_ = n_variables;
    by_pieces_ = n_variables == 2 || n_variables == 3;
    rows_taken_ = 0;
    highest_first_ = -kInfinity;
    lowest_second_ = kInfinity;
    staircase_.clear();
    piece_survivors_.clear();
}

std::span<const CompactIndex> NondominatedFilter::take_piece(std::span<const double> points,
                                                             std::span<const CompactIndex> rows) {
    rows_taken_ += rows.size();
    if (!by_pieces_ || rows.empty()) return {};
    const std::size_t n_variables = n_variables_;
    order_.resize(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) order_[i].index = rows[i];
    if (n_variables == 2) drop_rows_beaten_by_lower_band(points);
    order_rows(points, n_variables, false);
    // With rows above every earlier one, no earlier row precedes a row of
    // this piece in sorted order, so the sweep goes on where it stopped.
    if (!(points[order_.front().index * n_variables] > highest_first_)) {
        by_pieces_ = false;
        return {};
    }
    highest_first_ = points[order_.back().index * n_variables];
    const std::size_t kept_before = piece_survivors_.size();
    if (n_variables == 2)
        sweep_two(points, piece_survivors_);
    else
        sweep_three(points, piece_survivors_);
    return std::span<const CompactIndex>(piece_survivors_).subspan(kept_before);
}

void NondominatedFilter::finish(std::span<const double> points,
                                std::vector<CompactIndex>& survivors) {
    if (by_pieces_ && rows_taken_ == points.size() / n_variables_)
        survivors.swap(piece_survivors_);
    else
        select(points, n_variables_, survivors);
}

// Where most rows are dominated, as at large fronts of two variables, most
// are beaten by a row whose first value lies in a lower band of a few rows'
// width: three linear passes leave them out before the sort, which costs
// more per row. A row of a lower band has a smaller first value (the band
// never falls as the value grows), so one with a smaller second value
// dominates. The rows of the lowest band all stay, the one with the least
// first value among them, so a piece still shows where it starts; and no row
// left out is needed as a dominator, since one that dominates it stays or is
// itself beaten by one that stays. Where most rows survive the passes are
// wasted, so they run only while the last sweep kept fewer than half the
// rows it was given.
void NondominatedFilter::drop_rows_beaten_by_lower_band(std::span<const double> points) {
    const std::size_t n_rows = order_.size();
    rows_given_ = n_rows;
    if (n_rows < kLeastBanded || !most_rows_beaten_) return;
    double lowest = kInfinity;
    double highest = -kInfinity;
    for (const KeyedIndex& entry : order_) {
        lowest = std::min(lowest, points[2 * std::size_t{entry.index}]);
        highest = std::max(highest, points[2 * std::size_t{entry.index}]);
    }
    const std::size_t n_bands = n_rows / kRowsPerBand;
    const double bands_per_value = static_cast<double>(n_bands) / (highest - lowest);
    // Equal, infinite or nearly equal first values leave no bands.
    if (!(bands_per_value > 0 && bands_per_value < kInfinity)) return;
    // Each band's least second value, then the least of the bands below.
    // The keys hold the bands until the rows are ordered.
    band_lowest_.assign(n_bands, kInfinity);
    for (KeyedIndex& entry : order_) {
        const double* row = points.data() + 2 * std::size_t{entry.index};
        entry.key =
            std::min(n_bands - 1, static_cast<std::size_t>((row[0] - lowest) * bands_per_value));
        band_lowest_[entry.key] = std::min(band_lowest_[entry.key], row[1]);
    }
    double below = kInfinity;
    for (double& band_lowest : band_lowest_)
        below = std::min(below, std::exchange(band_lowest, below));
    std::erase_if(order_, [&](const KeyedIndex& entry) {
        return points[2 * std::size_t{entry.index} + 1] > band_lowest_[entry.key];
    });
}

// A row that dominates another is lexicographically smaller and, since
// rounding is monotone, has a sum no larger; either order therefore places
// every dominator first. The rows listed in order_ are sorted by their first
// value or sum alone, and only the rare runs of equal keys are then ordered
// lexicographically.
void NondominatedFilter::order_rows(std::span<const double> points, std::size_t n_variables,
                                    bool by_sum) {
    for (KeyedIndex& entry : order_) {
        const double* row = points.data() + std::size_t{entry.index} * n_variables;
        double key = row[0];
        if (by_sum)
            for (std::size_t v = 1; v < n_variables; ++v) key += row[v];
        entry.key = order_key(key);
    }
    sort_by_key(order_, scratch_);

    const std::size_t first_tie_variable = by_sum ? 0 : 1;
    const auto lexicographic_less = [&](const KeyedIndex& a, const KeyedIndex& b) {
        const double* row_a = points.data() + a.index * n_variables;
        const double* row_b = points.data() + b.index * n_variables;
        return std::lexicographical_compare(row_a + first_tie_variable, row_a + n_variables,
                                            row_b + first_tie_variable, row_b + n_variables);
    };
    sort_runs_of_equal_keys(order_, lexicographic_less);
}

// Every earlier row is no worse in the first variable, so a row survives
// exactly when its second variable beats all earlier ones; the first row
// always does, even with an infinite second value.
void NondominatedFilter::sweep_two(std::span<const double> points,
                                   std::vector<CompactIndex>& survivors) {
    const std::size_t kept_before = survivors.size();
    for (const KeyedIndex& entry : order_) {
        const double second = points[2 * std::size_t{entry.index} + 1];
        if (second < lowest_second_ || survivors.empty()) {
            lowest_second_ = second;
            survivors.push_back(entry.index);
        }
    }
    most_rows_beaten_ = 2 * (survivors.size() - kept_before) < rows_given_;
}

// Every earlier row is no worse in the first variable, so a row is dominated
// exactly when an earlier survivor is no worse in the other two, which the
// survivors' staircase answers.
void NondominatedFilter::sweep_three(std::span<const double> points,
                                     std::vector<CompactIndex>& survivors) {
    for (std::size_t position = 0; position < order_.size(); ++position) {
        prefetch_row_ahead(points.data(), order_, position, 3);
        const CompactIndex index = order_[position].index;
        const double* row = points.data() + 3 * std::size_t{index};
        if (staircase_.add_if_uncovered(row[1], row[2])) survivors.push_back(index);
    }
}

void NondominatedFilter::split_four(std::span<const double> points,
                                    std::vector<CompactIndex>& survivors) {
    four_.mark(points, order_);
    for (std::size_t position = 0; position < order_.size(); ++position)
        if (!four_.dominated(position)) survivors.push_back(order_[position].index);
}

// Each row is tested against the whole set, so the rows sorted by sum only
// give the survivors their order.
void NondominatedFilter::select_by_tree(std::span<const double> points, std::size_t n_variables,
                                        std::vector<CompactIndex>& survivors) {
    tree_.mark(points, n_variables);
    for (const KeyedIndex& entry : order_)
        if (!tree_.dominated(entry.index)) survivors.push_back(entry.index);
}

}  // namespace quorvel
