#pragma once

#include "data_table.hpp"
#include "solution_list.hpp"

namespace quorvel {

// The approximate Pareto front of all designs of the table, merged per grid
// cell of log1p(epsilon) width; targets are exact sums of the input values.
SolutionList build_pareto_front(const DataTable& table, double epsilon);

}  // namespace quorvel
