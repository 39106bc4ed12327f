#include "pyutil.hpp"

namespace awb::py_ {

py::module_ Namespace::module() const {
    PyObject* found = PyImport_GetModule(py::str(module_name_).ptr());
    if (found) return py::reinterpret_steal<py::module_>(found);
    if (PyErr_Occurred()) throw py::error_already_set();
    return py::module_::import(module_name_);
}

py::object Namespace::get(const char* name) const {
    py::module_ mod = module();
    PyObject* value = PyDict_GetItemString(PyModule_GetDict(mod.ptr()), name);
    if (!value) {
        PyErr_Format(PyExc_NameError, "name '%s' is not defined", name);
        throw py::error_already_set();
    }
    return py::reinterpret_borrow<py::object>(value);
}

py::object Namespace::lookup(const char* name) const {
    py::module_ mod = module();
    PyObject* value = PyDict_GetItemString(PyModule_GetDict(mod.ptr()), name);
    if (value) return py::reinterpret_borrow<py::object>(value);
    PyObject* builtin = PyDict_GetItemString(PyEval_GetBuiltins(), name);
    if (!builtin) {
        PyErr_Format(PyExc_NameError, "name '%s' is not defined", name);
        throw py::error_already_set();
    }
    return py::reinterpret_borrow<py::object>(builtin);
}

void Namespace::set(const char* name, py::handle value) const {
    module().attr(name) = value;
}

ustring to_ustring(py::handle text) {
    if (!PyUnicode_Check(text.ptr())) {
        raise(PyExc_TypeError, std::string("expected str, got ") + Py_TYPE(text.ptr())->tp_name);
    }
    return with_code_units(text, [](const auto* units, std::size_t length) {
        return ustring(units, units + length);
    });
}

py::str to_str(uview text) {
    PyObject* s = PyUnicode_FromKindAndData(PyUnicode_4BYTE_KIND, text.data(),
                                            static_cast<Py_ssize_t>(text.size()));
    if (!s) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

py::str to_str(const std::string& utf8) { return py::str(utf8); }

bool exists(const Namespace& ns, py::handle path) {
    return ns.get("os").attr("path").attr("exists")(path).cast<bool>();
}

py::object read_lines(const Namespace& ns, py::handle path,
                      const std::function<void(py::handle)>& on_open) {
    py::object file = ns.lookup("open")(path, "r");
    if (on_open) on_open(file);
    py::object lines;
    try {
        lines = file.attr("readlines")();
    } catch (py::error_already_set&) {
        try {
            file.attr("close")();
        } catch (py::error_already_set&) {
            // the read error is the one to report
        }
        throw;
    }
    file.attr("close")();
    return lines;
}

void add_note(py::error_already_set& e, const std::string& note) {
    py::object error = e.value();
    if (py::hasattr(error, "add_note")) {
        error.attr("add_note")(note);
    } else if (py::hasattr(error, "__dict__")) {
        error.attr("__notes__") = py::list(py::make_tuple(note));
    }
}

std::optional<std::string> first_note(const py::error_already_set& e) {
    py::object notes = py::getattr(e.value(), "__notes__", py::none());
    if (notes.is_none() || py::len(notes) == 0) return std::nullopt;
    return py::str(notes[py::int_(0)]).cast<std::string>();
}

void raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

}  // namespace awb::py_
