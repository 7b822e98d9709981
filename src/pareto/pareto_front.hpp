#pragma once

#include <vector>

#include "data_table.hpp"
#include "objective.hpp"

namespace quorvel {

// The approximate Pareto front of all designs of the table, merged per grid
// cell of log1p(epsilon) width; targets are exact sums of the input values.
std::vector<SolutionRecord> build_pareto_front(const DataTable& table, double epsilon);

}  // namespace quorvel
