#include "cell_representatives.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "dominance.hpp"
#include "key_sort.hpp"
#include "pareto/grid.hpp"
#include "pareto/internal_failure.hpp"
#include "pareto/width_dispatch.hpp"
#include "row_copy.hpp"

namespace quorvel {

namespace {

// Candidates formed ahead of their lookups: their logarithms take long
// enough for the prefetched slots to arrive, and the coordinates of a whole
// batch are taken in one call over one span.
constexpr std::size_t kBatch = 64;

// Beyond this many candidates, listing them for the buckets could take more
// memory than holding every cell they reach.
constexpr std::size_t kMostCandidatesInBuckets = std::size_t{1} << 24;

// The rows kept, dropped cells' included, are at most about this many per
// cell held when a piece has been filtered.
constexpr std::size_t kRowsPerHeldCell = 4;

bool first_values_never_fall(std::span<const double> rows, std::size_t n_variables) {
    for (std::size_t k = n_variables; k < rows.size(); k += n_variables)
        if (rows[k] < rows[k - n_variables]) return false;
    return true;
}

// The least and greatest first coordinate of the candidates, if the grid
// accepts every candidate: it does if it accepts each variable's least and
// greatest sum, since rounding is monotone.
std::optional<std::pair<std::uint32_t, std::uint32_t>> first_coordinates_if_all_valid(
    std::span<const double> front_targets, std::span<const double> options, std::size_t n_variables,
    double log_step) {
    const auto bounds = [n_variables](std::span<const double> rows, std::size_t v) {
        double low = std::numeric_limits<double>::infinity();
        double high = -low;
        for (std::size_t k = v; k < rows.size(); k += n_variables) {
            if (std::isnan(rows[k])) return std::pair(rows[k], rows[k]);
            low = std::min(low, rows[k]);
            high = std::max(high, rows[k]);
        }
        return std::pair(low, high);
    };
    std::pair<std::uint32_t, std::uint32_t> first;
    for (std::size_t v = 0; v < n_variables; ++v) {
        const auto [front_low, front_high] = bounds(front_targets, v);
        const auto [option_low, option_high] = bounds(options, v);
        const double lowest = front_low + option_low;
        const double highest = front_high + option_high;
        if (!has_cell(lowest, log_step) || !has_cell(highest, log_step)) return std::nullopt;
        if (v == 0) first = {cell_coordinate(lowest, log_step), cell_coordinate(highest, log_step)};
    }
    return first;
}

}  // namespace

CellRepresentatives::CellRepresentatives(std::size_t n_variables, std::size_t cells_in_cache)
    : n_variables_(n_variables),
      cells_(n_variables),
      batch_targets_(kBatch * n_variables),
      batch_keys_(kBatch * n_variables),
      batch_homes_(kBatch),
      batch_origins_(kBatch),
      cells_in_cache_(cells_in_cache) {}

void CellRepresentatives::collect(std::span<const double> front_targets,
                                  std::span<const double> options, double log_step,
                                  NondominatedFilter& filter) {
    cells_.clear();
    targets_.clear();
    origins_.clear();
    const std::size_t n_variables = n_variables_;
    const std::size_t n_options = options.size() / n_variables;
    ensure_indexable(n_options);
    latest_first_.assign(n_options, 0);
    forgotten_below_ = 0;
    forget_at_ = cells_in_cache_;
    filter.start(n_variables);
    kept_by_pieces_ = false;
    survivor_targets_.clear();
    survivor_origins_.clear();

    // Rounding is monotone, so each option's candidates keep the order of
    // the front's first values.
    forgetting_ = first_values_never_fall(front_targets, n_variables);
    const std::size_t n_candidates = front_targets.size() / n_variables * n_options;
    const bool may_use_buckets = !forgetting_ && n_candidates <= kMostCandidatesInBuckets;
    const bool ordered_pairs = n_variables == 2 && forgetting_;
    // An unordered front is sorted for the sweep only where its cells could
    // outgrow the cache: fewer candidates keep to the table, as before.
    const bool sweep_may_pay =
        n_variables == 2 && (forgetting_ || n_candidates > sampled_candidates());
    const auto first_coordinates =
        may_use_buckets || sweep_may_pay
            ? first_coordinates_if_all_valid(front_targets, options, n_variables, log_step)
            : std::nullopt;
    if (sweep_may_pay && first_coordinates &&
        column_sweep_.collect_if_pays(front_targets, forgetting_, options, log_step,
                                      first_coordinates->first, first_coordinates->second,
                                      survivor_targets_, survivor_origins_))
        return;
    bucket_coordinates_ = may_use_buckets ? first_coordinates : std::nullopt;
    screen_.stop();
    if (ordered_pairs && first_coordinates)
        screen_.start(first_coordinates->first, first_coordinates->second, n_candidates);
    with_width<2, 3, 4>(n_variables, [&]<std::size_t N>() {
        collect_candidates<N>(front_targets, options, log_step, filter);
    });
    if (kept_by_pieces_) return;
    filter.finish(targets_, survivors_);
    append_cells(survivors_, survivor_targets_, survivor_origins_);
}

std::span<const CellRepresentatives::Origin> CellRepresentatives::next_batch(
    Origin& next, std::size_t front_size, std::size_t n_options) {
    std::size_t batch_size = 0;
    while (batch_size < kBatch && next.front_position < front_size) {
        batch_origins_[batch_size++] = next;
        if (++next.option == n_options) {
            next.option = 0;
            ++next.front_position;
        }
    }
    return {batch_origins_.data(), batch_size};
}

template <std::size_t N>
void CellRepresentatives::form_batch(std::span<const double> front_targets,
                                     std::span<const double> options, std::span<const Origin> batch,
                                     double log_step) {
    const std::size_t n_variables = N ? N : n_variables_;
    double* sum = batch_targets_.data();
    for (const Origin& origin : batch) {
        const double* parent = front_targets.data() + origin.front_position * n_variables;
        const double* values = options.data() + origin.option * n_variables;
        for (std::size_t v = 0; v < n_variables; ++v) sum[v] = parent[v] + values[v];
        sum += n_variables;
    }
    // Forming a sum never fails, and the coordinates are taken in candidate
    // order, so the first candidate the grid rejects ends the call.
    const std::size_t n_values = batch.size() * n_variables;
    cell_coordinates_into({batch_targets_.data(), n_values}, log_step,
                          {batch_keys_.data(), n_values});
}

template <std::size_t N>
void CellRepresentatives::merge_batch(std::span<const Origin> batch) {
    cancellation_.add(batch.size());
    if constexpr (N == 2)
        if (screen_.active()) batch = drop_beaten(batch);
    cells_.make_room(batch.size());
    locate_batch<N>(batch.size());
    place_batch<N>(batch);
}

// Two variables: the batch's candidates the screen finds beaten leave it,
// but still tell how far their option's candidates have come. At large
// fronts whether one is beaten is a toss, so every candidate is copied down
// and only those kept are counted.
std::span<const CellRepresentatives::Origin> CellRepresentatives::drop_beaten(
    std::span<const Origin> batch) {
    std::size_t kept = 0;
    for (std::size_t j = 0; j < batch.size(); ++j) {
        const std::uint32_t* key = batch_keys_.data() + 2 * j;
        const bool beaten = screen_.beaten_then_taken(key[0], key[1]);
        latest_first_[batch[j].option] = key[0];
        batch_origins_[kept] = batch[j];
        copy_row(key, 2, batch_keys_.data() + 2 * kept);
        copy_row(batch_targets_.data() + 2 * j, 2, batch_targets_.data() + 2 * kept);
        kept += !beaten;
    }
    return {batch_origins_.data(), kept};
}

// Candidates in order: every option of a front member, member by member; a
// batch may span members.
template <std::size_t N>
void CellRepresentatives::collect_candidates(std::span<const double> front_targets,
                                             std::span<const double> options, double log_step,
                                             NondominatedFilter& filter) {
    const std::size_t front_size = front_targets.size() / n_variables_;
    const std::size_t n_options = options.size() / n_variables_;
    const std::size_t n_candidates = front_size * n_options;
    Origin next{0, 0};
    const auto merge_in_order = [&](std::size_t how_many) {
        for (std::size_t merged = 0; merged < how_many && next.front_position < front_size;) {
            const std::span<const Origin> batch = next_batch(next, front_size, n_options);
            form_batch<N>(front_targets, options, batch, log_step);
            keep_table_small(batch.size(), filter);
            merge_batch<N>(batch);
            merged += batch.size();
        }
    };
    // Whether the cells of an unordered front would outgrow the cache is
    // told by the first candidates: if so, the buckets start over.
    const std::size_t sample = sampled_candidates();
    if (bucket_coordinates_ && n_candidates > sample) {
        merge_in_order(sample);
        if (cells_.held() * (n_candidates / sample) > 64 * cells_in_cache_) {
            cells_.clear();
            targets_.clear();
            origins_.clear();
            return collect_by_buckets<N>(front_targets, options, log_step, filter);
        }
    }
    merge_in_order(n_candidates);
    // The cells still held are final too.
    if (forgetting_) forget_held_cells(filter);
}

// Only for candidates that all have a cell: the grid, seeing them out of
// order, would otherwise fail at another candidate than the first it rejects.
template <std::size_t N>
void CellRepresentatives::collect_by_buckets(std::span<const double> front_targets,
                                             std::span<const double> options, double log_step,
                                             NondominatedFilter& filter) {
    const std::size_t n_variables = N ? N : n_variables_;
    const std::size_t front_size = front_targets.size() / n_variables;
    const std::size_t n_options = options.size() / n_variables;
    const auto [lowest_first, highest_first] = *bucket_coordinates_;
    const std::size_t n_candidates = front_size * n_options;
    buckets_.start(n_candidates, lowest_first, highest_first);
    // The buckets follow each other in first coordinates, and within one
    // the candidates come in order of formation: nearly in order of their
    // first coordinates where they are dense, as the screen needs them.
    if (n_variables == 2) screen_.start(lowest_first, highest_first, n_candidates);
    // Only the first values, laid end to end, a batch at a time.
    std::size_t n_formed = 0;
    const auto add_formed = [&] {
        cell_coordinates_into({batch_targets_.data(), n_formed}, log_step,
                              {batch_keys_.data(), n_formed});
        buckets_.add({batch_keys_.data(), n_formed});
        cancellation_.add(n_formed);
        n_formed = 0;
    };
    for (std::size_t member = 0; member < front_size; ++member) {
        const double first = front_targets[member * n_variables];
        for (std::size_t option = 0; option < n_options; ++option) {
            batch_targets_[n_formed++] = first + options[option * n_variables];
            if (n_formed == kBatch) add_formed();
        }
    }
    add_formed();
    buckets_.sort(cells_in_cache_);
    const CandidateNumbers numbers(n_options);
    for (std::size_t b = 0; b < buckets_.n_buckets(); ++b) {
        const std::span<const std::uint32_t> bucket = buckets_.bucket(b);
        const std::size_t held_before = cells_.held();
        for (std::size_t first = 0; first < bucket.size(); first += kBatch) {
            const std::size_t batch_size = std::min(kBatch, bucket.size() - first);
            for (std::size_t j = 0; j < batch_size; ++j) {
                batch_origins_[j] = numbers.origin(bucket[first + j]);
                // A bucket's front members lie far apart in the front: their
                // rows are loaded a batch ahead.
                if (first + kBatch + j < bucket.size())
                    __builtin_prefetch(front_targets.data() +
                                       numbers.front_position(bucket[first + kBatch + j]) *
                                           n_variables);
            }
            const std::span<const Origin> batch(batch_origins_.data(), batch_size);
            form_batch<N>(front_targets, options, batch, log_step);
            merge_batch<N>(batch);
        }
        // Where few candidates reach new cells, several buckets fill one
        // piece: a piece per bucket would be sorted and swept in pieces too
        // small to repay their fixed costs. The next bucket is taken to add
        // as many cells as this one.
        if (cells_.held() + (cells_.held() - held_before) > cells_in_cache_ ||
            b + 1 == buckets_.n_buckets())
            forget_held_cells(filter);
    }
    // Held until the search ends, the buckets would take several bytes per
    // candidate of this stand beside every later one's memory: most fronts
    // after a filter are ordered and need none.
    buckets_.release();
}

void CellRepresentatives::forget_held_cells(NondominatedFilter& filter) {
    final_cells_.clear();
    cells_.forget_all(final_cells_);
    hand_over_piece(filter);
}

void CellRepresentatives::keep_table_small(std::size_t batch_size, NondominatedFilter& filter) {
    if (!forgetting_ || cells_.held() + batch_size <= forget_at_) return;
    forgotten_below_ =
        std::max(forgotten_below_, *std::min_element(latest_first_.begin(), latest_first_.end()));
    final_cells_.clear();
    cells_.forget_below(forgotten_below_, final_cells_);
    hand_over_piece(filter);
    // Each cell kept is passed over again only after as many new ones.
    forget_at_ = std::max(cells_in_cache_, 2 * cells_.held());
}

// Pieces come in order of their cells' first coordinates, so the filter
// takes every piece once it has taken the first; one it refused after that
// would find the rows it needs dropped.
void CellRepresentatives::hand_over_piece(NondominatedFilter& filter) {
    const std::span<const CompactIndex> survivors = filter.take_piece(targets_, final_cells_);
    if (!filter.takes_pieces()) {
        if (kept_by_pieces_) fail("cells handed to the filter out of order");
        return;
    }
    kept_by_pieces_ = true;
    append_cells(survivors, survivor_targets_, survivor_origins_);
    // Moving the held cells down pays once the rows dropped outnumber them
    // a few times over: where few cells are dropped between pieces (small
    // fronts), it cost 4% more than keeping every row.
    if (cells_.size() < kRowsPerHeldCell * cells_.held()) return;
    cells_.renumber_held(old_numbers_);
    moved_targets_.clear();
    moved_origins_.clear();
    append_cells(old_numbers_, moved_targets_, moved_origins_);
    targets_.swap(moved_targets_);
    origins_.swap(moved_origins_);
}

void CellRepresentatives::append_cells(std::span<const CompactIndex> cells,
                                       LargeBuffer<double>& targets,
                                       LargeBuffer<Origin>& origins) const {
    const std::size_t n_variables = n_variables_;
    const std::size_t n_before = origins.size();
    targets.resize((n_before + cells.size()) * n_variables);
    origins.resize(n_before + cells.size());
    // Survivors come in order of their values, rows in order of their cells'
    // first candidates: at large fronts each survivor's row and origin would
    // be a cache miss, unless loaded ahead. (Cells held are near in any order.)
    for (std::size_t k = 0; k < cells.size(); ++k) {
        if (const CompactIndex* ahead = entry_ahead(cells, k)) {
            __builtin_prefetch(targets_.data() + *ahead * n_variables);
            __builtin_prefetch(origins_.data() + *ahead);
        }
        copy_row(targets_.data() + cells[k] * n_variables, n_variables,
                 targets.data() + (n_before + k) * n_variables);
        origins[n_before + k] = origins_[cells[k]];
    }
}

template <std::size_t N>
void CellRepresentatives::locate_batch(std::size_t batch_size) {
    const std::size_t n_variables = N ? N : n_variables_;
    for (std::size_t j = 0; j < batch_size; ++j) {
        batch_homes_[j] = cells_.home_slot<N>({batch_keys_.data() + j * n_variables, n_variables});
        cells_.prefetch(batch_homes_[j]);
    }
}

template <std::size_t N>
void CellRepresentatives::place_batch(std::span<const Origin> batch) {
    const std::size_t n_variables = N ? N : n_variables_;
    for (std::size_t j = 0; j < batch.size(); ++j) {
        const double* candidate = batch_targets_.data() + j * n_variables;
        const std::span<const std::uint32_t> key(batch_keys_.data() + j * n_variables, n_variables);
        latest_first_[batch[j].option] = key[0];
        const CellMap::Lookup found = cells_.find_or_insert<N>(key, batch_homes_[j]);
        if (found.inserted) {
            append_row(targets_, candidate, n_variables);
            origins_.push_back(batch[j]);
        } else {
            double* held = targets_.data() + found.cell * n_variables;
            // Few candidates replace the row they meet (1 to 7 in 100 on the
            // benchmark's tables), but whether a value is greater is a toss.
            if (dominates_branch_free(candidate, held, n_variables)) {
                copy_row(candidate, n_variables, held);
                origins_[found.cell] = batch[j];
            }
        }
    }
}

}  // namespace quorvel
