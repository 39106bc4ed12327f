#include "reader.hpp"

#include "awb/text_files.hpp"
#include "errors.hpp"
#include "os_calls.hpp"
#include "strings.hpp"
#include "text_files.hpp"

namespace awb::py_ {
namespace {

// The reader's state in a module: the innermost TextMemory and DumpPath alive, if any.
struct ReaderState {
    static constexpr const char* kAttribute = "_reader_state";
    TextMemory* text_memory = nullptr;
    DumpPath* dump_path = nullptr;
};

ReaderState& state_in(const py::capsule& capsule) { return *capsule.get_pointer<ReaderState>(); }

constexpr const char* kDumpFolder = "./EXIF/";

py::object report_missing_dump(const Namespace& ns, const py::object& path) {
    if (ns.get(globals::exif_file_flage).equal(py::int_(0))) {
        ns.print(to_str(missing_dump_line(to_ustring(path))));
        ns.set(globals::exif_file_flage, py::int_(1));
    }
    py::object missing = ns.get(globals::no_exif_list);
    if (py::len(missing) != 0 && py::object(missing[py::int_(-1)]).not_equal(path)) {
        missing.attr("append")(path);
    }
    return py::int_(0);
}

}  // namespace

py::object scan_lines(const Namespace& ns, py::handle lines, py::handle tag, bool* matched) {
    ustring wanted;
    bool tag_checked = false;
    py::object to_int;
    py::object result = py::int_(0);
    for (py::handle line : py::iter(lines)) {
        if (!tag_checked) {
            if (!PyUnicode_Check(tag.ptr())) {
                raise(PyExc_TypeError, std::string("'in <string>' requires string as left operand, not ") +
                                           Py_TYPE(tag.ptr())->tp_name);
            }
            wanted = to_ustring(tag);
            tag_checked = true;
        }
        if (!PyUnicode_Check(line.ptr())) {
            raise(PyExc_TypeError, std::string("a bytes-like object is required, not 'str'"));
        }
        auto value = with_code_units(line, [&](const auto* units, std::size_t length) {
            return tag_value(units, length, uview(wanted));
        });
        if (!value) continue;
        if (!to_int) to_int = ns.lookup("int");
        result = to_int(to_str(*value));
        if (matched) *matched = true;
    }
    return result;
}

py::object read_tag_from_open_text(const Namespace& ns, py::handle tag) {
    py::object fp = ns.get(globals::fp);
    TextMemory* memory = module_state<ReaderState>(ns).text_memory;
    if (memory && memory->source.is(fp)) return memory->scan(ns, tag);
    fp.attr("seek")(0, ns.get(globals::os).attr("SEEK_SET"));
    py::object lines = fp.attr("readlines")();
    if (!memory) return scan_lines(ns, lines, tag);
    memory->source = fp;
    memory->lines = lines;
    memory->note_read();
    return memory->scan(ns, tag);
}

py::object read_tag_from_dump(const Namespace& ns, py::handle tag) {
    const ReaderState& state = module_state<ReaderState>(ns);
    TextMemory* memory = state.text_memory;
    py::object path;
    if (state.dump_path) {
        path = state.dump_path->path;
    } else {
        py::object picture = ns.get(globals::Target_Awb_Target_Pic);
        if (memory && memory->dump_picture.is(picture)) {
            path = memory->dump_path;
        } else {
            path = py::str(kDumpFolder) + picture;
            if (memory) {
                memory->dump_picture = picture;
                memory->dump_path = path;
            }
        }
    }
    if (memory && memory->source && memory->source.equal(path)) {
        if (memory->lines.is_none()) return report_missing_dump(ns, path);
        return memory->scan(ns, tag);
    }
    if (!exists(ns, path)) {
        if (memory) {
            memory->source = path;
            memory->lines = py::none();
        }
        return report_missing_dump(ns, path);
    }
    py::object lines = read_debug_lines(ns, path, [&](py::handle dump) { ns.set(globals::fp, dump); });
    if (!memory) return scan_lines(ns, lines, tag);
    memory->source = path;
    memory->lines = lines;
    memory->note_read();
    return memory->scan(ns, tag);
}

DumpPath::DumpPath(const Namespace& ns, py::object path)
    : path(std::move(path)),
      state_(module_state_capsule<ReaderState>(ns)),
      outer_(state_in(state_).dump_path) {
    state_in(state_).dump_path = this;
}
DumpPath::~DumpPath() { state_in(state_).dump_path = outer_; }

void TextMemory::index_lines() {
    indexed_from_ = lines;
    indexed_ = py::none();
    index_ = TagLineIndex();
    if (!PyList_Check(lines.ptr()) || static_cast<std::uint64_t>(PyList_GET_SIZE(lines.ptr())) > UINT32_MAX)
        return;
    py::tuple held = py::reinterpret_steal<py::tuple>(PySequence_Tuple(lines.ptr()));
    if (!held) throw py::error_already_set();
    for (std::size_t i = 0; i < held.size(); ++i) {
        PyObject* line = PyTuple_GET_ITEM(held.ptr(), static_cast<Py_ssize_t>(i));
        if (!PyUnicode_Check(line)) return;  // the plain scan reports the line that is not a text
        with_code_units(line, [&](const auto* units, std::size_t length) {
            index_.add(static_cast<std::uint32_t>(i), units, length);
        });
    }
    indexed_ = held;
}

py::object TextMemory::scan(const Namespace& ns, py::handle tag) {
    if (!indexed_from_.is(lines)) index_lines();
    if (indexed_.is_none() || !PyUnicode_Check(tag.ptr()) || py::len(indexed_) == 0) {
        return scan_lines(ns, lines, tag, &matched_);
    }
    ustring wanted = to_ustring(tag);
    if (!TagLineIndex::covers(wanted)) return scan_lines(ns, lines, tag, &matched_);
    py::object result = py::int_(0);
    py::object to_int = ns.lookup("int");
    bool builtin_int = to_int.ptr() == reinterpret_cast<PyObject*>(&PyLong_Type);
    for (std::uint32_t i : index_.candidates(wanted)) {
        PyObject* line = PyTuple_GET_ITEM(indexed_.ptr(), static_cast<Py_ssize_t>(i));
        auto value = with_code_units(line, [&](const auto* units, std::size_t length) {
            return tag_value(units, length, uview(wanted));
        });
        if (value) {
            std::optional<std::int64_t> plain = builtin_int ? plain_integer(*value) : std::nullopt;
            result = plain ? py::int_(*plain) : to_int(to_str(*value));
            matched_ = true;
        }
    }
    return result;
}

TextMemory::TextMemory(const Namespace& ns)
    : state_(module_state_capsule<ReaderState>(ns)), outer_(state_in(state_).text_memory) {
    state_in(state_).text_memory = this;
}
TextMemory::~TextMemory() { state_in(state_).text_memory = outer_; }

}  // namespace awb::py_
