#include "shifted_table.hpp"

#include <limits>

#include "pareto/grid.hpp"

namespace quorvel {

namespace {

std::vector<double> variable_minima(const DataTable& table) {
    std::vector<double> minima(table.n_variables, std::numeric_limits<double>::infinity());
    for (const auto& stand : table.values)
        for (const auto& option : stand)
            for (std::size_t v = 0; v < minima.size(); ++v)
                // A NaN never compares less, so it never becomes a minimum.
                if (option[v] < minima[v]) minima[v] = option[v];
    return minima;
}

}  // namespace

ShiftedTable::ShiftedTable(const DataTable& table) : n_variables_(table.n_variables) {
    first_option_.reserve(table.n_stands + 1);
    std::size_t n_rows = 0;
    for (const std::size_t count : table.n_options) {
        first_option_.push_back(n_rows);
        n_rows += count;
    }
    first_option_.push_back(n_rows);

    const std::vector<double> minima = variable_minima(table);
    values_.reserve(n_rows * n_variables_);
    for (const auto& stand : table.values)
        for (const auto& option : stand)
            for (std::size_t v = 0; v < n_variables_; ++v)
                values_.push_back((option[v] - minima[v]) + kValueOffset);
}

}  // namespace quorvel
