#include "errors.hpp"

#include "awb/text.hpp"

namespace awb::py_ {

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

void raise_noted(PyObject* type, const std::string& message, const std::string& note) {
    try {
        raise(type, message);
    } catch (py::error_already_set& e) {
        add_note(e, note);
        throw;
    }
}

void raise_object(const py::object& error) {
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

int error_number(const py::error_already_set& e) {
    if (!e.matches(PyExc_OSError)) return 0;
    py::object number = py::getattr(e.value(), "errno", py::none());
    return PyLong_Check(number.ptr()) ? number.cast<int>() : 0;
}

std::string type_name(const py::error_already_set& e) {
    return py::str(e.type().attr("__name__")).cast<std::string>();
}

std::string described(const py::error_already_set& e) {
    std::string message = py::str(e.value()).cast<std::string>();
    return error_in_own_words(type_name(e), message);
}

}  // namespace awb::py_
