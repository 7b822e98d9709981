#pragma once

#include <algorithm>
#include <cstddef>
#include <random>
#include <set>
#include <vector>

#include "pareto/front_search/compact_index.hpp"
#include "pareto/front_search/dominance.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel::testing {

// Distinct rows drawn from few levels, so that equal coordinates, chains of
// dominance and incomparable rows are all common.
inline std::vector<double> distinct_rows(std::mt19937_64& random, std::size_t n_rows,
                                         std::size_t n_variables, int levels) {
    std::set<std::vector<double>> rows;
    while (rows.size() < n_rows) {
        std::vector<double> row;
        for (std::size_t v = 0; v < n_variables; ++v) row.push_back(0.25 * draw(random, 1, levels));
        rows.insert(row);
    }
    std::vector<std::vector<double>> shuffled(rows.begin(), rows.end());
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    std::vector<double> flat;
    for (const auto& row : shuffled) flat.insert(flat.end(), row.begin(), row.end());
    return flat;
}

// The rows no other row dominates, found by comparing every pair.
inline std::set<CompactIndex> nondominated_by_pairs(const std::vector<double>& points,
                                                    std::size_t n_variables) {
    const std::size_t n_rows = points.size() / n_variables;
    std::set<CompactIndex> kept;
    for (std::size_t i = 0; i < n_rows; ++i) {
        bool dominated = false;
        for (std::size_t j = 0; j < n_rows && !dominated; ++j)
            dominated = dominates(&points[j * n_variables], &points[i * n_variables], n_variables);
        if (!dominated) kept.insert(static_cast<CompactIndex>(i));
    }
    return kept;
}

}  // namespace quorvel::testing
