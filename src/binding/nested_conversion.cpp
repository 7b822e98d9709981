// Conversion of the data argument, data[stand][option][variable], into owned
// vectors of floats.
#include "arguments.hpp"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

#include "float64_array.hpp"
#include "object_text.hpp"
#include "pareto/internal_failure.hpp"

namespace quorvel::binding {

namespace {

// A sequence may report any length; beyond this the buffer of its level
// grows by doubling instead.
constexpr Py_ssize_t kMaxReservation = 4096;

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

// The stands and options of a call are gathered in buffers that each level
// reuses for every sequence, then copied out at their exact count. So the
// length a sequence claims costs at most one capped reservation per level
// and call, never one per sequence, and each converted vector is allocated
// once, at the size that iteration delivered.
class DataConversion {
public:
    DataConversion() : arrays_(Float64ArrayReader::for_imported_numpy()) {}

    NestedValues stands(PyHandle data) {
        // The only sequence of its level: gathered in place.
        NestedValues stands;
        gather(data, stands, [this](PyHandle stand) { return options(stand); });
        return stands;
    }

private:
    std::vector<std::vector<double>> options(PyHandle stand) {
        gather(stand, options_, [this](PyHandle option) { return values(option); });
        return take_exact(options_);
    }

    std::vector<double> values(PyHandle option) {
        gather(option, values_, extract_float);
        return take_exact(values_);
    }

    // Replaces the buffer's items by the converted items of one sequence, in
    // iteration order, depth-first. On failure the exception is left pending.
    template <class Item, class ConvertItem>
    void gather(PyHandle object, std::vector<Item>& buffer, ConvertItem convert_item) {
        buffer.clear();
        if (arrays_.read(object, buffer)) return;
        if (PyUnicode_Check(object.get())) throw_type_error("Can't extract `str` to `Vec`");
        if (!PySequence_Check(object.get())) throw_not_a_sequence(object);
        buffer.reserve(reservation(object));
        const PyRef iterator = PyRef::steal_or_throw(PyObject_GetIter(object.get()));
        while (const PyRef item = PyRef::steal(PyIter_Next(iterator.get())))
            buffer.push_back(convert_item(item));
        if (PyErr_Occurred()) throw PythonErrorSet{};
    }

    template <class Item>
    static std::vector<Item> take_exact(std::vector<Item>& buffer) {
        return {std::make_move_iterator(buffer.begin()), std::make_move_iterator(buffer.end())};
    }

    Float64ArrayReader arrays_;
    std::vector<std::vector<double>> options_;
    std::vector<double> values_;
};

}  // namespace

NestedValues extract_argument(PyHandle object, const char* name) {
    return convert_argument(name, [object] { return DataConversion().stands(object); });
}

}  // namespace quorvel::binding
