#include "strings.hpp"

#include "awb/file_names.hpp"
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

std::string text_of(py::handle value) {
    py::str text(value);
    Py_ssize_t size = 0;
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(text.ptr(), &size)) return std::string(utf8, size);
    PyErr_Clear();  // a lone surrogate
    py::object bytes =
        py::reinterpret_steal<py::object>(PyUnicode_AsEncodedString(text.ptr(), "utf-8", "backslashreplace"));
    if (!bytes) throw py::error_already_set();
    return std::string(bytes.cast<py::bytes>());
}

char32_t upper_case(char32_t c) { return static_cast<char32_t>(Py_UNICODE_TOUPPER(static_cast<Py_UCS4>(c))); }

ustring readable_file_name(py::handle name) {
    ustring text = to_ustring(name);
    if (is_text(text)) return text;
    std::optional<OtherReading> reading;
    try {
        py::object raw = py::module_::import("os").attr("fsencode")(name);
        reading = OtherReading{to_ustring(raw.attr("decode")("gbk")), "GBK"};
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_ValueError)) throw;  // bytes that are no GBK text either
    }
    return readable_name(text, reading);
}

py::object percent(const char* pattern, py::handle values) {
    return py::str(pattern).attr("__mod__")(values);
}

py::str echo(py::handle text) { return to_str(awb::echo(to_ustring(text))); }

}  // namespace awb::py_
