#include "strings.hpp"

#include "errors.hpp"

namespace awb::py_ {

ustring to_ustring(py::handle text) {
    if (!PyUnicode_Check(text.ptr())) {
        raise(PyExc_TypeError, std::string("expected str, got ") + Py_TYPE(text.ptr())->tp_name);
    }
    return with_code_units(
        text, [](const auto* units, std::size_t length) { return ustring(units, units + length); });
}

py::str to_str(uview text) {
    PyObject* s =
        PyUnicode_FromKindAndData(PyUnicode_4BYTE_KIND, text.data(), static_cast<Py_ssize_t>(text.size()));
    if (!s) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

py::str to_str(const std::string& utf8) { return py::str(utf8); }

std::string text_of(py::handle value) { return py::str(value).cast<std::string>(); }

py::object percent(const char* pattern, py::handle values) {
    return py::str(pattern).attr("__mod__")(values);
}

py::str echo(py::handle text) { return to_str(awb::echo(to_ustring(text))); }

}  // namespace awb::py_
