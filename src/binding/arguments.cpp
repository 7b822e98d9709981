#include "arguments.hpp"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "object_text.hpp"
#include "pending_exception.hpp"

namespace quorvel::binding {

namespace {

std::string display_name(const FunctionDescription& description) {
    return std::string(description.function_name) + "()";
}

[[noreturn]] void throw_too_many_positional(const FunctionDescription& description,
                                            Py_ssize_t given) {
    throw_type_error(display_name(description) + " takes " +
                     std::to_string(description.parameter_names.size()) +
                     " positional arguments but " + std::to_string(given) + " were given");
}

[[noreturn]] void throw_unexpected_keyword(const FunctionDescription& description,
                                           PyHandle key) {
    throw_type_error(display_name(description) + " got an unexpected keyword argument '" +
                     object_text(key) + "'");
}

[[noreturn]] void throw_multiple_values(const FunctionDescription& description,
                                        std::size_t parameter) {
    throw_type_error(display_name(description) + " got multiple values for argument '" +
                     description.parameter_names[parameter] + "'");
}

// The parameter that a keyword names: exact UTF-8 bytes, no normalisation.
// A key that is not a str or holds lone surrogates names none.
std::optional<std::size_t> named_parameter(const FunctionDescription& description,
                                           PyHandle key) {
    if (!PyUnicode_Check(key.get())) return std::nullopt;
    const PyRef bytes = PyRef::steal(PyUnicode_AsUTF8String(key.get()));
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

void bind_keywords(const FunctionDescription& description, PyHandle kwargs,
                   ArgumentSlots& slots) {
    Py_ssize_t position = 0;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(kwargs.get(), &position, &key, &value)) {
        const auto parameter = named_parameter(description, key);
        if (!parameter) {
            // str() of the key runs Python code that might drop it from the dict.
            const PyRef held = PyRef::borrow(key);
            throw_unexpected_keyword(description, held);
        }
        if (slots[*parameter]) throw_multiple_values(description, *parameter);
        slots[*parameter] = PyRef::borrow(value);
    }
}

void check_all_bound(const FunctionDescription& description, const ArgumentSlots& slots) {
    // With at most two missing names the list needs no commas.
    std::string names;
    std::size_t missing = 0;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i]) continue;
        if (missing++ > 0) names += " and ";
        names += std::string("'") + description.parameter_names[i] + "'";
    }
    if (missing == 0) return;
    throw_type_error(display_name(description) + " missing " + std::to_string(missing) +
                     " required positional " + (missing == 1 ? "argument" : "arguments") +
                     ": " + names);
}

}  // namespace

void extract_arguments_tuple_dict(const FunctionDescription& description, PyHandle args,
                                  PyHandle kwargs, ArgumentSlots& slots) {
    const Py_ssize_t given = PyTuple_Size(args.get());
    const auto parameters = static_cast<Py_ssize_t>(slots.size());
    for (Py_ssize_t i = 0; i < std::min(given, parameters); ++i)
        slots[static_cast<std::size_t>(i)] = PyRef::borrow(PyTuple_GetItem(args.get(), i));
    // Surplus positionals are reported before any keyword is looked at.
    if (given > parameters) throw_too_many_positional(description, given);
    if (kwargs) bind_keywords(description, kwargs, slots);
    check_all_bound(description, slots);
}

double extract_float(PyHandle object) {
    const double value = PyFloat_AsDouble(object.get());
    if (value == -1.0 && PyErr_Occurred()) throw PythonErrorSet{};
    return value;
}

std::uint32_t extract_u32(PyHandle object) {
    unsigned long long value = 0;
    if (PyLong_Check(object.get())) {
        value = PyLong_AsUnsignedLongLong(object.get());
    } else {
        const PyRef index = PyRef::steal_or_throw(PyNumber_Index(object.get()));
        value = PyLong_AsUnsignedLongLong(index.get());
    }
    if (value == std::numeric_limits<unsigned long long>::max() && PyErr_Occurred())
        throw PythonErrorSet{};
    if (value > std::numeric_limits<std::uint32_t>::max())
        throw_python_error(PyExc_OverflowError, "out of range integral type conversion attempted");
    return static_cast<std::uint32_t>(value);
}

void argument_extraction_error(const char* name) {
    PendingException old = take_pending_exception();
    if (!old.type) {
        ensure_exception_set();
        return;
    }
    // Only TypeError itself is ours to reword; subclasses and everything else
    // may come from user code and keep their identity.
    if (old.type.get() != PyExc_TypeError || !old.value) {
        std::move(old).restore();
        return;
    }
    const PyRef message = lenient_str("argument '" + std::string(name) + "': " + object_text(old.value));
    PyRef replacement = PyRef::steal_or_throw(
        PyObject_CallFunctionObjArgs(PyExc_TypeError, message.get(), nullptr));
    // Both calls pass a new reference: GetCause gives one and SetCause takes it.
    PyException_SetCause(replacement.get(), PyException_GetCause(old.value.get()));
    PyErr_Restore(old.type.release(), replacement.release(), nullptr);
}

}  // namespace quorvel::binding
