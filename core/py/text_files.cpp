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

// The first bytes of a file's bytes, where a byte-order mark would stand.
std::string mark_of(py::handle bytes) {
    return py::reinterpret_borrow<py::object>(bytes)[py::slice(0, kLongestMark, 1)].cast<py::bytes>();
}

// The system's own encoding, whatever the interpreter's UTF-8 mode, as the codec registry names
// it ("gbk" for a Chinese Windows desk's cp936); empty when the registry does not know it.
std::string system_encoding() {
    py::module_ locale = py::module_::import("locale");
    py::object name;
    if (py::hasattr(locale, "getencoding")) {
        name = locale.attr("getencoding")();
    } else {  // an interpreter before 3.11: the ANSI code page on Windows, else the locale's
        py::module_ own = py::module_::import("_locale");
        name = py::hasattr(own, "_getdefaultlocale")
                   ? py::object(own.attr("_getdefaultlocale")()[py::int_(1)])
                   : locale.attr("getpreferredencoding")(false);
    }
    try {
        return py::module_::import("codecs").attr("lookup")(name).attr("name").cast<std::string>();
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_LookupError) && !e.matches(PyExc_TypeError)) throw;
        return {};
    }
}

}  // namespace

py::object open_debug_text(const Namespace& ns, py::handle path) {
    refuse_unless_plain_file(ns, path);
    py::object open = ns.lookup("open");
    auto encoding_of = [](const py::object& head) {
        std::string_view marked = encoding_of_mark(mark_of(head));
        return marked.empty() ? py::str(kDebugTextEncoding) : py::str(marked.data(), marked.size());
    };
    py::module_ io = py::module_::import("io");
    if (open.is(io.attr("open"))) {
        // The interpreter's own open: the file is opened once, its mark looked at in the
        // buffer, and the text read through the same buffer, as open(path, "r", ...) reads it.
        py::object raw = open(path, "rb");
        try {
            py::object encoding = encoding_of(raw.attr("peek")(kLongestMark));
            py::object text = io.attr("TextIOWrapper")(raw, py::arg("encoding") = encoding,
                                                       py::arg("errors") = kDebugTextErrors);
            text.attr("mode") = "r";  // as open() marks the text files it makes
            return text;
        } catch (py::error_already_set&) {
            close_quietly(raw);
            throw;
        }
    }
    py::object head = read_and_close(open(path, "rb"),
                                     [](const py::object& raw) { return raw.attr("read")(kLongestMark); });
    return open(path, "r", py::arg("encoding") = encoding_of(head), py::arg("errors") = kDebugTextErrors);
}

py::object read_bytes(const Namespace& ns, py::handle path) {
    return read_and_close(ns.lookup("open")(path, "rb"),
                          [](const py::object& raw) { return raw.attr("read")(); });
}

py::object read_debug_lines(const Namespace& ns, py::handle path,
                            const std::function<void(py::handle)>& on_open) {
    py::object file = open_debug_text(ns, path);
    if (on_open) on_open(file);
    return read_and_close(file, [](const py::object& text) { return text.attr("readlines")(); });
}

py::object read_text_lines(const Namespace& ns, py::handle path, std::vector<std::string>* tried) {
    refuse_unless_plain_file(ns, path);
    py::object bytes = read_bytes(ns, path);
    std::vector<std::string> encodings = text_encodings(mark_of(bytes), system_encoding());
    py::module_ io = py::module_::import("io");
    for (std::size_t i = 0;; ++i) {
        try {
            // Decoded as open(path, "r", encoding=...) would: line ends read as "\n".
            return io.attr("TextIOWrapper")(io.attr("BytesIO")(bytes), py::arg("encoding") = encodings[i])
                .attr("readlines")();
        } catch (py::error_already_set& e) {
            if (!e.matches(PyExc_UnicodeDecodeError) || i + 1 == encodings.size()) {
                if (tried) *tried = encodings;
                throw;
            }
        }
    }
}

}  // namespace awb::py_
