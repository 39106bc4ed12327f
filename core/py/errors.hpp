// Errors on their way up: raising the interpreter's exceptions, and the notes that say what an
// error means in the engineer's terms.
#pragma once

#include <pybind11/pybind11.h>

#include <optional>
#include <string>

#include "awb/error_kind.hpp"

namespace awb::py_ {

namespace py = pybind11;

// Adds a note to an exception on its way up: what it means in the engineer's terms. A
// command shows the first note as its one line about the failure.
void add_note(py::error_already_set& e, const std::string& note);
std::optional<std::string> first_note(const py::error_already_set& e);

// A tool's words on a cause the core has noted already: the note in place of the first one
// (added when the error has none).
void replace_first_note(py::error_already_set& e, const std::string& note);

// Raises the interpreter's exception of the given type with a message.
[[noreturn]] void raise(PyObject* type, const std::string& message);

// The same, with a note for the engineer added (see add_note).
[[noreturn]] void raise_noted(PyObject* type, const std::string& message, const std::string& note);

// Raises an exception object made on the C++ side (an OSError with its errno and file name).
[[noreturn]] void raise_object(const py::object& error);

// An OSError's errno; 0 for any other error, or one without a number.
int error_number(const py::error_already_set& e);

// The exception's type name.
std::string type_name(const py::error_already_set& e);

// What the error is, for the tools' rules: its classes, errno, type and message, and the cause
// the core noted on it.
ErrorKind error_kind(const py::error_already_set& e);

// The exception in its own words on one line: "TypeName: message", or its type's name when it
// has no message.
std::string described(const py::error_already_set& e);

}  // namespace awb::py_
