#pragma once

#include "python_api.hpp"

#include <array>
#include <cstdint>

#include "pareto/data_table.hpp"
#include "py_ref.hpp"

namespace quorvel::binding {

// The signature of one entry function: two parameters, both required, each
// accepted by position or by keyword.
struct FunctionDescription {
    const char* function_name;
    std::array<const char*, 2> parameter_names;
};

// One strong reference per parameter in declaration order. Conversion runs
// Python code that may drop the caller's references (a keyword dictionary
// can be emptied), so the call holds its own for its whole length.
using ArgumentSlots = std::array<PyRef, 2>;

// Binds the call's positional tuple and keyword dictionary (may be null) to
// the slots. On failure sets a TypeError and throws PythonErrorSet.
void extract_arguments_tuple_dict(const FunctionDescription& description, PyHandle args,
                                  PyHandle kwargs, ArgumentSlots& slots);

// Converts data[stand][option][variable] into owned vectors. On failure the
// exception, already prefixed with the parameter name, is pending and
// PythonErrorSet thrown.
NestedValues extract_argument(PyHandle object, const char* name);

// Scalar conversions. On failure the interpreter's exception, not yet
// prefixed, is pending and PythonErrorSet thrown.
double extract_float(PyHandle object);
std::uint32_t extract_u32(PyHandle object);

// Replaces the pending exception by "argument '<name>': <text>" when its type
// is exactly TypeError, keeping its cause; any other exception stays as it is.
void argument_extraction_error(const char* name);

// Runs one conversion; its failure leaves the exception prefixed with the
// parameter name.
template <class Convert>
auto convert_argument(const char* name, Convert convert) -> decltype(convert()) {
    try {
        return convert();
    } catch (const PythonErrorSet&) {
        argument_extraction_error(name);
        throw;
    }
}

}  // namespace quorvel::binding
