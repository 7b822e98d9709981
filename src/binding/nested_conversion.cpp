// Conversion of the data argument, data[stand][option][variable], into owned
// vectors of floats.
#include "arguments.hpp"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "object_text.hpp"
#include "pareto/internal_failure.hpp"

namespace quorvel::binding {

namespace {

// A sequence may report any length. Reserving no more than this keeps what a
// lying __len__ can cost to a few items per sequence; longer sequences grow
// by doubling, so they never hold more than twice what they deliver.
constexpr Py_ssize_t kMaxReservation = 16;

constexpr const char* kUnknownTypeName = "<failed to extract type name>";

PyRef import_sequence_class() {
    const PyRef module_name = PyRef::steal(PyUnicode_FromString("collections.abc"));
    const PyRef module = PyRef::steal(module_name ? PyImport_Import(module_name.get()) : nullptr);
    PyRef sequence = PyRef::steal(module ? PyObject_GetAttrString(module.get(), "Sequence") : nullptr);
    if (!sequence) {
        PyErr_WriteUnraisable(nullptr);
        fail("could not look up collections.abc.Sequence");
    }
    if (!PyType_Check(sequence.get())) fail("collections.abc.Sequence is not a class");
    return sequence;
}

// Looked up at the first conversion failure and kept for the life of the
// process, so the handle never dangles.
PyHandle sequence_class() {
    static PyObject* cached = nullptr;
    if (cached != nullptr) return cached;
    PyRef found = import_sequence_class();
    // The import can let another thread run this first; keep whichever came first.
    if (cached == nullptr) cached = found.release();
    return cached;
}

[[noreturn]] void throw_not_a_sequence(PyHandle object) {
    const std::string expected =
        type_attribute_text(sequence_class(), "__qualname__").value_or(kUnknownTypeName);
    if (object.get() == Py_None) throw_type_error("'None' is not an instance of '" + expected + "'");
    const std::string actual =
        type_attribute_text(reinterpret_cast<PyObject*>(Py_TYPE(object.get())), "__qualname__")
            .value_or(kUnknownTypeName);
    throw_type_error("'" + actual + "' object is not an instance of '" + expected + "'");
}

// __len__ only guides the reservation; when it fails with an ordinary error
// the vector just grows. Anything else (KeyboardInterrupt, SystemExit) is
// the caller's to see.
std::size_t reservation(PyHandle sequence) {
    const Py_ssize_t length = PyObject_Size(sequence.get());
    if (length < 0) {
        if (!PyErr_ExceptionMatches(PyExc_Exception)) throw PythonErrorSet{};
        PyErr_Clear();
        return 0;
    }
    return static_cast<std::size_t>(std::min(length, kMaxReservation));
}

template <class Item>
void extract_sequence(PyHandle object, std::vector<Item>& items);

void convert_item(PyHandle item, double& value) { value = extract_float(item); }

template <class Item>
void convert_item(PyHandle item, std::vector<Item>& items) {
    extract_sequence(item, items);
}

// Appends the converted items of one level in iteration order, depth-first.
// On failure the exception is left pending for the caller.
template <class Item>
void extract_sequence(PyHandle object, std::vector<Item>& items) {
    if (PyUnicode_Check(object.get())) throw_type_error("Can't extract `str` to `Vec`");
    if (!PySequence_Check(object.get())) throw_not_a_sequence(object);
    items.reserve(reservation(object));
    const PyRef iterator = PyRef::steal_or_throw(PyObject_GetIter(object.get()));
    while (const PyRef item = PyRef::steal(PyIter_Next(iterator.get())))
        convert_item(item, items.emplace_back());
    if (PyErr_Occurred()) throw PythonErrorSet{};
}

}  // namespace

NestedValues extract_argument(PyHandle object, const char* name) {
    return convert_argument(name, [object] {
        NestedValues data;
        extract_sequence(object, data);
        return data;
    });
}

}  // namespace quorvel::binding
