// The quorvel module: its definition, exec step and the two entry functions.
#include "python_api.hpp"

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "arguments.hpp"
#include "object_text.hpp"
#include "panic.hpp"
#include "pareto/data_table.hpp"
#include "pareto/internal_failure.hpp"
#include "pareto/pareto_front.hpp"
#include "pareto/random_points.hpp"
#include "pending_exception.hpp"
#include "py_ref.hpp"
#include "solution_type.hpp"

namespace quorvel::binding {

namespace {

// A new list of ParetoFrontSolution objects that take the records over.
PyObject* solution_list(std::vector<SolutionRecord> records) {
    PyRef list(require_object(PyList_New(static_cast<Py_ssize_t>(records.size()))));
    for (std::size_t i = 0; i < records.size(); ++i) {
        PyObject* solution = new_solution(std::move(records[i]));
        if (solution == nullptr) return nullptr;
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), solution);
    }
    return list.release();
}

// Both entry functions: bind, convert data, convert the second argument,
// validate the table, compute, and hand the records to Python. Failures are
// reported in that order.
template <class Convert, class Compute>
PyObject* run_entry(const FunctionDescription& description, PyObject* args, PyObject* kwargs,
                    Convert convert_second, Compute compute) {
    return run_at_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        ArgumentSlots slots{};
        if (!extract_arguments_tuple_dict(description, args, kwargs, slots)) return nullptr;
        std::optional<NestedValues> data = extract_argument(slots[0], description.parameter_names[0]);
        if (!data) return nullptr;
        const auto second = convert_second(slots[1]);
        if (!second) {
            argument_extraction_error(description.parameter_names[1]);
            return nullptr;
        }
        auto table = DataTable::create(std::move(*data));
        if (const auto* error = std::get_if<DataTableError>(&table)) {
            PyErr_SetString(PyExc_ValueError, error->message().c_str());
            return nullptr;
        }
        std::vector<SolutionRecord> records;
        {
            const DataTable released_before_conversion = std::get<DataTable>(std::move(table));
            records = compute(released_before_conversion, *second);
        }
        return solution_list(std::move(records));
    });
}

constexpr FunctionDescription kFindParetoFront{"find_pareto_front", {"data", "epsilon"}};
constexpr FunctionDescription kCreateRandomPoints{"create_random_points", {"data", "n_points"}};

PyObject* find_pareto_front(PyObject*, PyObject* args, PyObject* kwargs) {
    return run_entry(kFindParetoFront, args, kwargs, extract_float,
                     [](const DataTable& table, double epsilon) {
                         return build_pareto_front(table, epsilon);
                     });
}

PyObject* create_random_points(PyObject*, PyObject* args, PyObject* kwargs) {
    return run_entry(kCreateRandomPoints, args, kwargs, extract_u32,
                     [](const DataTable& table, std::uint32_t n_points) {
                         return generate_random_points(table, n_points);
                     });
}

PyMethodDef find_pareto_front_def = {
    "find_pareto_front", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(find_pareto_front)),
    METH_VARARGS | METH_KEYWORDS, "find_pareto_front(data, epsilon)\n--\n\n"};

PyMethodDef create_random_points_def = {
    "create_random_points",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(create_random_points)),
    METH_VARARGS | METH_KEYWORDS, "create_random_points(data, n_points)\n--\n\n"};

// The exception currently pending, described as "TypeName: text"; clears it.
std::string describe_pending_exception() {
    const PendingException pending = take_pending_exception();
    if (!pending.type) return "<unknown>: ";
    return type_attribute_text(pending.type.get(), "__name__").value_or("<unknown>") + ": " +
           object_text(pending.value.get());
}

// The module's __all__ list, created when missing. Null with an exception
// set on failure.
PyRef all_list(PyObject* module) {
    PyRef all(PyObject_GetAttrString(module, "__all__"));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return PyRef();
        PyErr_Clear();
        all = PyRef(PyList_New(0));
        if (!all || PyObject_SetAttrString(module, "__all__", all.get()) < 0) return PyRef();
        return all;
    }
    if (!(PyType_GetFlags(Py_TYPE(all.get())) & Py_TPFLAGS_LIST_SUBCLASS)) {
        PyErr_SetString(PyExc_TypeError, "__all__ must be a list");
        return PyRef();
    }
    return all;
}

// Lists the name in __all__, then sets the attribute.
bool add_to_module(PyObject* module, PyObject* name, PyObject* object) {
    const PyRef all = all_list(module);
    if (!all) return false;
    if (PyList_Append(all.get(), name) < 0)
        fail("could not append __name__ to __all__: " + describe_pending_exception());
    return PyObject_SetAttr(module, name, object) == 0;
}

bool add_function(PyObject* module, PyMethodDef* definition) {
    PyRef function;
    {
        const PyRef module_name(PyModule_GetNameObject(module));
        if (!module_name) return false;
        function = PyRef(PyCMethod_New(definition, module, module_name.get(), nullptr));
    }
    if (!function) return false;
    const PyRef name(PyObject_GetAttrString(function.get(), "__name__"));
    if (!name) return false;
    if (!PyUnicode_Check(name.get())) {
        PyErr_SetString(PyExc_TypeError, "function __name__ must be a str");
        return false;
    }
    return add_to_module(module, name.get(), function.get());
}

int exec_module(PyObject* module) {
    return run_at_boundary(-1, [module] {
        if (!PyModule_Check(module)) {
            PyErr_SetString(PyExc_TypeError, "expected a module object");
            return -1;
        }
        PyObject* type = solution_type();
        if (type == nullptr) return -1;
        const PyRef class_name(PyUnicode_FromString("ParetoFrontSolution"));
        if (!class_name || !add_to_module(module, class_name.get(), type)) return -1;
        if (!add_function(module, &find_pareto_front_def)) return -1;
        if (!add_function(module, &create_random_points_def)) return -1;
        return 0;
    });
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
    {0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "quorvel",
    "Interpreter extension module that finds approximate Pareto fronts of discrete "
    "multi-objective selection problems.",
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

}  // namespace quorvel::binding

PyMODINIT_FUNC PyInit_quorvel(void) {
    return PyModuleDef_Init(&quorvel::binding::module_definition);
}
