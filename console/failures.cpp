// A failed console command in the engineer's terms: the binding classifies the interpreter's
// exception and gathers the facts; the words come from failure_messages.
#include "console.hpp"
#include "errors.hpp"
#include "lock.hpp"
#include "os_calls.hpp"
#include "strings.hpp"

namespace awb::console {
namespace {

using py_::text_of;

// The console's state in its module: the step of the command running.
struct ConsoleState {
    static constexpr const char* kAttribute = "_console_state";
    Step step = Step::kDiscovery;
};

std::string variable(const py_::Namespace& ns, const char* name) {
    try {
        return text_of(ns.get(name));
    } catch (py::error_already_set&) {
        return std::string("(") + name + ")";
    }
}

FailureFacts facts_of(const py_::Namespace& ns, py::error_already_set& e) {
    FailureFacts facts;
    facts.step = current_step();
    facts.workbook = variable(ns, globals::Excle_File);
    facts.text = variable(ns, globals::Lumvik_file_full_path);
    facts.error = py_::error_kind(e);
    facts.lock_timeout = facts.step == Step::kLockWorkbook && py_::is_lock_timeout(ns, e);
    facts.detail = py_::described(e);
    facts.capture_list = variable(ns, globals::rawfilename_txt);
    facts.picture = variable(ns, globals::Target_Awb_Target_Pic);
    facts.wait_seconds = static_cast<int>(py_::kShowWait);
    facts.note = [&e] { return py_::first_note(e); };
    facts.named_file = [&e]() -> std::optional<std::string> {
        py::object name = e.value().attr("filename");
        if (name.is_none()) return std::nullopt;
        return text_of(name);
    };
    facts.empty_results = [&ns] { return results_missing(ns); };
    return facts;
}

}  // namespace

void mark_step(Step step) { py_::module_state<ConsoleState>(kLumvik).step = step; }
Step current_step() { return py_::module_state<ConsoleState>(kLumvik).step; }

void log_trace(const py_::Namespace& ns, py::error_already_set& e, const std::string& line) {
    try {
        py::object log = ns.get(globals::sys).attr("stderr");
        if (!line.empty()) log.attr("write")(py::str(line + "\n"));
        py::module_::import("traceback")
            .attr("print_exception")(e.type(), e.value(), e.value().attr("__traceback__"),
                                     py::arg("file") = log);
        log.attr("flush")();
    } catch (py::error_already_set& unwritable) {
        unwritable.discard_as_unraisable("writing the console's error log");
    }
}

void report_failure(const py_::Namespace& ns, py::error_already_set& e) {
    std::string line;
    try {
        line = failure_line(describe_failure(facts_of(ns, e)));
    } catch (py::error_already_set&) {
        line = failure_line(py_::described(e));
    }
    ns.print(py::str(line));
    log_trace(ns, e, line);
}

}  // namespace awb::console
