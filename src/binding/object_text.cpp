#include "object_text.hpp"

#include <cstddef>
#include <utility>

namespace quorvel::binding {

namespace {

// Encodes with surrogatepass so that a lone surrogate still shows up in a
// message, as replacement characters, instead of failing the encoding.
std::optional<std::string> utf8_bytes(PyObject* text) {
    const PyRef bytes(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
    if (!bytes) return std::nullopt;
    return std::string(PyBytes_AsString(bytes.get()),
                       static_cast<std::size_t>(PyBytes_Size(bytes.get())));
}

std::string unprintable_text(PyObject* object) {
    const auto name =
        type_attribute_text(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__name__");
    if (!name) return "<unprintable object>";
    return "<unprintable " + *name + " object>";
}

}  // namespace

std::string object_text(PyObject* object) {
    const PyRef text(PyObject_Str(object));
    if (text) {
        if (auto bytes = utf8_bytes(text.get())) return std::move(*bytes);
    }
    PyErr_WriteUnraisable(object);
    return unprintable_text(object);
}

std::optional<std::string> type_attribute_text(PyObject* type, const char* attribute) {
    const PyRef value(PyObject_GetAttrString(type, attribute));
    std::optional<std::string> text = value ? utf8_bytes(value.get()) : std::nullopt;
    if (!text) PyErr_Clear();
    return text;
}

PyRef lenient_str(const std::string& utf8) {
    return PyRef(
        PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "replace"));
}

void raise_type_error(const std::string& message) {
    const PyRef text = lenient_str(message);
    if (text) PyErr_SetObject(PyExc_TypeError, text.get());
}

}  // namespace quorvel::binding
