#include "arguments.hpp"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "object_text.hpp"
#include "pending_exception.hpp"
#include "py_ref.hpp"

namespace quorvel::binding {

namespace {

std::string display_name(const FunctionDescription& description) {
    return std::string(description.function_name) + "()";
}

void raise_too_many_positional(const FunctionDescription& description, Py_ssize_t given) {
    raise_type_error(display_name(description) + " takes " +
                     std::to_string(description.parameter_names.size()) +
                     " positional arguments but " + std::to_string(given) + " were given");
}

void raise_unexpected_keyword(const FunctionDescription& description, PyObject* key) {
    raise_type_error(display_name(description) + " got an unexpected keyword argument '" +
                     object_text(key) + "'");
}

void raise_multiple_values(const FunctionDescription& description, std::size_t parameter) {
    raise_type_error(display_name(description) + " got multiple values for argument '" +
                     description.parameter_names[parameter] + "'");
}

// The parameter that a keyword names: exact UTF-8 bytes, no normalisation.
// A key that is not a str or holds lone surrogates names none.
std::optional<std::size_t> named_parameter(const FunctionDescription& description,
                                           PyObject* key) {
    if (!PyUnicode_Check(key)) return std::nullopt;
    const PyRef bytes(PyUnicode_AsUTF8String(key));
    if (!bytes) {
        PyErr_Clear();
        return std::nullopt;
    }
    const std::string_view keyword(PyBytes_AsString(bytes.get()),
                                   static_cast<std::size_t>(PyBytes_Size(bytes.get())));
    const auto& names = description.parameter_names;
    const auto match = std::find(names.begin(), names.end(), keyword);
    if (match == names.end()) return std::nullopt;
    return static_cast<std::size_t>(match - names.begin());
}

bool bind_keywords(const FunctionDescription& description, PyObject* kwargs,
                   ArgumentSlots& slots) {
    Py_ssize_t position = 0;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(kwargs, &position, &key, &value)) {
        const auto parameter = named_parameter(description, key);
        if (!parameter) {
            // str() of the key runs Python code that might drop it from the dict.
            const PyRef held = PyRef::borrow(key);
            raise_unexpected_keyword(description, held.get());
            return false;
        }
        if (slots[*parameter] != nullptr) {
            raise_multiple_values(description, *parameter);
            return false;
        }
        slots[*parameter] = value;
    }
    return true;
}

bool check_all_bound(const FunctionDescription& description, const ArgumentSlots& slots) {
    // With at most two missing names the list needs no commas.
    std::string names;
    std::size_t missing = 0;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i] != nullptr) continue;
        if (missing++ > 0) names += " and ";
        names += std::string("'") + description.parameter_names[i] + "'";
    }
    if (missing == 0) return true;
    raise_type_error(display_name(description) + " missing " + std::to_string(missing) +
                     " required positional " + (missing == 1 ? "argument" : "arguments") +
                     ": " + names);
    return false;
}

}  // namespace

bool extract_arguments_tuple_dict(const FunctionDescription& description, PyObject* args,
                                  PyObject* kwargs, ArgumentSlots& slots) {
    const Py_ssize_t given = PyTuple_Size(args);
    const auto parameters = static_cast<Py_ssize_t>(slots.size());
    for (Py_ssize_t i = 0; i < std::min(given, parameters); ++i)
        slots[static_cast<std::size_t>(i)] = PyTuple_GetItem(args, i);
    // Surplus positionals are reported before any keyword is looked at.
    if (given > parameters) {
        raise_too_many_positional(description, given);
        return false;
    }
    if (kwargs != nullptr && !bind_keywords(description, kwargs, slots)) return false;
    return check_all_bound(description, slots);
}

std::optional<double> extract_float(PyObject* object) {
    const double value = PyFloat_AsDouble(object);
    if (value == -1.0 && PyErr_Occurred()) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> extract_u32(PyObject* object) {
    unsigned long long value = 0;
    if (PyLong_Check(object)) {
        value = PyLong_AsUnsignedLongLong(object);
    } else {
        const PyRef index(PyNumber_Index(object));
        if (!index) return std::nullopt;
        value = PyLong_AsUnsignedLongLong(index.get());
    }
    if (value == std::numeric_limits<unsigned long long>::max() && PyErr_Occurred())
        return std::nullopt;
    if (value > std::numeric_limits<std::uint32_t>::max()) {
        PyErr_SetString(PyExc_OverflowError, "out of range integral type conversion attempted");
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

void argument_extraction_error(const char* name) {
    PendingException old = take_pending_exception();
    if (!old.type) {
        PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
        return;
    }
    // Only TypeError itself is ours to reword; subclasses and everything else
    // may come from user code and keep their identity.
    if (old.type.get() != PyExc_TypeError || !old.value) {
        PyErr_Restore(old.type.release(), old.value.release(), old.traceback.release());
        return;
    }
    const PyRef message =
        lenient_str("argument '" + std::string(name) + "': " + object_text(old.value.get()));
    if (!message) return;
    PyRef replacement(PyObject_CallFunctionObjArgs(PyExc_TypeError, message.get(), nullptr));
    if (!replacement) return;
    PyException_SetCause(replacement.get(), PyException_GetCause(old.value.get()));
    PyErr_Restore(old.type.release(), replacement.release(), nullptr);
}

}  // namespace quorvel::binding
