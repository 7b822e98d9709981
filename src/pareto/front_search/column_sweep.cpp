#include "column_sweep.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

#include "dominance.hpp"
#include "key_sort.hpp"
#include "pareto/grid.hpp"
#include "row_copy.hpp"

namespace quorvel {

namespace {

// Candidates formed at a time, about: their coordinates are taken in one
// call, and they stay in the second-level cache while sorted.
constexpr std::size_t kBlock = 4096;

// Digits of the sort by column: the counts stay in the first-level cache.
constexpr unsigned kDigitBits = 11;

constexpr std::size_t kShortColumn = 24;

// Whether a candidate comes before another in order of formation: member by
// member as the front lists them, option by option.
bool formed_before(const CandidateOrigin& a, const CandidateOrigin& b) {
    return a.front_position < b.front_position ||
           (a.front_position == b.front_position && a.option < b.option);
}

template <class Less>
void insertion_sort(std::span<ColumnSweepEntry> entries, Less less) {
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const ColumnSweepEntry entry = entries[i];
        std::size_t j = i;
        for (; j > 0 && less(entry, entries[j - 1]); --j) entries[j] = entries[j - 1];
        entries[j] = entry;
    }
}

// Sorts keys by their high 32 bits, all at most `highest`, stably: digit by
// digit from the lowest, as few as that spread needs.
void sort_by_high_part(std::vector<std::uint64_t>& keys, std::vector<std::uint64_t>& scratch,
                       std::vector<std::uint32_t>& counts, std::uint32_t highest) {
    const auto spread = static_cast<unsigned>(std::bit_width(highest));
    for (unsigned shift = 32; shift < 32 + spread; shift += kDigitBits) {
        const auto digit = [shift](std::uint64_t key) {
            return static_cast<std::size_t>(key >> shift) & ((std::size_t{1} << kDigitBits) - 1);
        };
        counts.assign(std::size_t{1} << kDigitBits, 0);
        for (const std::uint64_t key : keys) ++counts[digit(key)];
        std::uint32_t start = 0;
        for (std::uint32_t& count : counts) start += std::exchange(count, start);
        scratch.resize(keys.size());
        for (const std::uint64_t key : keys) scratch[counts[digit(key)]++] = key;
        keys.swap(scratch);
    }
}

}  // namespace

// On average: at 4 or 8 candidates a column, on fronts of 500,000 points,
// sweeping took about a tenth less time than the table; at 17, on fronts of
// 3,000, a fifth more. And where most members crowd into a few columns, a
// few others far out would hide it from the average: every so many members
// are sampled, and few may share a column with the sample before. An
// unordered front is sorted only once the sweep is chosen: where it is not,
// the sort would be lost.
bool ColumnSweep::collect_if_pays(std::span<const double> front_targets, bool in_order,
                                  std::span<const double> options, double log_step,
                                  std::uint32_t lowest, std::uint32_t highest,
                                  LargeBuffer<double>& survivor_targets,
                                  LargeBuffer<CandidateOrigin>& survivor_origins) {
    constexpr std::size_t kMostCandidatesPerColumn = 8;
    if (front_targets.size() / 2 * (options.size() / 2) / kMostCandidatesPerColumn >
            highest - lowest ||
        !spread_over_columns(front_targets, in_order, options[0], log_step) ||
        !few_wait(front_targets, in_order, options))
        return false;
    collect(front_targets, in_order, options, log_step, survivor_targets, survivor_origins);
    return true;
}

void ColumnSweep::collect(std::span<const double> front_targets, bool in_order,
                          std::span<const double> options, double log_step,
                          LargeBuffer<double>& survivor_targets,
                          LargeBuffer<CandidateOrigin>& survivor_origins) {
    sweep(walk_in_order(front_targets, in_order), options, log_step, survivor_targets,
          survivor_origins);
    forget_order();
}

std::span<const double> ColumnSweep::walk_in_order(std::span<const double> front_targets,
                                                   bool in_order) {
    members_.clear();
    if (in_order) return front_targets;
    const std::size_t front_size = front_targets.size() / 2;
    ensure_indexable(front_size);
    LargeBuffer<KeyedIndex> order(front_size);
    for (std::size_t member = 0; member < front_size; ++member)
        order[member] = {order_key(front_targets[2 * member]), static_cast<CompactIndex>(member)};
    {  // The scratch is given back before the rows are copied: a lower peak.
        LargeBuffer<KeyedIndex> scratch;
        sort_by_key(order, scratch);
    }
    members_.resize(front_size);
    ordered_rows_.resize(2 * front_size);
    for (std::size_t place = 0; place < front_size; ++place) {
        prefetch_row_ahead(front_targets.data(), order, place, 2);
        members_[place] = order[place].index;
        copy_row(front_targets.data() + 2 * std::size_t{order[place].index}, 2,
                 ordered_rows_.data() + 2 * place);
    }
    return ordered_rows_;
}

