// Issue notes: the current picture's note from the capture list, cleaned for the workbook
// (the rules: issue_notes).
#include <vector>

#include "console.hpp"
#include "issue_notes.hpp"
#include "os_calls.hpp"
#include "strings.hpp"
#include "text_files.hpp"

namespace awb::console {

py::object pic_issues_raw(py::handle pic_file) {
    const py_::Namespace& ns = kLumvik;
    ustring picture = py_::to_ustring(pic_file);
    py::object list = ns.get("rawfilename_txt");
    if (!py_::exists(ns, list)) {
        ns.print(kListMissing);
        return py_::to_str(kNoIssueNote);
    }
    std::vector<ustring> lines;
    for (py::handle line : py_::read_lines(ns, list)) lines.push_back(py_::to_ustring(line));
    ShownNote shown = shown_issue_note(lines, picture, py_::to_ustring(ns.get("digits")));
    ns.print(py_::to_str(shown.line));
    return py_::to_str(shown.note);
}

}  // namespace awb::console
