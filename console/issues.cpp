// Issue notes: the current picture's note from the capture list, cleaned for the workbook
// (the rules: issue_notes).
#include <vector>

#include "console.hpp"
#include "issue_notes.hpp"
#include "os_calls.hpp"
#include "strings.hpp"
#include "text_files.hpp"

namespace awb::console {
namespace {

constexpr const char* kNoNote = "无";
constexpr const char* kListMissing = "rawfilename.txt 文件不存在!";
constexpr const char* kNoteLabel = "\n问题:";

}  // namespace

py::object pic_issues_raw(py::handle pic_file) {
    const py_::Namespace& ns = kLumvik;
    ustring picture = py_::to_ustring(pic_file);
    py::object list = ns.get("rawfilename_txt");
    if (!py_::exists(ns, list)) {
        ns.print(kListMissing);
        return py::str(kNoNote);
    }
    std::vector<ustring> lines;
    for (py::handle line : py_::read_lines(ns, list)) lines.push_back(py_::to_ustring(line));
    std::optional<std::size_t> found = find_issue_line(lines, picture);
    if (!found) {
        ns.print(py::str(kNoteLabel) + py::str(kNoNote));
        return py::str(kNoNote);
    }
    py::str note = py_::to_str(clean_issue_note(lines[*found], py_::to_ustring(ns.get("digits"))));
    ns.print(py::str(kNoteLabel) + py_::echo(note));
    return std::move(note);
}

}  // namespace awb::console
