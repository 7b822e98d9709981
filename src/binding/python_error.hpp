#pragma once

#include "python_api.hpp"

namespace quorvel::binding {

// Thrown where an interpreter call has failed and left its exception
// pending. The boundary lets that exception stand and returns the failure
// value. Not a std::exception, so no generic handler swallows it.
struct PythonErrorSet {};

// Sets the exception and throws, for failures the binding itself detects.
[[noreturn]] inline void throw_python_error(PyObject* type, const char* message) {
    PyErr_SetString(type, message);
    throw PythonErrorSet{};
}

// For interpreter calls that report failure with a negative status.
inline void throw_if_failed(int status) {
    if (status < 0) throw PythonErrorSet{};
}

// Sets SystemError for a call that reported failure without saying why, so
// that a failure never leaves the boundary without an exception.
inline void ensure_exception_set() {
    if (PyErr_Occurred() == nullptr)
        PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
}

}  // namespace quorvel::binding
