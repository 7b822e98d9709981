// Why the shortcut is sound: element-wise conversion of an exact float64
// ndarray runs numpy's own code only. Iteration yields views and numpy.float64
// scalars, a float subclass whose value PyFloat_AsDouble reads directly; none
// of it calls back into Python or fails, short of memory. So there is no call
// order to keep and no error to reproduce: the converted vectors are fixed by
// the shape and the memory alone, and copying the memory in C order gives the
// same vectors, NaN payloads and -0.0 included. Empty dimensions give the same
// empty vectors, which the table then judges. Subclasses may override
// iteration, so only the exact type is taken.
#include "float64_array.hpp"

#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "pareto/internal_failure.hpp"

namespace quorvel::binding {

namespace {

// The dtype string numpy gives float64 in this machine's byte order.
constexpr const char* kNativeFloat64 = std::endian::native == std::endian::little ? "<f8" : ">f8";

// Vector levels above a value: 1 for an option, 3 for the whole data.
template <class Level>
constexpr std::size_t kDepth = 0;
template <class Item>
constexpr std::size_t kDepth<std::vector<Item>> = kDepth<Item> + 1;

template <std::size_t Depth>
using Shape = std::array<std::size_t, Depth>;

// Whether the array has Depth dimensions, their lengths then in `shape`.
template <std::size_t Depth>
bool read_shape(PyHandle array, PyHandle shape_name, Shape<Depth>& shape) {
    const PyRef dimensions = PyRef::steal_or_throw(PyObject_GetAttr(array.get(), shape_name.get()));
    if (!PyTuple_Check(dimensions.get())) fail("numpy.ndarray.shape is not a tuple");
    if (PyTuple_Size(dimensions.get()) != static_cast<Py_ssize_t>(Depth)) return false;
    for (std::size_t axis = 0; axis < Depth; ++axis) {
        const Py_ssize_t length =
            PyLong_AsSsize_t(PyTuple_GetItem(dimensions.get(), static_cast<Py_ssize_t>(axis)));
        if (length < 0) fail("numpy.ndarray.shape holds an invalid length");
        shape[axis] = static_cast<std::size_t>(length);
    }
    return true;
}

// The byte count of the array's values; numpy keeps it within Py_ssize_t.
template <std::size_t Depth>
std::size_t byte_count(const Shape<Depth>& shape) {
    std::size_t count = sizeof(double);
    for (const std::size_t length : shape) {
        if (length == 0) return 0;
        if (count > PY_SSIZE_T_MAX / length) fail("numpy.ndarray is too large");
        count *= length;
    }
    return count;
}

// `source` may be unaligned, hence memcpy.
void copy_values(const char*& source, std::span<const std::size_t> shape,
                 std::vector<double>& values) {
    values.resize(shape[0]);
    if (values.empty()) return;
    std::memcpy(values.data(), source, values.size() * sizeof(double));
    source += values.size() * sizeof(double);
}

template <class Item>
void copy_values(const char*& source, std::span<const std::size_t> shape,
                 std::vector<Item>& items) {
    items.resize(shape[0]);
    for (Item& item : items) copy_values(source, shape.subspan(1), item);
}

}  // namespace

Float64ArrayReader Float64ArrayReader::for_imported_numpy() {
    Float64ArrayReader reader;
    const PyRef name = PyRef::steal(PyUnicode_FromString("numpy"));
    const PyRef numpy = PyRef::steal(name ? PyImport_GetModule(name.get()) : nullptr);
    if (!numpy || !PyModule_Check(numpy.get())) {
        // Element-wise conversion needs no module table, so a failed look-up
        // just means going without the shortcut.
        PyErr_Clear();
        return reader;
    }
    // The module's own dictionary, so that no module __getattr__ runs.
    PyObject* ndarray = PyDict_GetItemString(PyModule_GetDict(numpy.get()), "ndarray");
    if (ndarray == nullptr || !PyType_Check(ndarray)) return reader;
    reader.shape_name_ = PyRef::steal(PyUnicode_InternFromString("shape"));
    reader.dtype_name_ = PyRef::steal(PyUnicode_InternFromString("dtype"));
    reader.tobytes_name_ = PyRef::steal(PyUnicode_InternFromString("tobytes"));
    reader.str_name_ = PyRef::steal(PyUnicode_InternFromString("str"));
    if (!reader.shape_name_ || !reader.dtype_name_ || !reader.tobytes_name_ || !reader.str_name_) {
        PyErr_Clear();
        return reader;
    }
    reader.ndarray_type_ = PyRef::borrow(ndarray);
    return reader;
}

bool Float64ArrayReader::is_native_float64(PyHandle array) {
    PyRef dtype = PyRef::steal_or_throw(PyObject_GetAttr(array.get(), dtype_name_.get()));
    if (dtype.get() == float64_dtype_.get()) return true;
    const PyRef text = PyRef::steal_or_throw(PyObject_GetAttr(dtype.get(), str_name_.get()));
    if (!PyUnicode_Check(text.get()) ||
        PyUnicode_CompareWithASCIIString(text.get(), kNativeFloat64) != 0)
        return false;
    float64_dtype_ = std::move(dtype);
    return true;
}

template <class Item>
bool Float64ArrayReader::read(PyHandle object, std::vector<Item>& items) {
    if (!ndarray_type_ ||
        reinterpret_cast<PyObject*>(Py_TYPE(object.get())) != ndarray_type_.get())
        return false;
    Shape<kDepth<std::vector<Item>>> shape;
    if (!read_shape(object, shape_name_, shape) || !is_native_float64(object)) return false;

    // C order is the default, and passing it costs more than the copy of a
    // small array.
    const PyRef bytes = PyRef::steal_or_throw(
        PyObject_CallMethodObjArgs(object.get(), tobytes_name_.get(), nullptr));
    char* source = nullptr;
    Py_ssize_t length = 0;
    throw_if_failed(PyBytes_AsStringAndSize(bytes.get(), &source, &length));
    // The copy must never read past the bytes, whatever the shape said.
    const std::size_t expected = byte_count(shape);
    if (static_cast<std::size_t>(length) != expected)
        fail("numpy.ndarray.tobytes gave " + std::to_string(length) + " bytes, expected " +
             std::to_string(expected));
    const char* cursor = source;
    copy_values(cursor, shape, items);
    return true;
}

template bool Float64ArrayReader::read(PyHandle, std::vector<double>&);
template bool Float64ArrayReader::read(PyHandle, std::vector<std::vector<double>>&);
template bool Float64ArrayReader::read(PyHandle, std::vector<std::vector<std::vector<double>>>&);

}  // namespace quorvel::binding
