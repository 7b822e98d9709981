#pragma once

#include "python_api.hpp"

#include "pareto/objective.hpp"
#include "py_ref.hpp"

namespace quorvel::binding {

// The class object of ParetoFrontSolution, made at the first request of the
// process and kept for its life. On failure RuntimeError is set and
// PythonErrorSet thrown.
PyHandle solution_type();

// A new ParetoFrontSolution that takes over the record's vectors. When the
// object cannot be allocated the interpreter's exception is pending,
// PythonErrorSet is thrown and the record is released.
PyRef new_solution(SolutionRecord&& record);

}  // namespace quorvel::binding
