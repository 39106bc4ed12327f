// Issue notes: the current picture's note from the capture list, cleaned for the workbook
// (the rules: issue_notes).
#include <vector>

#include "awb/text_files.hpp"
#include "console.hpp"
#include "errors.hpp"
#include "issue_notes.hpp"
#include "os_calls.hpp"
#include "strings.hpp"
#include "text_files.hpp"

namespace awb::console {

py::object pic_issues_raw(py::handle pic_file) {
    const py_::Namespace& ns = kLumvik;
    ustring picture = py_::to_ustring(pic_file);
    py::object list = ns.get(globals::rawfilename_txt);
    if (!py_::exists(ns, list)) {
        ns.print(kListMissing);
        return py_::to_str(kNoIssueNote);
    }
    std::vector<ustring> lines;
    std::vector<std::string> tried;
    try {
        for (py::handle line : py_::read_text_lines(ns, list, &tried)) lines.push_back(py_::to_ustring(line));
    } catch (py::error_already_set& e) {
        if (e.matches(PyExc_UnicodeDecodeError))
            py_::add_note(e, undecodable_text(py_::text_of(list), tried));
        throw;
    }
    ShownNote shown =
        shown_issue_note(lines, picture, py_::to_ustring(ns.get(globals::digits)), py_::upper_case);
    ns.print(py_::to_str(shown.line));
    return py_::to_str(shown.note);
}

}  // namespace awb::console
