#pragma once

#include <cstddef>
#include <vector>

#include "data_table.hpp"
#include "objective.hpp"

namespace quorvel {

// Draws n_points designs with independent, uniform option indices from the
// calling thread's generator and evaluates them, in draw order.
std::vector<SolutionRecord> generate_random_points(const DataTable& table, std::size_t n_points);

}  // namespace quorvel
