// Issue notes: the current picture's note from the capture list, cleaned for the workbook.
#include "console.hpp"
#include "rules.hpp"

namespace awb::console {
namespace {

constexpr const char* kNoNote = "无";
constexpr const char* kListMissing = "rawfilename.txt 文件不存在!";
constexpr const char* kNoteLabel = "\n问题:";

}  // namespace

py::object pic_issues_raw(py::handle pic_file) {
    const py_::Namespace& ns = kLumvik;
    ustring key = issue_key(py_::to_ustring(pic_file));
    py::object list = ns.get("rawfilename_txt");
    if (!py_::exists(ns, list)) {
        ns.print(kListMissing);
        return py::str(kNoNote);
    }
    for (py::handle line : py_::read_lines(ns, list)) {
        ustring text = py_::to_ustring(line);
        if (!contains(text, key)) continue;
        py::str note = py_::to_str(clean_issue_note(text, py_::to_ustring(ns.get("digits"))));
        ns.print(py::str(kNoteLabel) + note);
        return std::move(note);
    }
    ns.print(py::str(kNoteLabel) + py::str(kNoNote));
    return py::str(kNoNote);
}

}  // namespace awb::console
