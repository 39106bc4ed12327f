// Working on the interpreter's objects from the C++ side: a module's namespace read by name
// at call time, and texts passed between the interpreter and the core.
#pragma once

#include <pybind11/pybind11.h>

#include <functional>
#include <optional>
#include <string>

#include "awb/text.hpp"

namespace awb::py_ {

namespace py = pybind11;

// A module's global names, looked up when they are used, so that a caller who rebinds
// `Module.name` changes what the module's functions see. A missing name raises the
// interpreter's NameError, as a function of the module would.
class Namespace {
public:
    explicit constexpr Namespace(const char* module_name) : module_name_(module_name) {}

    const char* name() const { return module_name_; }
    py::module_ module() const;
    py::object get(const char* name) const;          // a module global
    py::object lookup(const char* name) const;       // a global, else the builtin of that name
    void set(const char* name, py::handle value) const;

    // print(*args) through the print the module sees.
    template <class... Args>
    void print(Args&&... args) const {
        lookup("print")(std::forward<Args>(args)...);
    }

private:
    const char* module_name_;
};

// Texts: the interpreter's str and the core's UTF-32.
ustring to_ustring(py::handle text);  // TypeError unless `text` is a str
py::str to_str(uview text);
py::str to_str(const std::string& utf8);

// Calls fn(units, length) with the code units of a str in their own width (1, 2 or 4 bytes),
// without copying.
template <class Fn>
decltype(auto) with_code_units(py::handle text, Fn&& fn) {
    PyObject* s = text.ptr();
    auto length = static_cast<std::size_t>(PyUnicode_GET_LENGTH(s));
    switch (PyUnicode_KIND(s)) {
    case PyUnicode_1BYTE_KIND:
        return fn(PyUnicode_1BYTE_DATA(s), length);
    case PyUnicode_2BYTE_KIND:
        return fn(PyUnicode_2BYTE_DATA(s), length);
    default:
        return fn(PyUnicode_4BYTE_DATA(s), length);
    }
}

// The interpreter's text of any object (str(value)), as UTF-8.
std::string text_of(py::handle value);

// os.path.exists through the module's own `os`.
bool exists(const Namespace& ns, py::handle path);

// A text file opened for reading through the module's own open. Only a plain file is opened
// (checked before opening, so that a FIFO never blocks): a folder raises IsADirectoryError,
// anything else (a FIFO, a device, a socket) an OSError naming what it is. A text that starts
// with a UTF-8 byte-order mark is read without it ("utf-8-sig"), one that starts with a UTF-16
// mark as UTF-16; any other keeps the platform's default encoding (open(path, "r")).
py::object open_text(const Namespace& ns, py::handle path);

// All the bytes of a file, opened with the module's own open(path, "rb") and closed again, also
// when reading fails.
py::object read_bytes(const Namespace& ns, py::handle path);

// All lines of a text file, opened with open_text and closed again, also when reading fails.
// `on_open` sees the file object before it is read.
py::object read_lines(const Namespace& ns, py::handle path,
                      const std::function<void(py::handle)>& on_open = {});

// "<path> 不是 <encoding> 编码的文本": what a text that cannot be decoded is, in the engineer's
// terms, with the encoding that was tried (the decoder's, else the platform's default).
std::string undecodable_text(py::error_already_set& e, const std::string& path);

// A user's text as the console echoes it: cut to awb::kEchoLength characters and "…".
py::str echo(py::handle text);

// Adds a note to an exception on its way up: what it means in the engineer's terms. A
// command shows the first note as its one line about the failure.
void add_note(py::error_already_set& e, const std::string& note);
std::optional<std::string> first_note(const py::error_already_set& e);

// Raises the interpreter's exception of the given type with a message.
[[noreturn]] void raise(PyObject* type, const std::string& message);

// The same, with a note for the engineer added (see add_note).
[[noreturn]] void raise_noted(PyObject* type, const std::string& message, const std::string& note);

}  // namespace awb::py_
