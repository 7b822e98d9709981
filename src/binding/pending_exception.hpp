#pragma once

#include "python_api.hpp"

#include "py_ref.hpp"

namespace quorvel::binding {

// The pending exception, taken out of the thread state and normalised; all
// three parts are null when none was pending.
struct PendingException {
    PyRef type;
    PyRef value;
    PyRef traceback;

    // Makes it the pending exception again.
    void restore() && { PyErr_Restore(type.release(), value.release(), traceback.release()); }
};

inline PendingException take_pending_exception() {
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    if (type != nullptr) PyErr_NormalizeException(&type, &value, &traceback);
    return {PyRef::steal(type), PyRef::steal(value), PyRef::steal(traceback)};
}

}  // namespace quorvel::binding
