// Result discovery: the newest text of the simulator's results folder names the current
// picture, and its AWB debug-information text is opened for the tag reader.
#include "console.hpp"
#include "errors.hpp"
#include "os_calls.hpp"
#include "result_names.hpp"
#include "session.hpp"
#include "strings.hpp"
#include "text_files.hpp"

namespace awb::console {

py::object results_folder(const py_::Namespace& ns) {
    return py_::to_str(split_results_pattern(py_::to_ustring(ns.get("AWB_Results_Dir"))).folder);
}

py::object list_results(const py_::Namespace& ns) {
    ResultsPattern pattern = split_results_pattern(py_::to_ustring(ns.get("AWB_Results_Dir")));
    py::object glob = ns.get("glob");
    py::object found =
        glob.attr("glob")(glob.attr("escape")(py_::to_str(pattern.folder)) + py_::to_str(pattern.files));
    py::object is_file = py_::Os(ns).path("isfile");
    py::list plain;
    for (py::handle path : found) {
        if (is_file(path).cast<bool>()) plain.append(path);
    }
    return ns.lookup("sorted")(plain);
}

void find_changed_txt() {
    const py_::Namespace& ns = kLumvik;
    py_::Os os(ns);
    py::object newest = ns.lookup("max")(list_results(ns), py::arg("key") = os.path("getmtime"));
    py::object system = ns.get("platform").attr("system")();
    ustring name;
    ustring awb_text;
    if (system.equal(py::str("Windows"))) {
        std::optional<ustring> listed = listed_result_name(py_::to_ustring(newest));
        if (!listed) py_::raise(PyExc_IndexError, "list index out of range");
        name = *listed;
        awb_text = awb_text_in_folder(py_::to_ustring(results_folder(ns)), name);
    } else {
        name = py_::to_ustring(os.basename(newest));
        awb_text = awb_text_of(py_::to_ustring(newest));
    }
    py::str path = py_::to_str(awb_text);
    ns.set("Target_Awb_Target_Pic", py_::to_str(picture_name_from_result(name)));
    ns.set("Lumvik_file_full_path", path);
    ns.set("fp", py_::open_debug_text(ns, path));
}

}  // namespace awb::console
