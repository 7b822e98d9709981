#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "data_table.hpp"
#include "packed_design.hpp"

namespace quorvel {

// Summed values, one per variable in variable order.
using Target = std::vector<double>;

struct SolutionRecord {
    PackedDesign design;
    Target target;
};

// Element-wise a + b; both must have the same length.
Target add_vectors(std::span<const double> a, std::span<const double> b);

// The target of a design: for every variable ((0 + c[0]) + c[1]) + ... in
// stand order, with c[s] the value of the option chosen at stand s.
Target compute_objective(std::span<const std::size_t> design, const DataTable& table);

}  // namespace quorvel
