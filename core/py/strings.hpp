// Texts passed between the interpreter and the core: the interpreter's str and the core's UTF-32.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "awb/text.hpp"

namespace awb::py_ {

namespace py = pybind11;

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

// The interpreter's text of any object (str(value)), as UTF-8. A character that is no text (a
// byte of a file name that the system's encoding could not decode) is written as "\udcXX".
std::string text_of(py::handle value);

// A letter's upper case as the interpreter maps it, one character to one: names compared as a
// Windows desk compares them (awb::CaseMap).
char32_t upper_case(char32_t c);

// A file name (or path) as a line can show it: the name when it is text, else awb::readable_name,
// with how its bytes read in GBK where they do (a name from a Chinese desk's share or archive).
ustring readable_file_name(py::handle name);

// pattern % values, as the module's own code formats its lines ("%02d %s").
py::object percent(const char* pattern, py::handle values);

// A user's text as the console echoes it: cut to awb::kEchoLength characters and "…".
py::str echo(py::handle text);

}  // namespace awb::py_
