#pragma once

#include "python_api.hpp"

#include "pareto/solution_list.hpp"
#include "py_ref.hpp"

namespace quorvel::binding {

// The class object of ParetoFrontSolution, made at the first request of the
// process and kept for its life. On failure RuntimeError is set and
// PythonErrorSet thrown.
PyHandle solution_type();

// A new ParetoFrontSolution holding a copy of the record. When the object
// cannot be allocated the interpreter's exception is pending and
// PythonErrorSet is thrown.
PyRef new_solution(const SolutionRecord& record);

}  // namespace quorvel::binding
