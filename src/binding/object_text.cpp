#include "object_text.hpp"

#include <cstddef>
#include <utility>

namespace quorvel::binding {

namespace {

// Encodes with surrogatepass so that a lone surrogate still shows up in a
// message, as replacement characters, instead of failing the encoding.
std::optional<std::string> utf8_bytes(PyHandle text) {
    const PyRef bytes = PyRef::steal(PyUnicode_AsEncodedString(text.get(), "utf-8", "surrogatepass"));
    if (!bytes) return std::nullopt;
    return std::string(PyBytes_AsString(bytes.get()),
                       static_cast<std::size_t>(PyBytes_Size(bytes.get())));
}

std::string unprintable_text(PyHandle object) {
    const auto name = type_attribute_text(reinterpret_cast<PyObject*>(Py_TYPE(object.get())), "__name__");
    if (!name) return "<unprintable object>";
    return "<unprintable " + *name + " object>";
}

}  // namespace

std::string object_text(PyHandle object) {
    const PyRef text = PyRef::steal(PyObject_Str(object.get()));
    if (text) {
        if (auto bytes = utf8_bytes(text)) return std::move(*bytes);
    }
    PyErr_WriteUnraisable(object.get());
    return unprintable_text(object);
}

std::optional<std::string> type_attribute_text(PyHandle type, const char* attribute) {
    const PyRef value = PyRef::steal(PyObject_GetAttrString(type.get(), attribute));
    std::optional<std::string> text = value ? utf8_bytes(value) : std::nullopt;
    if (!text) PyErr_Clear();
    return text;
}

PyRef lenient_str(const std::string& utf8) {
    return PyRef::steal_or_throw(
        PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "replace"));
}

void throw_type_error(const std::string& message) {
    PyErr_SetObject(PyExc_TypeError, lenient_str(message).get());
    throw PythonErrorSet{};
}

}  // namespace quorvel::binding
