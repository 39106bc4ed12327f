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

std::string text_of(py::handle value) { return py::str(value).cast<std::string>(); }

bool exists(const Namespace& ns, py::handle path) {
    return ns.get("os").attr("path").attr("exists")(path).cast<bool>();
}

namespace {

// What a file that is not a plain file is, for the engineer.
const char* kind_of_special_file(const py::module_& stat, py::handle mode) {
    if (stat.attr("S_ISFIFO")(mode).cast<bool>()) return "管道 (FIFO)";
    if (stat.attr("S_ISCHR")(mode).cast<bool>()) return "字符设备";
    if (stat.attr("S_ISBLK")(mode).cast<bool>()) return "块设备";
    if (stat.attr("S_ISSOCK")(mode).cast<bool>()) return "套接字";
    return "特殊文件";
}

void refuse_unless_plain_file(const Namespace& ns, py::handle path) {
    py::object os = ns.get("os");
    py::object mode = os.attr("stat")(path).attr("st_mode");
    py::module_ stat = py::module_::import("stat");
    if (stat.attr("S_ISREG")(mode).cast<bool>()) return;
    py::module_ errno_ = py::module_::import("errno");
    py::object error;
    if (stat.attr("S_ISDIR")(mode).cast<bool>()) {
        py::object eisdir = errno_.attr("EISDIR");
        error = py::reinterpret_borrow<py::object>(PyExc_IsADirectoryError)(
            eisdir, os.attr("strerror")(eisdir), path);
    } else {
        py::str message = py::str("不是普通文件, 而是{}: {!r}").format(kind_of_special_file(stat, mode), path);
        error = py::reinterpret_borrow<py::object>(PyExc_OSError)(message);
    }
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

// The encoding a byte-order mark at the start of `head` names, or None.
py::object encoding_of_mark(const py::bytes& head) {
    std::string bytes = head;
    auto starts_with = [&](const char* mark, std::size_t length) {
        return bytes.size() >= length && bytes.compare(0, length, mark, length) == 0;
    };
    if (starts_with("\xEF\xBB\xBF", 3)) return py::str("utf-8-sig");
    if (starts_with("\xFF\xFE", 2) || starts_with("\xFE\xFF", 2)) return py::str("utf-16");
    return py::none();
}

// Runs `read` on an open file and closes the file, also when reading fails.
py::object read_and_close(const py::object& file, const std::function<py::object(const py::object&)>& read) {
    py::object result;
    try {
        result = read(file);
    } catch (py::error_already_set&) {
        try {
            file.attr("close")();
        } catch (py::error_already_set&) {
            // the read error is the one to report
        }
        throw;
    }
    file.attr("close")();
    return result;
}

}  // namespace

py::object open_text(const Namespace& ns, py::handle path) {
    refuse_unless_plain_file(ns, path);
    py::object open = ns.lookup("open");
    py::object head = read_and_close(open(path, "rb"), [](const py::object& raw) { return raw.attr("read")(3); });
    py::object encoding = encoding_of_mark(head.cast<py::bytes>());
    if (encoding.is_none()) return open(path, "r");
    return open(path, "r", py::arg("encoding") = encoding);
}

py::object read_bytes(const Namespace& ns, py::handle path) {
    return read_and_close(ns.lookup("open")(path, "rb"), [](const py::object& raw) { return raw.attr("read")(); });
}

py::object read_lines(const Namespace& ns, py::handle path,
                      const std::function<void(py::handle)>& on_open) {
    py::object file = open_text(ns, path);
    if (on_open) on_open(file);
    return read_and_close(file, [](const py::object& text) { return text.attr("readlines")(); });
}

std::string undecodable_text(py::error_already_set& e, const std::string& path) {
    std::string encoding;
    if (e.matches(PyExc_UnicodeDecodeError)) {
        encoding = py::str(e.value().attr("encoding")).cast<std::string>();
    } else {
        encoding = py::module_::import("locale").attr("getpreferredencoding")(false).cast<std::string>();
    }
    return path + " 不是 " + encoding + " 编码的文本";
}

py::str echo(py::handle text) { return to_str(awb::echo(to_ustring(text))); }

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

}  // namespace awb::py_
