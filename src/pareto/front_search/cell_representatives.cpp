#include "cell_representatives.hpp"

#include <algorithm>

#include "dominance.hpp"
#include "pareto/grid.hpp"
#include "row_copy.hpp"

namespace quorvel {

namespace {

// Candidates formed ahead of their lookups: their logarithms take long
// enough for the prefetched slots to arrive, and the coordinates of a whole
// batch are taken in one call over one span.
constexpr std::size_t kBatch = 64;

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
    forgetting_ = true;
    forget_at_ = cells_in_cache_;
    filter.start(n_variables);

    switch (n_variables) {
    case 2:
        return collect_candidates<2>(front_targets, options, log_step, filter);
    case 3:
        return collect_candidates<3>(front_targets, options, log_step, filter);
    case 4:
        return collect_candidates<4>(front_targets, options, log_step, filter);
    default:
        return collect_candidates<0>(front_targets, options, log_step, filter);
    }
}

// Candidates in order: every option of a front member, member by member; a
// batch may span members.
template <std::size_t N>
void CellRepresentatives::collect_candidates(std::span<const double> front_targets,
                                             std::span<const double> options, double log_step,
                                             NondominatedFilter& filter) {
    const std::size_t n_variables = N ? N : n_variables_;
    const std::size_t front_size = front_targets.size() / n_variables;
    const std::size_t n_options = options.size() / n_variables;
    Origin next{0, 0};
    while (next.front_position < front_size) {
        std::size_t batch_size = 0;
        for (double* sum = batch_targets_.data(); batch_size < kBatch; ++batch_size) {
            const double* parent = front_targets.data() + next.front_position * n_variables;
            const double* values = options.data() + next.option * n_variables;
            for (std::size_t v = 0; v < n_variables; ++v) sum[v] = parent[v] + values[v];
            sum += n_variables;
            batch_origins_[batch_size] = next;
            if (++next.option == n_options) {
                next.option = 0;
                if (++next.front_position == front_size) {
                    ++batch_size;
                    break;
                }
            }
        }
        // Forming a sum never fails, and the coordinates are taken in
        // candidate order, so the first candidate the grid rejects ends the
        // call.
        const std::size_t n_values = batch_size * n_variables;
        cell_coordinates_into({batch_targets_.data(), n_values}, log_step,
                              {batch_keys_.data(), n_values});
        keep_table_small(batch_size, log_step, filter);
        cells_.make_room(batch_size);
        locate_batch<N>(batch_size);
        place_batch<N>(batch_size);
        cancellation_.add(batch_size);
    }
    // The cells still held are final too.
    if (forgetting_) {
        final_cells_.clear();
        cells_.list_held(final_cells_);
        filter.take_piece(targets_, final_cells_);
    }
}

void CellRepresentatives::keep_table_small(std::size_t batch_size, double log_step,
                                           NondominatedFilter& filter) {
    if (!forgetting_) return;
    if (cells_.held() + batch_size > forget_at_) {
        forgotten_below_ = std::max(forgotten_below_,
                                    *std::min_element(latest_first_.begin(), latest_first_.end()));
        final_cells_.clear();
        cells_.forget_below(forgotten_below_, final_cells_);
        filter.take_piece(targets_, final_cells_);
        // Each cell kept is passed over again only after as many new ones.
        forget_at_ = std::max(cells_in_cache_, 2 * cells_.held());
    }
    for (std::size_t j = 0; j < batch_size; ++j) {
        if (batch_keys_[j * n_variables_] < forgotten_below_) {
            hold_every_cell(log_step);
            forgetting_ = false;
            filter.abandon_pieces();
            return;
        }
    }
}

// Numbers the cells again in their order, so every cell keeps its number.
void CellRepresentatives::hold_every_cell(double log_step) {
    const std::size_t n_cells = origins_.size();
    std::vector<std::uint32_t> keys(n_cells * n_variables_);
    cell_coordinates_into(targets_, log_step, keys);
    cells_.clear();
    cells_.make_room(n_cells);
    for (std::size_t cell = 0; cell < n_cells; ++cell) {
        const std::span<const std::uint32_t> key(keys.data() + cell * n_variables_, n_variables_);
        cells_.find_or_insert(key, cells_.home_slot(key));
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
void CellRepresentatives::place_batch(std::size_t batch_size) {
    const std::size_t n_variables = N ? N : n_variables_;
    for (std::size_t j = 0; j < batch_size; ++j) {
        const double* candidate = batch_targets_.data() + j * n_variables;
        const std::span<const std::uint32_t> key(batch_keys_.data() + j * n_variables, n_variables);
        latest_first_[batch_origins_[j].option] = key[0];
        const CellMap::Lookup found = cells_.find_or_insert<N>(key, batch_homes_[j]);
        if (found.inserted) {
            append_row(targets_, candidate, n_variables);
            origins_.push_back(batch_origins_[j]);
        } else {
            double* held = targets_.data() + found.cell * n_variables;
            // Few candidates replace the row they meet (1 to 7 in 100 on the
            // benchmark's tables), but whether a value is greater is a toss.
            if (dominates_branch_free(candidate, held, n_variables)) {
                copy_row(candidate, n_variables, held);
                origins_[found.cell] = batch_origins_[j];
            }
        }
    }
}

}  // namespace quorvel
