#include "cell_representatives.hpp"

#include <algorithm>

#include "dominance.hpp"
#include "pareto/grid.hpp"

namespace quorvel {

namespace {

// Candidates formed ahead of their lookups: their logarithms take long
// enough for the prefetched slots to arrive.
constexpr std::size_t kBatch = 8;

}  // namespace

CellRepresentatives::CellRepresentatives(std::size_t n_variables)
    : n_variables_(n_variables),
      cells_(n_variables),
      batch_targets_(kBatch * n_variables),
      batch_keys_(kBatch * n_variables),
      batch_homes_(kBatch) {}

void CellRepresentatives::collect(std::span<const double> front_targets,
                                  std::span<const double> options, double log_step) {
    cells_.clear();
    targets_.clear();
    origins_.clear();
    const std::size_t front_size = front_targets.size() / n_variables_;
    const std::size_t n_options = options.size() / n_variables_;
    ensure_indexable(n_options);

    for (std::size_t position = 0; position < front_size; ++position) {
        const double* parent = front_targets.data() + position * n_variables_;
        for (std::size_t first = 0; first < n_options; first += kBatch) {
            const std::size_t batch_size = std::min(kBatch, n_options - first);
            cells_.make_room(batch_size);
            form_batch(parent, options, first, batch_size, log_step);
            place_batch(position, first, batch_size);
        }
    }
}

// Coordinates are formed in candidate order, so the first candidate the grid
// rejects is the one whose failure ends the call.
void CellRepresentatives::form_batch(const double* parent, std::span<const double> options,
                                     std::size_t first_option, std::size_t batch_size,
                                     double log_step) {
    const std::size_t n_variables = n_variables_;
    for (std::size_t j = 0; j < batch_size; ++j) {
        const double* values = options.data() + (first_option + j) * n_variables;
        double* candidate = batch_targets_.data() + j * n_variables;
        for (std::size_t v = 0; v < n_variables; ++v) candidate[v] = parent[v] + values[v];
        const std::span<std::uint32_t> key(batch_keys_.data() + j * n_variables, n_variables);
        cell_coordinates_into({candidate, n_variables}, log_step, key);
        batch_homes_[j] = cells_.home_slot(key);
        cells_.prefetch(batch_homes_[j]);
    }
}

void CellRepresentatives::place_batch(std::size_t front_position, std::size_t first_option,
                                      std::size_t batch_size) {
    const std::size_t n_variables = n_variables_;
    for (std::size_t j = 0; j < batch_size; ++j) {
        const double* candidate = batch_targets_.data() + j * n_variables;
        const std::span<const std::uint32_t> key(batch_keys_.data() + j * n_variables,
                                                 n_variables);
        const CellMap::Lookup found = cells_.find_or_insert(key, batch_homes_[j]);
        const Origin origin{static_cast<CompactIndex>(front_position),
                            static_cast<CompactIndex>(first_option + j)};
        if (found.inserted) {
            targets_.insert(targets_.end(), candidate, candidate + n_variables);
            origins_.push_back(origin);
        } else {
            double* held = targets_.data() + found.cell * n_variables;
            if (dominates(candidate, held, n_variables)) {
                std::copy(candidate, candidate + n_variables, held);
                origins_[found.cell] = origin;
            }
        }
    }
}

}  // namespace quorvel
