#pragma once

#include <cstddef>
#include <vector>

#include "pareto/data_table.hpp"
#include "pareto/solution_list.hpp"

namespace quorvel::bench {

// Each value minus its variable's minimum, plus 1e-9; the table the front
// search works on.
NestedValues shifted_values(const DataTable& table);

struct StraightforwardResult {
    SolutionList records;
    std::size_t candidates;
};

// The front search as the plainest reading of its algorithm: one shared,
// counted node per partial design, a standard hash map from coordinate
// vectors to cells, and a quadratic dominance filter. It returns the same
// list in the same order as the real search, which is measured and checked
// against it.
StraightforwardResult straightforward_front(const DataTable& table, double epsilon);

}  // namespace quorvel::bench
