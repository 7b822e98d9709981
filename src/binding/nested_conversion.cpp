// Conversion of the data argument, data[stand][option][variable], into owned
// vectors of floats.
#include "arguments.hpp"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "float64_array.hpp"
#include "object_text.hpp"
#include "pareto/internal_failure.hpp"
#include "py_ref.hpp"

namespace quorvel::binding {

namespace {

// A sequence may report any length; reserving beyond this is left to growth,
// so that a lying __len__ cannot exhaust memory.
constexpr Py_ssize_t kMaxReservation = 4096;

constexpr const char* kUnknownTypeName = "<failed to extract type name>";

PyRef import_sequence_class() {
    const PyRef module_name(PyUnicode_FromString("collections.abc"));
    const PyRef module(module_name ? PyImport_Import(module_name.get()) : nullptr);
    PyRef sequence(module ? PyObject_GetAttrString(module.get(), "Sequence") : nullptr);
    if (!sequence) {
        PyErr_WriteUnraisable(nullptr);
        fail("could not look up collections.abc.Sequence");
    }
    if (!PyType_Check(sequence.get())) fail("collections.abc.Sequence is not a class");
    return sequence;
}

// Borrowed; looked up at the first conversion failure and kept for the life
// of the process.
PyObject* sequence_class() {
    static PyObject* cached = nullptr;
    if (cached != nullptr) return cached;
    PyRef found = import_sequence_class();
    // The import can let another thread run this first; keep whichever came first.
    if (cached == nullptr) cached = found.release();
    return cached;
}

void raise_not_a_sequence(PyObject* object) {
    const std::string expected =
        type_attribute_text(sequence_class(), "__qualname__").value_or(kUnknownTypeName);
    if (object == Py_None) {
        raise_type_error("'None' is not an instance of '" + expected + "'");
        return;
    }
    const std::string actual =
        type_attribute_text(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__qualname__")
            .value_or(kUnknownTypeName);
    raise_type_error("'" + actual + "' object is not an instance of '" + expected + "'");
}

// __len__ only guides the reservation; when it fails the vector just grows.
std::size_t reservation(PyObject* sequence) {
    const Py_ssize_t length = PyObject_Size(sequence);
    if (length < 0) {
        PyErr_Clear();
        return 0;
    }
    return static_cast<std::size_t>(std::min(length, kMaxReservation));
}

template <class Item>
bool extract_sequence(PyObject* object, std::vector<Item>& items, Float64ArrayReader& arrays);

bool convert_item(PyObject* item, double& value, Float64ArrayReader&) {
    const auto converted = extract_float(item);
    if (!converted) return false;
    value = *converted;
    return true;
}

template <class Item>
bool convert_item(PyObject* item, std::vector<Item>& items, Float64ArrayReader& arrays) {
    return extract_sequence(item, items, arrays);
}

// Appends the converted items of one level in iteration order, depth-first.
// On failure the exception is left pending for the caller.
template <class Item>
bool extract_sequence(PyObject* object, std::vector<Item>& items, Float64ArrayReader& arrays) {
    if (const ArrayRead read = arrays.read(object, items); read != ArrayRead::NotApplicable)
        return read == ArrayRead::Read;
    if (PyUnicode_Check(object)) {
        raise_type_error("Can't extract `str` to `Vec`");
        return false;
    }
    if (!PySequence_Check(object)) {
        raise_not_a_sequence(object);
        return false;
    }
    items.reserve(reservation(object));
    const PyRef iterator(PyObject_GetIter(object));
    if (!iterator) return false;
    while (PyRef item{PyIter_Next(iterator.get())}) {
        if (!convert_item(item.get(), items.emplace_back(), arrays)) return false;
    }
    return !PyErr_Occurred();
}

}  // namespace

std::optional<NestedValues> extract_argument(PyObject* object, const char* name) {
    NestedValues data;
    Float64ArrayReader arrays = Float64ArrayReader::for_imported_numpy();
    if (extract_sequence(object, data, arrays)) return data;
    argument_extraction_error(name);
    return std::nullopt;
}

}  // namespace quorvel::binding
