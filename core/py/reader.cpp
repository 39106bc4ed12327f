#include "reader.hpp"

#include "awb/tag_rule.hpp"

namespace awb::py_ {
namespace {

TextMemory* g_text_memory = nullptr;

constexpr const char* kMissingDump = "exif文件不存在： %s";
constexpr const char* kDumpFolder = "./EXIF/";

py::object report_missing_dump(const Namespace& ns, const py::object& path) {
    if (ns.get("exif_file_flage").equal(py::int_(0))) {
        ns.print(py::str(kMissingDump).attr("__mod__")(path));
        ns.set("exif_file_flage", py::int_(1));
    }
    py::object missing = ns.get("no_exif_list");
    if (py::len(missing) != 0 && py::object(missing[py::int_(-1)]).not_equal(path)) {
        missing.attr("append")(path);
    }
    return py::int_(0);
}

}  // namespace

py::object scan_lines(const Namespace& ns, py::handle lines, py::handle tag) {
    ustring wanted;
    bool tag_checked = false;
    py::object to_int;
    py::object result = py::int_(0);
    for (py::handle line : py::iter(lines)) {
        if (!tag_checked) {
            if (!PyUnicode_Check(tag.ptr())) {
                raise(PyExc_TypeError,
                      std::string("'in <string>' requires string as left operand, not ") +
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
    }
    return result;
}

py::object read_tag_from_open_text(const Namespace& ns, py::handle tag) {
    py::object fp = ns.get("fp");
    TextMemory* memory = g_text_memory;
    if (memory && memory->source.is(fp)) return scan_lines(ns, memory->lines, tag);
    fp.attr("seek")(0, ns.get("os").attr("SEEK_SET"));
    py::object lines = fp.attr("readlines")();
    if (memory) {
        memory->source = fp;
        memory->lines = lines;
    }
    return scan_lines(ns, lines, tag);
}

py::object read_tag_from_dump(const Namespace& ns, py::handle tag) {
    py::object path = py::str(kDumpFolder) + ns.get("Target_Awb_Target_Pic");
    TextMemory* memory = g_text_memory;
    if (memory && memory->source && memory->source.equal(path)) {
        if (memory->lines.is_none()) return report_missing_dump(ns, path);
        return scan_lines(ns, memory->lines, tag);
    }
    if (!ns.get("os").attr("path").attr("exists")(path).cast<bool>()) {
        if (memory) {
            memory->source = path;
            memory->lines = py::none();
        }
        return report_missing_dump(ns, path);
    }
    py::object lines = read_lines(ns, path, [&](py::handle dump) { ns.set("fp", dump); });
    if (memory) {
        memory->source = path;
        memory->lines = lines;
    }
    return scan_lines(ns, lines, tag);
}

TextMemory::TextMemory() : outer_(g_text_memory) { g_text_memory = this; }
TextMemory::~TextMemory() { g_text_memory = outer_; }

}  // namespace awb::py_
