#include "text_files.hpp"

#include "awb/file_modes.hpp"
#include "awb/text_files.hpp"
#include "errors.hpp"
#include "os_calls.hpp"
#include "strings.hpp"

namespace awb::py_ {
namespace {

void refuse_unless_plain_file(const Namespace& ns, py::handle path) {
    Os os(ns);
    FileKind kind = file_kind(os.stat(path).attr("st_mode").cast<std::uint32_t>());
    if (kind == FileKind::kPlain) return;
    if (kind == FileKind::kFolder) {
        py::object eisdir = py::module_::import("errno").attr("EISDIR");
        raise_object(py::reinterpret_borrow<py::object>(PyExc_IsADirectoryError)(
            eisdir, os.module().attr("strerror")(eisdir), path));
    }
    raise(PyExc_OSError, not_plain_file_message(kind, text_of(py::repr(path))));
}

// Runs `read` on an open file and closes the file, also when reading fails.
py::object read_and_close(const py::object& file, const std::function<py::object(const py::object&)>& read) {
    py::object result;
    try {
        result = read(file);
    } catch (py::error_already_set&) {
        close_quietly(file);
        throw;
    }
    file.attr("close")();
    return result;
}

}  // namespace

py::object open_text(const Namespace& ns, py::handle path) {
    refuse_unless_plain_file(ns, path);
    py::object open = ns.lookup("open");
    py::object head = read_and_close(open(path, "rb"),
                                     [](const py::object& raw) { return raw.attr("read")(kLongestMark); });
    std::string_view encoding = encoding_of_mark(std::string(head.cast<py::bytes>()));
    if (encoding.empty()) return open(path, "r");
    return open(path, "r", py::arg("encoding") = py::str(encoding.data(), encoding.size()));
}

py::object read_bytes(const Namespace& ns, py::handle path) {
    return read_and_close(ns.lookup("open")(path, "rb"),
                          [](const py::object& raw) { return raw.attr("read")(); });
}

py::object read_lines(const Namespace& ns, py::handle path, const std::function<void(py::handle)>& on_open) {
    py::object file = open_text(ns, path);
    if (on_open) on_open(file);
    return read_and_close(file, [](const py::object& text) { return text.attr("readlines")(); });
}

std::string tried_encoding(py::error_already_set& e) {
    if (e.matches(PyExc_UnicodeDecodeError)) return py::str(e.value().attr("encoding")).cast<std::string>();
    return py::module_::import("locale").attr("getpreferredencoding")(false).cast<std::string>();
}

std::string undecodable_text(py::error_already_set& e, const std::string& path) {
    return awb::undecodable_text(path, tried_encoding(e));
}

}  // namespace awb::py_