// Only a first stand comes out of order: later fronts leave the filter in
// order, so the memory is given back rather than held for them.
void ColumnSweep::forget_order() {
    front_targets_ = {};
    LargeBuffer<double>().swap(ordered_rows_);
    std::vector<CompactIndex>().swap(members_);
}

// The samples of an unordered front are every kSortedPerSample-th of a
// sorted sample that many times as large: about as far apart in the order
// of first values as those of a front in that order.
bool ColumnSweep::spread_over_columns(std::span<const double> front_targets, bool in_order,
                                      double first_option, double log_step) {
    constexpr std::size_t kSamples = 128;
    constexpr std::size_t kSortedPerSample = 16;
    const std::size_t front_size = front_targets.size() / 2;
    const std::size_t per_sample = in_order ? 1 : kSortedPerSample;
    const std::size_t step = std::max<std::size_t>(1, front_size / (kSamples * per_sample));
    std::vector<double>& sums = first_values_;
    sums.clear();
    for (std::size_t member = 0; member < front_size && sums.size() < (kSamples + 1) * per_sample;
         member += step)
        sums.push_back(front_targets[2 * member] + first_option);
    if (!in_order) {
        std::sort(sums.begin(), sums.end());
        std::size_t kept = 0;
        for (std::size_t k = 0; k < sums.size(); k += per_sample) sums[kept++] = sums[k];
        sums.resize(kept);
    }
    std::array<std::uint32_t, kSamples + 1> columns;
    const std::size_t n_samples = sums.size();
    cell_coordinates_into(sums, log_step, {columns.data(), n_samples});
    std::size_t n_shared = 0;
    for (std::size_t k = 1; k < n_samples; ++k) n_shared += columns[k] == columns[k - 1];
    return 4 * n_shared <= n_samples - 1;
}

// Where most of the first block's candidates would wait for later columns,
// options lie far apart next to the front's spacing, and sorting the waiting
// ones again and again cost more than the table: with 3 in 4 to 99 in 100
// waiting, at 60 to 200 options a stand, up to two thirds more. On the
// benchmark's fronts of 500,000 points, a third to a half waited, and
// sweeping paid. Told from the sums alone: those above the least sum of the
// block's last member wait. The first block of an unordered front holds
// its least first values, kept in a heap as they are met, the greatest on
// top: one comparison for most members, where sorting them all would be
// lost if the sweep does not pay.
bool ColumnSweep::few_wait(std::span<const double> front_targets, bool in_order,
                           std::span<const double> options) {
    const std::size_t n_options = options.size() / 2;
    const std::size_t front_size = front_targets.size() / 2;
    const std::size_t n_members = std::min(front_size, std::max<std::size_t>(1, kBlock / n_options));
    std::vector<double>& firsts = first_values_;
    firsts.clear();
    for (std::size_t member = 0; member < n_members; ++member)
        firsts.push_back(front_targets[2 * member]);
    if (!in_order) {
        std::make_heap(firsts.begin(), firsts.end());
        for (std::size_t member = n_members; member < front_size; ++member) {
            const double first = front_targets[2 * member];
            if (!(first < firsts.front())) continue;
            std::pop_heap(firsts.begin(), firsts.end());
            firsts.back() = first;
            std::push_heap(firsts.begin(), firsts.end());
        }
    }
    // The greatest first value of the block: its last member's.
    const double last = in_order ? firsts.back() : firsts.front();
    double bound = last + options[0];
    for (std::size_t option = 1; option < n_options; ++option)
        bound = std::min(bound, last + options[2 * option]);
    std::size_t n_waiting = 0;
    for (std::size_t member = 0; member < n_members; ++member)
        for (std::size_t option = 0; option < n_options; ++option)
            n_waiting += firsts[member] + options[2 * option] > bound;
    return 3 * n_waiting <= 2 * n_members * n_options;
}

