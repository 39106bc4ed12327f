#include "namespace.hpp"

#include <cstring>
#include <vector>

namespace awb::py_ {

namespace {

// The interpreter's interned text of a name, made once per name: a lookup by it makes no new
// text and hashes nothing. Names are the callers' literals, found by their address (and checked
// by their text, should an address be reused); the texts stay for the life of the process. A
// caller uses the text at once and keeps no hold of it.
constexpr std::size_t kMostNames = 256;

PyObject* interned(const char* name) {
    struct Made {
        const char* name;
        PyObject* text;
    };
    static std::vector<Made> made;
    for (const Made& entry : made) {
        if (entry.name == name && std::strcmp(PyUnicode_AsUTF8(entry.text), name) == 0) return entry.text;
    }
    PyObject* text = PyUnicode_InternFromString(name);
    if (!text) throw py::error_already_set();
    if (made.size() == kMostNames) {  // names made at run time: start afresh rather than grow
        for (const Made& entry : made) Py_DECREF(entry.text);
        made.clear();
    }
    made.push_back({name, text});
    return text;
}

py::object global(const py::module_& mod, const char* name) {
    if (!PyModule_Check(mod.ptr())) {  // something else put in sys.modules under the module's name
        return py::getattr(mod, py::handle(interned(name)), py::object());
    }
    PyObject* value = PyDict_GetItemWithError(PyModule_GetDict(mod.ptr()), interned(name));
    if (!value && PyErr_Occurred()) throw py::error_already_set();
    return value ? py::reinterpret_borrow<py::object>(value) : py::object();
}

}  // namespace

// The module as sys.modules holds it now (looked up there directly: the import machinery's own
// lookup also asks the module whether it is still being imported, which costs more than the
// rest of a global's lookup).
py::module_ Namespace::module() const {
    PyObject* modules = PyImport_GetModuleDict();
    PyObject* found = PyDict_CheckExact(modules) ? PyDict_GetItemWithError(modules, interned(module_name_))
                                                 : PyImport_GetModule(interned(module_name_));
    if (found && PyDict_CheckExact(modules)) return py::reinterpret_borrow<py::module_>(found);
    if (found) return py::reinterpret_steal<py::module_>(found);
    if (PyErr_Occurred()) throw py::error_already_set();
    return py::module_::import(module_name_);
}

namespace {

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
    PyObject* builtin = PyDict_GetItemWithError(PyEval_GetBuiltins(), interned(name));
    if (!builtin && PyErr_Occurred()) throw py::error_already_set();
    if (!builtin) not_defined(name);
    return py::reinterpret_borrow<py::object>(builtin);
}

void Namespace::set(const char* name, py::handle value) const { module().attr(name) = value; }

void Namespace::print_line(const py::tuple& args) const {
    py::object print = lookup("print");
    try {
        print(*args);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_UnicodeEncodeError)) throw;
        py::object encoding = py::getattr(py::module_::import("sys").attr("stdout"), "encoding", py::none());
        if (encoding.is_none()) throw;
        py::list shown;
        for (py::handle arg : args) {
            shown.append(py::str(arg).attr("encode")(encoding, "replace").attr("decode")(encoding));
        }
        print(*shown);
    }
}

void bind_workbook_packages(py::module_& m) {
    m.attr(globals::np) = py::module_::import("numpy");
    m.attr(globals::xlwt) = py::module_::import("xlwt");
    m.attr(globals::xlrd) = py::module_::import("xlrd");
    m.attr(globals::copy) = py::module_::import("xlutils.copy").attr("copy");
    m.attr(globals::filelock) = py::module_::import("filelock");
}

}  // namespace awb::py_
