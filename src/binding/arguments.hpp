#pragma once

#include "python_api.hpp"

#include <array>
#include <cstdint>
#include <optional>

#include "pareto/data_table.hpp"

namespace quorvel::binding {

// The signature of one entry function: two parameters, both required, each
// accepted by position or by keyword.
struct FunctionDescription {
    const char* function_name;
    std::array<const char*, 2> parameter_names;
};

// Borrowed references, one per parameter in declaration order.
using ArgumentSlots = std::array<PyObject*, 2>;

// Binds the call's positional tuple and keyword dictionary (may be null) to
// the slots. On failure a TypeError is set and false returned.
bool extract_arguments_tuple_dict(const FunctionDescription& description, PyObject* args,
                                  PyObject* kwargs, ArgumentSlots& slots);

// Converts data[stand][option][variable] into owned vectors. On failure the
// exception, already prefixed with the parameter name, is set and nothing is
// returned.
std::optional<NestedValues> extract_argument(PyObject* object, const char* name);

// Scalar conversions. On failure the interpreter's exception is set, not yet
// prefixed.
std::optional<double> extract_float(PyObject* object);
std::optional<std::uint32_t> extract_u32(PyObject* object);

// Replaces the pending exception by "argument '<name>': <text>" when its type
// is exactly TypeError, keeping its cause; any other exception stays as it is.
void argument_extraction_error(const char* name);

}  // namespace quorvel::binding