void ColumnSweep::sweep(std::span<const double> front_targets, std::span<const double> options,
                        double log_step, LargeBuffer<double>& survivor_targets,
                        LargeBuffer<CandidateOrigin>& survivor_origins) {
    front_targets_ = front_targets;
    options_ = options;
    log_step_ = log_step;
    const std::size_t front_size = front_targets.size() / 2;
    const std::size_t n_options = options.size() / 2;
    const std::size_t members_per_block = std::max<std::size_t>(1, kBlock / n_options);
    formed_.clear();
    taken_below_ = 0;
    column_.clear();
    column_number_ = 0;
    least_before_ = UINT32_MAX;
    least_in_column_ = UINT32_MAX;
    any_kept_ = false;
    // Where options lie far apart, most candidates wait for columns that
    // open late: they are passed over again only once as many more are
    // formed, as a table's cells would be, not at every block.
    std::size_t take_at = 0;
    for (std::size_t first = 0; first < front_size; first += members_per_block) {
        const std::size_t last = std::min(front_size, first + members_per_block);
        const std::uint64_t end = form(first, last, last == front_size);
        if (formed_.size() < take_at && last < front_size) continue;
        take_columns_below(end, survivor_targets, survivor_origins);
        take_at = 2 * formed_.size();
    }
    finish_column(survivor_targets, survivor_origins);
}

std::uint64_t ColumnSweep::form(std::size_t first, std::size_t last, bool at_end) {
    const std::size_t n_options = options_.size() / 2;
    const std::size_t count = (last - first) * n_options;
    rows_.resize(2 * count);
    coordinates_.resize(2 * count);
    double* row = rows_.data();
    for (std::size_t member = first; member < last; ++member) {
        const double* parent = front_targets_.data() + 2 * member;
        for (std::size_t option = 0; option < n_options; ++option, row += 2) {
            row[0] = parent[0] + options_[2 * option];
            row[1] = parent[1] + options_[2 * option + 1];
        }
    }
    cell_coordinates_into(rows_, log_step_, coordinates_);
    cancellation_.add(count);
    // Every column taken so far lies before these candidates' columns, so
    // those above its least second coordinate are beaten already.
    const std::uint32_t least = std::min(least_before_, least_in_column_);
    std::size_t k = 0;
    for (std::size_t member = first; member < last; ++member) {
        const CompactIndex number =
            members_.empty() ? static_cast<CompactIndex>(member) : members_[member];
        for (std::size_t option = 0; option < n_options; ++option, ++k)
            if (coordinates_[2 * k + 1] <= least)
                formed_.push_back({{{rows_[2 * k], rows_[2 * k + 1]},
                                    coordinates_[2 * k + 1],
                                    {number, static_cast<CompactIndex>(option)}},
                                   coordinates_[2 * k]});
    }
    // Every later candidate of an option lies in a column no lower than its
    // candidate of the last member formed.
    std::uint64_t end = UINT64_MAX;
    if (!at_end)
        for (std::size_t j = count - n_options; j < count; ++j)
            end = std::min<std::uint64_t>(end, coordinates_[2 * j]);
    return end;
}

void ColumnSweep::take_columns_below(std::uint64_t end, LargeBuffer<double>& survivor_targets,
                                     LargeBuffer<CandidateOrigin>& survivor_origins) {
    // Every candidate formed lies in a column from the last end on. Those
    // below this end are sorted as keys, their column's offset from the last
    // end above their place below, so that their entries move once; the
    // others stay.
    ensure_indexable(formed_.size());
    const std::uint32_t base = taken_below_;
    keys_.clear();
    left_.clear();
    std::uint32_t highest = 0;
    for (std::size_t k = 0; k < formed_.size(); ++k) {
        const Formed& formed = formed_[k];
        if (formed.column < end) {
            const std::uint32_t offset = formed.column - base;
            keys_.push_back((std::uint64_t{offset} << 32) | k);
            highest = std::max(highest, offset);
        } else {
            left_.push_back(formed);
        }
    }
    sort_by_high_part(keys_, sorted_keys_, counts_, highest);
    for (const std::uint64_t key : keys_) {
        // The column from the key: a new one is told without waiting for
        // the entry.
        const std::uint64_t column = base + (key >> 32);
        if (column != column_number_) {
            finish_column(survivor_targets, survivor_origins);
            least_before_ = std::min(least_before_, least_in_column_);
            least_in_column_ = UINT32_MAX;
            column_number_ = column;
        }
        const Formed& formed = formed_[static_cast<std::uint32_t>(key)];
        const std::uint32_t second = formed.entry.second_coordinate;
        if (second <= least_before_) {
            least_in_column_ = std::min(least_in_column_, second);
            column_.push_back(formed.entry);
        }
    }
    formed_.swap(left_);
    if (end <= UINT32_MAX) taken_below_ = static_cast<std::uint32_t>(end);
}

