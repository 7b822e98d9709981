#pragma once

#include "python_api.hpp"

#include "pareto/objective.hpp"

namespace quorvel::binding {

// The class object of ParetoFrontSolution, made at the first request of the
// process. Borrowed; null with RuntimeError set if it cannot be made.
PyObject* solution_type();

// A new ParetoFrontSolution that takes over the record's vectors; null with
// the interpreter's exception set on failure (the record is then released).
PyObject* new_solution(SolutionRecord&& record);

}  // namespace quorvel::binding
