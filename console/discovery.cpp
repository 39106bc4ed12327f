// Result discovery: the newest text of the simulator's results folder names the current
// picture, and its AWB debug-information text is opened for the tag reader.
#include "console.hpp"
#include "os_calls.hpp"
#include "result_names.hpp"
#include "strings.hpp"
#include "text_files.hpp"

namespace awb::console {
namespace {

constexpr std::size_t kPatternTail = 5;  // "*.txt" at the end of the results pattern

}  // namespace

py::object results_folder(const py_::Namespace& ns) {
    py::object pattern = ns.get("AWB_Results_Dir");
    return pattern[py::slice(0, static_cast<py::ssize_t>(py::len(pattern) - kPatternTail), 1)];
}

py::object list_results(const py_::Namespace& ns) {
    py::object pattern = ns.get("AWB_Results_Dir");
    auto length = static_cast<py::ssize_t>(py::len(pattern));
    py::object tail = pattern[py::slice(length - static_cast<py::ssize_t>(kPatternTail), length, 1)];
    py::object glob = ns.get("glob");
    py::object found = glob.attr("glob")(glob.attr("escape")(results_folder(ns)) + tail);
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
    py::object name;
    py::object awb_text;
    if (system.equal(py::str("Windows"))) {
        // The listing joins folder and name with the only backslash of the path.
        name = newest.attr("split")("\\")[py::int_(1)];
        awb_text =
            py_::to_str(awb_text_in_folder(py_::to_ustring(results_folder(ns)), py_::to_ustring(name)));
    } else {
        name = os.basename(newest);
        awb_text = py_::to_str(awb_text_of(py_::to_ustring(newest)));
    }
    ns.set("Target_Awb_Target_Pic", py_::to_str(picture_name_from_result(py_::to_ustring(name))));
    ns.set("Lumvik_file_full_path", awb_text);
    ns.set("fp", py_::open_text(ns, awb_text));
}

}  // namespace awb::console
