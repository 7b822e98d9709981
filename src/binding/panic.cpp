#include "panic.hpp"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "pareto/cancellation.hpp"
#include "pareto/internal_failure.hpp"
#include "py_ref.hpp"

namespace quorvel::binding {

namespace {

constexpr const char* kPanicDoc =
    "Raised when the native code called from Python fails.\n"
    "\n"
    "Like SystemExit, it derives from BaseException rather than Exception,\n"
    "so it usually propagates all the way up and ends the interpreter.";

constexpr const char* kGenericMessage = "internal failure without a message";

PyObject* panic_exception_class() {
    // Process-wide and never released: every failure raises the same class.
    static PyObject* panic_class = nullptr;
    if (panic_class == nullptr) {
        panic_class = PyErr_NewExceptionWithDoc("tavrin_runtime.PanicException", kPanicDoc,
                                                PyExc_BaseException, nullptr);
        if (panic_class == nullptr) {
            PyErr_Print();
            std::fputs("Failed to initialize new exception type.\n", stderr);
            abort_uncaught();
        }
    }
    return panic_class;
}

}  // namespace

void abort_uncaught() noexcept {
    std::fputs("uncaught panic at ffi boundary\n", stderr);
    std::fflush(stderr);
    std::abort();
}

void raise_panic(const std::string& message) {
    PyObject* panic_class = panic_exception_class();
    const PyRef text = PyRef::steal(
        PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    if (!text) abort_uncaught();
    PyErr_SetObject(panic_class, text.get());
}

void translate_current_exception() noexcept {
    try {
        try {
            throw;
        } catch (const PythonErrorSet&) {
            ensure_exception_set();
        } catch (const Cancelled&) {
            // The cancellation hook stops a call only for a pending exception.
            ensure_exception_set();
        } catch (const InternalFailure& failure) {
            raise_panic(failure.message());
        } catch (const std::bad_alloc&) {
            PyErr_NoMemory();
        } catch (...) {
            raise_panic(kGenericMessage);
        }
    } catch (...) {
        abort_uncaught();
    }
}

}  // namespace quorvel::binding
