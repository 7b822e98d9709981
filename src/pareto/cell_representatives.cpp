#include "cell_representatives.hpp"

#include <algorithm>

#include "dominance.hpp"
#include "grid.hpp"

namespace quorvel {

CellRepresentatives::CellRepresentatives(std::size_t n_variables)
    : n_variables_(n_variables), cells_(n_variables), candidate_(n_variables), key_(n_variables) {}

void CellRepresentatives::collect(std::span<const double> front_targets,
                                  std::span<const double> options, double log_step) {
    cells_.clear();
    targets_.clear();
    origins_.clear();
    const std::size_t n_variables = n_variables_;
    const std::size_t front_size = front_targets.size() / n_variables;
    const std::size_t n_options = options.size() / n_variables;
    ensure_indexable(n_options);
    double* const candidate = candidate_.data();

    for (std::size_t position = 0; position < front_size; ++position) {
        const double* parent = front_targets.data() + position * n_variables;
        for (std::size_t option = 0; option < n_options; ++option) {
            const double* values = options.data() + option * n_variables;
            for (std::size_t v = 0; v < n_variables; ++v) candidate[v] = parent[v] + values[v];
            cell_coordinates_into(candidate_, log_step, key_);

            const CellMap::Lookup found = cells_.find_or_insert(key_);
            const Origin origin{static_cast<CompactIndex>(position),
                                static_cast<CompactIndex>(option)};
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
}

}  // namespace quorvel
