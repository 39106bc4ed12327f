// The console command loop and the console as the main program. A command that fails is told
// on one line starting "操作失败:" (failures.cpp), its trace goes to the error log, and the loop
// prompts again.
#include "book_memory.hpp"
#include "console.hpp"
#include "errors.hpp"
#include "history.hpp"
#include "lock.hpp"
#include "os_calls.hpp"
#include "session.hpp"
#include "strings.hpp"

namespace awb::console {
namespace {

// Closes the debug text of the last show, if one is open.
void close_text(const py_::Namespace& ns) {
    py::object fp = ns.get(globals::fp);
    if (py::hasattr(fp, "close")) fp.attr("close")();
}

void remove_quietly(const py_::Namespace& ns, py::handle path) {
    py_::BookMemory::of(ns).forget();
    try {
        py_::Os(ns).remove(path);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;
    }
}

void show(const py_::Namespace& ns) {
    close_text(ns);  // the text the main block's discovery opened
    mark_step(Step::kDiscovery);
    ns.get(globals::Find_Changed_Txt)();
    py::object workbook = ns.get(globals::Excle_File);
    HeldShow recorded(ns);  // the show's history is written once the lock is released
    {
        // One writer at a time: the workbook is looked at, made and recorded into under its lock.
        mark_step(Step::kLockWorkbook);
        py_::WorkbookLock lock(ns, workbook, py_::kShowWait);
        bool created = false;
        if (!py_::exists(ns, workbook)) {
            ns.set(globals::insert_row_num, py::int_(1));
            mark_step(Step::kCreateWorkbook);
            ns.get(globals::Create_Excel)();
            created = true;
        }
        mark_step(Step::kIssueNote);
        try {
            ns.get(globals::Create_Lumvik_DATA)();
        } catch (py::error_already_set&) {
            // A failed show leaves the disk as it found it: no workbook of this show's making.
            if (created && current_step() != Step::kSummary) remove_quietly(ns, workbook);
            throw;
        }
    }
    recorded.remember();
    remember_shown(ns);
    close_text(ns);
    ns.print("\n");
    for (const ustring& line : show_lines(py_::to_ustring(ns.get(globals::Lumvik_file_full_path)),
                                          py_::to_ustring(ns.get(globals::Target_Awb_Target_Pic)),
                                          py_::to_ustring(ns.get(globals::Excle_File)))) {
        ns.print(py_::to_str(line));
    }
}

// Deletes the simulator's result files. A file that cannot be deleted (held open by an editor or
// the simulator) stays: the clear says how many stayed and names the first, and what stayed is
// never taken for a new result.
void clear(const py_::Namespace& ns) {
    mark_step(Step::kClear);
    close_text(ns);
    py::object root = ns.get(globals::AWB_Results_Dir_Root);
    py::object glob = ns.get(globals::glob);
    py_::Os os(ns);
    py::object folder = glob.attr("escape")(root);
    std::size_t left = 0;
    std::string first;
    std::string why;
    for (uview pattern : kClearPatterns) {
        for (py::handle target : glob.attr("glob")(folder + py_::to_str(pattern))) {
            if (!os.isfile(target)) continue;
            try {
                os.remove(target);
            } catch (py::error_already_set& e) {
                if (!e.matches(PyExc_OSError)) throw;
                if (left++ == 0) {
                    first = py_::text_of(os.dirname(target)) + "/" +
                            to_utf8(py_::readable_file_name(os.basename(target)));
                    why = py_::described(e);
                }
            }
        }
    }
    look_after_clear(ns);
    ns.print("\n");
    ns.print(root + ns.get(globals::Target_Awb_Target_Pic));
    if (left != 0) py_::raise_noted(PyExc_OSError, "result files left", clear_left_files(left, first, why));
    ns.print(kCleared);
}

// Runs one command; a failure is reported and the loop goes on. False when the console is
// to end (Ctrl-C during the command).
template <class Command>
bool run_command(const py_::Namespace& ns, Command&& command) {
    try {
        command(ns);
        return true;
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception) && !e.matches(PyExc_KeyboardInterrupt)) throw;
        try {
            close_text(ns);
        } catch (py::error_already_set&) {
            // the command's own failure is the one to report
        }
        if (e.matches(PyExc_KeyboardInterrupt)) return false;
        report_failure(ns, e);
        return true;
    }
}

}  // namespace

void lumvik_main() {
    const py_::Namespace& ns = kLumvik;
    Command command = Command::kShow;
    while (command != Command::kQuit) {
        bool go_on = command == Command::kClear ? run_command(ns, clear) : run_command(ns, show);
        if (!go_on) return;
        try {
            py::object line = ns.lookup("input")(prompt_after(command));
            command = PyUnicode_Check(line.ptr()) ? command_of(py_::to_ustring(line)) : Command::kShow;
        } catch (py::error_already_set& e) {
            if (e.matches(PyExc_EOFError) || e.matches(PyExc_KeyboardInterrupt)) return;
            throw;
        }
    }
}

void run_console() {
    const py_::Namespace& ns = kLumvik;
    for (const char* line : kBanner) ns.print(line);
    try {
        ns.get(globals::Find_Changed_Txt)();
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;
        // The first show repeats the discovery and tells the engineer.
        log_trace(ns, e, "");
    }
    ns.get(globals::Lumvik_Main)();
}

}  // namespace awb::console
