#include "namespace.hpp"

namespace awb::py_ {

py::module_ Namespace::module() const {
    PyObject* found = PyImport_GetModule(py::str(module_name_).ptr());
    if (found) return py::reinterpret_steal<py::module_>(found);
    if (PyErr_Occurred()) throw py::error_already_set();
    return py::module_::import(module_name_);
}

namespace {

py::object global(const py::module_& mod, const char* name) {
    PyObject* value = PyDict_GetItemString(PyModule_GetDict(mod.ptr()), name);
    return value ? py::reinterpret_borrow<py::object>(value) : py::object();
}

[[noreturn]] void not_defined(const char* name) {
    PyErr_Format(PyExc_NameError, "name '%s' is not defined", name);
    throw py::error_already_set();
}

}  // namespace

py::object Namespace::get(const char* name) const {
    py::object value = global(module(), name);
    if (!value) not_defined(name);
    return value;
}

py::object Namespace::lookup(const char* name) const {
    py::object value = global(module(), name);
    if (value) return value;
    PyObject* builtin = PyDict_GetItemString(PyEval_GetBuiltins(), name);
    if (!builtin) not_defined(name);
    return py::reinterpret_borrow<py::object>(builtin);
}

void Namespace::set(const char* name, py::handle value) const { module().attr(name) = value; }

}  // namespace awb::py_
