// The quorvel module: its definition, exec step and the two entry functions.
#include "python_api.hpp"

#include <string>
#include <utility>
#include <variant>

#include "arguments.hpp"
#include "object_text.hpp"
#include "panic.hpp"
#include "pareto/cancellation.hpp"
#include "pareto/data_table.hpp"
#include "pareto/internal_failure.hpp"
#include "pareto/pareto_front.hpp"
#include "pareto/random_points.hpp"
#include "pending_exception.hpp"
#include "py_ref.hpp"
#include "solution_type.hpp"

namespace quorvel::binding {

namespace {

// Asked by long computations: a signal handler that raised (KeyboardInterrupt
// for Ctrl-C) ends the call with its exception.
bool signal_handler_raised() { return PyErr_CheckSignals() < 0; }

// A new list of ParetoFrontSolution objects, one per record. The records'
// memory goes as they are copied, not once all are.
PyRef solution_list(SolutionList records) {
    PyRef list = PyRef::steal_or_throw(PyList_New(static_cast<Py_ssize_t>(records.size())));
    CancellationCounter interruptible;
    Py_ssize_t i = 0;
    records.drain([&](const SolutionRecord& record) {
        PyList_SetItem(list.get(), i++, new_solution(record).release());
        interruptible.add(1);
    });
    return list;
}

// Both entry functions: bind, convert data, convert the second argument,
// validate the table, compute, and hand the records to Python. Failures are
// reported in that order.
template <class Convert, class Compute>
PyObject* run_entry(const FunctionDescription& description, PyObject* args, PyObject* kwargs,
                    Convert convert_second, Compute compute) {
    return run_at_boundary<PyObject*>(nullptr, [&] {
        const CancellationScope interruptible(signal_handler_raised);
        ArgumentSlots slots;
        extract_arguments_tuple_dict(description, args, kwargs, slots);
        NestedValues data = extract_argument(slots[0], description.parameter_names[0]);
        const auto second = convert_argument(description.parameter_names[1],
                                             [&] { return convert_second(slots[1]); });
        auto table = DataTable::create(std::move(data));
        if (const auto* error = std::get_if<DataTableError>(&table))
            throw_python_error(PyExc_ValueError, error->message().c_str());
        SolutionList records = [&] {
            const DataTable released_before_conversion = std::get<DataTable>(std::move(table));
            return compute(released_before_conversion, second);
        }();
        return solution_list(std::move(records)).release();
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

// The module's __all__ list, created when missing.
PyRef all_list(PyHandle module) {
    PyRef all = PyRef::steal(PyObject_GetAttrString(module.get(), "__all__"));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw PythonErrorSet{};
        PyErr_Clear();
        all = PyRef::steal_or_throw(PyList_New(0));
        throw_if_failed(PyObject_SetAttrString(module.get(), "__all__", all.get()));
        return all;
    }
    if (!(PyType_GetFlags(Py_TYPE(all.get())) & Py_TPFLAGS_LIST_SUBCLASS))
        throw_python_error(PyExc_TypeError, "__all__ must be a list");
    return all;
}

// Lists the name in __all__, then sets the attribute.
void add_to_module(PyHandle module, PyHandle name, PyHandle object) {
    const PyRef all = all_list(module);
    if (PyList_Append(all.get(), name.get()) < 0)
        fail("could not append __name__ to __all__: " + describe_pending_exception());
    throw_if_failed(PyObject_SetAttr(module.get(), name.get(), object.get()));
}

void add_function(PyHandle module, PyMethodDef* definition) {
    const PyRef module_name = PyRef::steal_or_throw(PyModule_GetNameObject(module.get()));
    const PyRef function = PyRef::steal_or_throw(
        PyCMethod_New(definition, module.get(), module_name.get(), nullptr));
    const PyRef name = PyRef::steal_or_throw(PyObject_GetAttrString(function.get(), "__name__"));
    if (!PyUnicode_Check(name.get()))
        throw_python_error(PyExc_TypeError, "function __name__ must be a str");
    add_to_module(module, name, function);
}

int exec_module(PyObject* module) {
    return run_at_boundary(-1, [module] {
        if (!PyModule_Check(module)) throw_python_error(PyExc_TypeError, "expected a module object");
        const PyHandle type = solution_type();
        const PyRef class_name = PyRef::steal_or_throw(PyUnicode_FromString("ParetoFrontSolution"));
        add_to_module(module, class_name, type);
        add_function(module, &find_pareto_front_def);
        add_function(module, &create_random_points_def);
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
