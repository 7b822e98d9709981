#pragma once

#include "python_api.hpp"

#include <vector>

#include "py_ref.hpp"

namespace quorvel::binding {

// Copies float64 numpy arrays straight from their memory instead of item by
// item. The module never imports numpy: with numpy not yet imported by the
// caller no object can be such an array.
class Float64ArrayReader {
public:
    // Looks numpy.ndarray up among the modules already imported.
    static Float64ArrayReader for_imported_numpy();

    // Fills `items` from an exact numpy.ndarray of native float64 with one
    // dimension per level of `items`, in iteration order, and returns true.
    // Any other object gives false and is left to element-wise conversion.
    template <class Item>
    bool read(PyHandle object, std::vector<Item>& items);

private:
    Float64ArrayReader() = default;

    // Whether the dtype is float64 in native byte order.
    bool is_native_float64(PyHandle array);

    // Null when numpy is not imported.
    PyRef ndarray_type_;
    // Interned, so that attribute look-ups hit the type's cache: with one
    // small array per option they cost more than the copy.
    PyRef shape_name_;
    PyRef dtype_name_;
    PyRef tobytes_name_;
    PyRef str_name_;
    // The dtype last found to be native float64: arrays mostly share one, and
    // recognising it by identity is much cheaper than asking it.
    PyRef float64_dtype_;
};

}  // namespace quorvel::binding
