#include "solution_type.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "object_text.hpp"
#include "panic.hpp"
#include "pareto/internal_failure.hpp"
#include "pending_exception.hpp"

namespace quorvel::binding {

namespace {

constexpr const char* kClassName = "ParetoFrontSolution";

// The target and the packed design follow these fields in the object's own
// memory, in that order: one allocation per result, where vectors of their
// own took three.
struct SolutionObject {
    PyObject_VAR_HEAD
    std::size_t n_stands;
    std::size_t n_variables;
    unsigned index_bits;
};
// The target's values start right after the fields.
static_assert(sizeof(SolutionObject) % alignof(double) == 0);

SolutionObject* as_solution(PyObject* self) { return reinterpret_cast<SolutionObject*>(self); }

double* target_values(SolutionObject* solution) {
    std::byte* const fields_end = reinterpret_cast<std::byte*>(solution) + sizeof(SolutionObject);
    return reinterpret_cast<double*>(fields_end);
}

std::uint8_t* design_bytes(SolutionObject* solution) {
    return reinterpret_cast<std::uint8_t*>(target_values(solution) + solution->n_variables);
}

PackedDesign design_of(SolutionObject* solution) {
    return PackedDesign(design_bytes(solution), solution->n_stands, solution->index_bits);
}

std::span<const double> target_of(SolutionObject* solution) {
    return {target_values(solution), solution->n_variables};
}

// A fresh list, so that callers can change it without touching the solution.
// When the interpreter cannot allocate the list or an item, its MemoryError
// stands.
template <class Values, class MakeItem>
PyRef build_list(const Values& values, MakeItem make_item) {
    PyRef list = PyRef::steal_or_throw(PyList_New(static_cast<Py_ssize_t>(values.size())));
    for (std::size_t i = 0; i < values.size(); ++i) {
        PyRef item = PyRef::steal_or_throw(make_item(values[i]));
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item.release());
    }
    return list;
}

PyObject* get_design_vector(PyObject* self, void*) {
    return run_at_boundary<PyObject*>(nullptr, [self] {
        const auto as_int = [](std::size_t index) { return PyLong_FromUnsignedLongLong(index); };
        return build_list(design_of(as_solution(self)), as_int).release();
    });
}

PyObject* get_target_vector(PyObject* self, void*) {
    return run_at_boundary<PyObject*>(nullptr, [self] {
        return build_list(target_of(as_solution(self)), PyFloat_FromDouble).release();
    });
}

// str() of a class attribute, or "<unknown>" when it is missing or not a str.
std::string class_attribute_text(PyHandle type, const char* attribute) {
    const PyRef value = PyRef::steal(PyObject_GetAttrString(type.get(), attribute));
    if (!value || !PyUnicode_Check(value.get())) {
        PyErr_Clear();
        return "<unknown>";
    }
    return object_text(value);
}

PyObject* refuse_new(PyTypeObject* type, PyObject*, PyObject*) {
    return run_at_boundary<PyObject*>(nullptr, [type]() -> PyObject* {
        PyObject* type_object = reinterpret_cast<PyObject*>(type);
        throw_type_error("cannot create '" + class_attribute_text(type_object, "__module__") +
                         "." + class_attribute_text(type_object, "__qualname__") +
                         "' instances");
    });
}

void dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    auto free_function = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_function(self);
    // Every instance of a heap type holds a reference to its class.
    Py_DECREF(type);
}

PyGetSetDef solution_getset[] = {
    {"design_vector", get_design_vector, nullptr, "", nullptr},
    {"target_vector", get_target_vector, nullptr, "", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot solution_slots[] = {
    {Py_tp_getset, solution_getset},
    {Py_tp_base, &PyBaseObject_Type},
    {Py_tp_new, reinterpret_cast<void*>(refuse_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {0, nullptr},
};

// The name must outlive the class: older interpreters keep a pointer into it.
PyType_Spec solution_spec = {
    "quorvel.ParetoFrontSolution",
    static_cast<int>(sizeof(SolutionObject)),
    // In bytes: the target's and the design's.
    1,
    Py_TPFLAGS_DEFAULT,
    solution_slots,
};

// Sets RuntimeError("An error occurred while initializing class ...") caused
// by the pending exception, and throws.
[[noreturn]] void throw_class_creation_error() {
    PendingException cause = take_pending_exception();
    const std::string message = std::string("An error occurred while initializing class ") + kClassName;
    const PyRef error =
        PyRef::steal_or_throw(PyObject_CallFunction(PyExc_RuntimeError, "s", message.c_str()));
    PyException_SetCause(error.get(), cause.value.release());
    PyErr_SetObject(PyExc_RuntimeError, error.get());
    throw PythonErrorSet{};
}

}  // namespace

PyHandle solution_type() {
    // Process-wide and never released: every module object of the process
    // shares this class.
    static PyObject* type = nullptr;
    if (type == nullptr) {
        type = PyType_FromSpec(&solution_spec);
        if (type == nullptr) throw_class_creation_error();
    }
    return type;
}

PyRef new_solution(const SolutionRecord& record) {
    PyTypeObject* type_object = nullptr;
    try {
        type_object = reinterpret_cast<PyTypeObject*>(solution_type().get());
    } catch (const PythonErrorSet&) {
        PyErr_WriteUnraisable(nullptr);
        fail(std::string("failed to create type object for `") + kClassName + "`");
    }
    const std::span<const std::uint8_t> design = record.design.bytes();
    const std::size_t n_bytes = record.target.size_bytes() + design.size();
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type_object, Py_tp_alloc));
    PyRef self = PyRef::steal_or_throw(alloc(type_object, static_cast<Py_ssize_t>(n_bytes)));
    SolutionObject* solution = as_solution(self.get());
    solution->n_stands = record.design.size();
    solution->n_variables = record.target.size();
    solution->index_bits = record.design.bits();
    std::memcpy(target_values(solution), record.target.data(), record.target.size_bytes());
    std::memcpy(design_bytes(solution), design.data(), design.size());
    return self;
}

}  // namespace quorvel::binding
