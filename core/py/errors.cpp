#include "errors.hpp"

#include "awb/sheets.hpp"
#include "awb/text.hpp"
#include "strings.hpp"

namespace awb::py_ {

void add_note(py::error_already_set& e, const std::string& note) {
    py::object error = e.value();
    if (py::hasattr(error, "add_note")) {
        error.attr("add_note")(note);
    } else if (py::hasattr(error, "__dict__")) {
        error.attr("__notes__") = py::list(py::make_tuple(note));
    }
}

void replace_first_note(py::error_already_set& e, const std::string& note) {
    py::object notes = py::getattr(e.value(), "__notes__", py::none());
    if (py::isinstance<py::list>(notes) && py::len(notes) != 0) {
        notes[py::int_(0)] = note;
    } else {
        add_note(e, note);
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

ErrorKind error_kind(const py::error_already_set& e) {
    ErrorKind kind;
    kind.value_error = e.matches(PyExc_ValueError);
    kind.unicode_error = e.matches(PyExc_UnicodeError);
    kind.unicode_decode_error = e.matches(PyExc_UnicodeDecodeError);
    kind.overflow_error = e.matches(PyExc_OverflowError);
    kind.index_error = e.matches(PyExc_IndexError);
    kind.os_error = e.matches(PyExc_OSError);
    kind.file_not_found = e.matches(PyExc_FileNotFoundError);
    kind.permission_error = e.matches(PyExc_PermissionError);
    if (kind.index_error) {
        std::optional<std::string> note = first_note(e);
        kind.too_few_sheets = note && tells_too_few_sheets(*note);
    }
    kind.error_number = error_number(e);
    kind.type = type_name(e);
    kind.message = text_of(e.value());
    return kind;
}

std::string described(const py::error_already_set& e) {
    std::string message = py::str(e.value()).cast<std::string>();
    return error_in_own_words(type_name(e), message);
}

}  // namespace awb::py_
