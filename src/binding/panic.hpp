#pragma once

#include "python_api.hpp"

#include <string>

namespace quorvel::binding {

// Sets PanicException(message) as the pending exception. The class is made
// at the first internal failure of the process and reused after that.
void raise_panic(const std::string& message);

// For failures that cannot become an exception: reports and aborts.
[[noreturn]] void abort_uncaught() noexcept;

// Turns the C++ exception being handled into the pending Python exception:
// an internal failure into PanicException, memory exhaustion into
// MemoryError; a failed interpreter call or a cancelled call keeps the
// exception that is already pending. Aborts if even that fails.
void translate_current_exception() noexcept;

// Runs the body of a function that the interpreter calls into. Whatever the
// body throws is translated and the failure value returned instead.
template <class Result, class Body>
Result run_at_boundary(Result failure_value, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        translate_current_exception();
        return failure_value;
    }
}

}  // namespace quorvel::binding
