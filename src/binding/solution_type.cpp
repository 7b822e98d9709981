#include "solution_type.hpp"

#include <new>
#include <string>
#include <utility>

#include "object_text.hpp"
#include "panic.hpp"
#include "pending_exception.hpp"
#include "pareto/internal_failure.hpp"
#include "py_ref.hpp"

namespace quorvel::binding {

namespace {

constexpr const char* kClassName = "ParetoFrontSolution";

struct SolutionObject {
    PyObject_HEAD
    PackedDesign design_vector;
    Target target_vector;
};

SolutionObject* as_solution(PyObject* self) { return reinterpret_cast<SolutionObject*>(self); }

// Items come from the interpreter one by one; a null item means the
// interpreter could not allocate, which the getters treat as fatal.
template <class Values, class MakeItem>
PyObject* build_list(const Values& values, MakeItem make_item) {
    PyRef list(require_object(PyList_New(static_cast<Py_ssize_t>(values.size()))));
    for (std::size_t i = 0; i < values.size(); ++i)
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), require_object(make_item(values[i])));
    return list.release();
}

PyObject* get_design_vector(PyObject* self, void*) {
    return run_at_boundary<PyObject*>(nullptr, [self] {
        return build_list(as_solution(self)->design_vector, [](std::size_t index) {
            return PyLong_FromUnsignedLongLong(index);
        });
    });
}

PyObject* get_target_vector(PyObject* self, void*) {
    return run_at_boundary<PyObject*>(nullptr, [self] {
        return build_list(as_solution(self)->target_vector, PyFloat_FromDouble);
    });
}

// str() of a class attribute, or "<unknown>" when it is missing or not a str.
std::string class_attribute_text(PyObject* type, const char* attribute) {
    const PyRef value(PyObject_GetAttrString(type, attribute));
    if (!value || !PyUnicode_Check(value.get())) {
        PyErr_Clear();
        return "<unknown>";
    }
    return object_text(value.get());
}

PyObject* refuse_new(PyTypeObject* type, PyObject*, PyObject*) {
    return run_at_boundary<PyObject*>(nullptr, [type]() -> PyObject* {
        PyObject* type_object = reinterpret_cast<PyObject*>(type);
        raise_type_error("cannot create '" + class_attribute_text(type_object, "__module__") +
                         "." + class_attribute_text(type_object, "__qualname__") +
                         "' instances");
        return nullptr;
    });
}

void dealloc(PyObject* self) {
    // Releasing the vectors cannot throw, so there is nothing to translate.
    PyTypeObject* type = Py_TYPE(self);
    // Every instance of a heap type holds a reference to its class.
    const PyRef class_reference(reinterpret_cast<PyObject*>(type));
    SolutionObject* solution = as_solution(self);
    solution->design_vector.~PackedDesign();
    solution->target_vector.~Target();
    auto free_function = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_function(self);
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
    0,
    Py_TPFLAGS_DEFAULT,
    solution_slots,
};

// RuntimeError("An error occurred while initializing class ...") caused by
// the pending exception.
void raise_class_creation_error() {
    PendingException cause = take_pending_exception();
    const std::string message = std::string("An error occurred while initializing class ") + kClassName;
    PyRef error(PyObject_CallFunction(PyExc_RuntimeError, "s", message.c_str()));
    if (!error) return;
    PyException_SetCause(error.get(), cause.value.release());
    PyErr_SetObject(PyExc_RuntimeError, error.get());
}

}  // namespace

PyObject* solution_type() {
    // Process-wide: every module object of the process shares this class.
    static PyObject* type = nullptr;
    if (type == nullptr) {
        type = PyType_FromSpec(&solution_spec);
        if (type == nullptr) raise_class_creation_error();
    }
    return type;
}

PyObject* new_solution(SolutionRecord&& record) {
    SolutionRecord owned = std::move(record);
    PyObject* type = solution_type();
    if (type == nullptr) {
        PyErr_WriteUnraisable(nullptr);
        fail(std::string("failed to create type object for `") + kClassName + "`");
    }
    auto* type_object = reinterpret_cast<PyTypeObject*>(type);
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type_object, Py_tp_alloc));
    PyObject* self = alloc(type_object, 0);
    if (self == nullptr) return nullptr;
    SolutionObject* solution = as_solution(self);
    new (&solution->design_vector) PackedDesign(std::move(owned.design));
    new (&solution->target_vector) Target(std::move(owned.target));
    return self;
}

}  // namespace quorvel::binding
