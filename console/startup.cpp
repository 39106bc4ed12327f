// Loading the console: packages, per-user files, the error log, the working folders, the
// configuration and the module state.
#include "awb/text_files.hpp"
#include "configuration.hpp"
#include "console.hpp"
#include "errors.hpp"
#include "os_calls.hpp"
#include "strings.hpp"
#include "text_files.hpp"

namespace awb::console {
namespace {

void bind_packages(py::module_& m) {
    m.attr(globals::glob) = py::module_::import("glob");
    m.attr(globals::os) = py::module_::import("os");
    m.attr(globals::sys) = py::module_::import("sys");
    py_::bind_workbook_packages(m);
    m.attr(globals::datetime) = py::module_::import("datetime");
    m.attr(globals::platform) = py::module_::import("platform");
    m.attr(globals::digits) = py::module_::import("string").attr("digits");
}

void write_lines(const py_::Namespace& ns, const char* name, const std::array<const char*, 3>& lines) {
    py::object file = ns.lookup("open")(name, "w+");
    for (const char* line : lines) file.attr("write")(py::str(line) + py::str("\n"));
    file.attr("close")();
}

// The shell's "pause": waits for a key (a line) where somebody sits at a terminal.
void pause(const py_::Namespace& ns) {
    py::object stdin_ = ns.get(globals::sys).attr("stdin");
    if (stdin_.is_none() || !stdin_.attr("isatty")().cast<bool>()) return;
    try {
        ns.lookup("input")(kPausePrompt);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_EOFError)) throw;
    }
}

void bootstrap_files(const py_::Namespace& ns) {
    if (!py_::exists(ns, py::str(kConfigFile))) {
        ns.print(kConfigMissing);
        write_lines(ns, kConfigFile, kDefaultConfig);
    }
    if (!py_::exists(ns, py::str(kIssueTemplateFile))) write_lines(ns, kIssueTemplateFile, kIssueTemplate);
    for (const char* folder : kWorkingFolders) {
        if (py_::exists(ns, py::str(folder))) continue;
        try {
            py_::Os(ns).mkdir(py::str(folder));
        } catch (py::error_already_set& e) {
            if (!e.matches(PyExc_OSError)) throw;  // a folder that cannot be made is left out
        }
    }
}

// Adds an explanation for the engineer to a start-up error, without changing the error
// itself: the `lumvik` command shows it, and the trace in the error log carries it.
py::object read_configuration_lines(const py_::Namespace& ns) {
    std::vector<std::string> tried;
    try {
        return py_::read_text_lines(ns, py::str(kConfigFile), &tried);
    } catch (py::error_already_set& e) {
        if (e.matches(PyExc_UnicodeDecodeError)) {
            py_::add_note(e, undecodable_text(kConfigFile, tried) + kConfigResave);
        } else if (e.matches(PyExc_OSError)) {
            py_::add_note(e, kConfigUnreadable);
        }
        throw;
    }
}

// The raw-picture folder: the value of the configuration's first line. Ends the program with
// status 0 when that folder does not exist.
void read_configuration(const py_::Namespace& ns) {
    for (py::handle line : read_configuration_lines(ns)) {
        std::optional<ustring> value = configured_folder(py_::to_ustring(line));
        if (!value) py_::raise_noted(PyExc_IndexError, "list index out of range", kConfigWithoutValue);
        py::str folder = py_::to_str(*value);
        if (!py_::exists(ns, folder)) {
            ns.print(py_::to_str(folder_missing(*value)));
            pause(ns);
            ns.get(globals::sys).attr("exit")(0);
        }
        ns.set(globals::path, folder);
        break;  // the first line names the folder, the others are not read
    }
    py::object folder;
    try {
        folder = ns.get(globals::path);  // NameError when the file holds no line
    } catch (py::error_already_set& e) {
        py_::add_note(e, kConfigEmpty);
        throw;
    }
    ustring results = results_root(py_::to_ustring(folder));
    ns.set(globals::AWB_Results_Dir_Root, py_::to_str(results));
    ns.set(globals::AWB_Results_Dir, py_::to_str(results + ustring(kResultsPattern)));
}

// Each start begins a new error log; the one of the start before, if it holds anything, is kept
// beside it (a trace of a start that failed survives the restart after it). A log that cannot be
// moved is begun anew, as ever.
void keep_earlier_log(const py_::Namespace& ns, const py::str& log, const py::str& earlier) {
    py_::Os os(ns);
    try {
        if (!os.isfile(log) || os.path("getsize")(log).cast<long long>() == 0) return;
        os.replace(log, earlier);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;
    }
}

}  // namespace

void start_up(py::module_& m) {
    const py_::Namespace& ns = kLumvik;
    bind_packages(m);
    py::object os = m.attr(globals::os);
    py::object home = os.attr("path").attr("expanduser")("~") + os.attr("sep");
    UserFiles files = user_files(py_::to_ustring(home), py_::to_ustring(os.attr("sep")));
    m.attr(globals::user_home_path) = home;
    m.attr(globals::rawfilename_txt) = py_::to_str(files.capture_list);
    keep_earlier_log(ns, py_::to_str(files.error_log), py_::to_str(files.earlier_error_log));
    m.attr(globals::error_log) =
        ns.lookup("open")(py_::to_str(files.error_log), "w", py::arg("buffering") = 1);
    m.attr(globals::sys).attr("stderr") = m.attr(globals::error_log);
    m.attr(globals::Excle_File) = py_::to_str(files.workbook);
    m.attr(globals::Data_num) = kDataNumBeforeAnyWorkbook;
    m.attr(globals::insert_row_num) = 0;
    m.attr(globals::fp) = "";
    m.attr(globals::Lumvik_file_full_path) = "";
    m.attr(globals::Target_Awb_Target_Pic) = "";
    bootstrap_files(ns);
    read_configuration(ns);
    py::object arange = m.attr(globals::np).attr("arange");
    m.attr(globals::AWB_TAG_DATA_List) = arange(100);
    m.attr(globals::LUMVIK_List) = arange(100);
    first_look(ns);
}

}  // namespace awb::console