// The column's candidates, put in order of formation where the walk was out
// of it, go to their cells by second coordinate, keeping that order; each
// cell's representative is its first candidate until a later one dominates
// it. The representatives then meet the sweep in order of their values.
// Short columns are sorted in place by insertion; long ones, met where first
// values crowd together, by keys in linear time.
void ColumnSweep::finish_column(LargeBuffer<double>& survivor_targets,
                                LargeBuffer<CandidateOrigin>& survivor_origins) {
    if (column_.empty()) return;
    const bool long_column = column_.size() > kShortColumn;
    if (long_column) {
        if (!members_.empty()) order_long_column_by_formation();
        order_long_column_by_second_coordinate();
    } else if (column_.size() > 1) {
        insertion_sort(std::span(column_), [](const ColumnSweepEntry& a, const ColumnSweepEntry& b) {
            return a.second_coordinate < b.second_coordinate ||
                   (a.second_coordinate == b.second_coordinate &&
                    formed_before(a.origin, b.origin));
        });
    }
    std::size_t n_cells = 0;
    for (std::size_t i = 0; i < column_.size(); ++i) {
        if (i > 0 && column_[i].second_coordinate == column_[n_cells - 1].second_coordinate) {
            ColumnSweepEntry& held = column_[n_cells - 1];
            if (dominates_branch_free(column_[i].row, held.row, 2)) held = column_[i];
        } else {
            column_[n_cells++] = column_[i];
        }
    }
    column_.resize(n_cells);
    if (long_column)
        order_long_column_by_value();
    else if (n_cells > 1)
        insertion_sort(std::span(column_), [](const ColumnSweepEntry& a, const ColumnSweepEntry& b) {
            return a.row[0] < b.row[0] || (a.row[0] == b.row[0] && a.row[1] < b.row[1]);
        });
    for (const ColumnSweepEntry& cell : column_) keep_if_lowest(cell, survivor_targets, survivor_origins);
    column_.clear();
}

// A front walked out of its order gives each column its candidates in the
// order of the walk; the sort by second coordinate keeps the order it finds.
void ColumnSweep::order_long_column_by_formation() {
    std::sort(column_.begin(), column_.end(), [](const ColumnSweepEntry& a, const ColumnSweepEntry& b) {
        return formed_before(a.origin, b.origin);
    });
}

void ColumnSweep::order_long_column_by_second_coordinate() {
    std::uint32_t lowest = UINT32_MAX;
    for (const ColumnSweepEntry& entry : column_) lowest = std::min(lowest, entry.second_coordinate);
    std::uint32_t highest = 0;
    column_keys_.clear();
    for (std::size_t k = 0; k < column_.size(); ++k) {
        const std::uint32_t offset = column_[k].second_coordinate - lowest;
        column_keys_.push_back((std::uint64_t{offset} << 32) | k);
        highest = std::max(highest, offset);
    }
    sort_by_high_part(column_keys_, column_scratch_, column_counts_, highest);
    reordered_.clear();
    for (const std::uint64_t key : column_keys_)
        reordered_.push_back(column_[static_cast<std::uint32_t>(key)]);
    column_.swap(reordered_);
}

// As the filter orders rows: by first value, the rare runs of equal first
// values by second value.
void ColumnSweep::order_long_column_by_value() {
    by_value_.clear();
    for (std::size_t k = 0; k < column_.size(); ++k)
        by_value_.push_back({order_key(column_[k].row[0]), static_cast<CompactIndex>(k)});
    sort_by_key(by_value_, by_value_scratch_);
    sort_runs_of_equal_keys(by_value_, [&](const KeyedIndex& a, const KeyedIndex& b) {
        return column_[a.index].row[1] < column_[b.index].row[1];
    });
    reordered_.clear();
    for (const KeyedIndex& entry : by_value_) reordered_.push_back(column_[entry.index]);
    column_.swap(reordered_);
}

void ColumnSweep::keep_if_lowest(const ColumnSweepEntry& cell, LargeBuffer<double>& survivor_targets,
                                 LargeBuffer<CandidateOrigin>& survivor_origins) {
    if (any_kept_ && !(cell.row[1] < lowest_second_kept_)) return;
    lowest_second_kept_ = cell.row[1];
    any_kept_ = true;
    survivor_targets.push_back(cell.row[0]);
    survivor_targets.push_back(cell.row[1]);
    survivor_origins.push_back(cell.origin);
}

}  // namespace quorvel
