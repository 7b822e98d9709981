#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "data_table.hpp"

namespace quorvel {

// Option indices, one per stand in stand order.
using Design = std::vector<std::size_t>;
// Summed values, one per variable in variable order.
using Target = std::vector<double>;

struct SolutionRecord {
    Design design;
    Target target;
};

// Element-wise a + b; both must have the same length.
Target add_vectors(std::span<const double> a, std::span<const double> b);

// The target of a design: for every variable ((0 + c[0]) + c[1]) + ... in
// stand order, with c[s] the value of the option chosen at stand s.
Target compute_objective(std::span<const std::size_t> design, const DataTable& table);

}  // namespace quorvel
