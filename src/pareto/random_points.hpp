#pragma once

#include <cstddef>

#include "data_table.hpp"
#include "objective.hpp"
#include "solution_list.hpp"

namespace quorvel {

// Draws n_points designs with independent, uniform option indices from the
// calling thread's generator and evaluates them, in draw order.
SolutionList generate_random_points(const DataTable& table, std::size_t n_points);

}  // namespace quorvel
