// The simulator log console, module Lumvik: its functions as the interpreter calls them.
#pragma once

#include "failure_messages.hpp"
#include "namespace.hpp"

namespace awb::console {

namespace py = pybind11;
inline constexpr py_::Namespace kLumvik{"Lumvik"};

// Loading the module: packages, per-user files, error log, working folders, configuration,
// module state. Ends the program when the configured raw-picture folder does not exist.
void start_up(py::module_& m);

// Find_Changed_Txt: makes the newest simulator result the current picture and opens its AWB
// debug-information text into `fp`.
void find_changed_txt();

// The simulator's results folder (the results pattern less its "*.txt"), and what matches the
// pattern there, in name order.
py::object results_folder(const py_::Namespace& ns);
py::object list_results(const py_::Namespace& ns);

// The console's memory of the results folder for its session (discovery.cpp): the look at
// start-up, the look after a clear (what it left behind is never new), and the AWB text of a
// show that recorded its picture.
void first_look(const py_::Namespace& ns);
void look_after_clear(const py_::Namespace& ns);
void remember_shown(const py_::Namespace& ns);

// The results folder as the last discovery found it when it had no result to show (none when it
// had one).
std::optional<EmptyResults> results_missing(const py_::Namespace& ns);

// After the values of the AWB text in `fp` were read: whether the simulator wrote the text again
// meanwhile. If so, waits until it has settled again and returns true (read it again), or, unless
// `may_wait`, raises that the result is still being written.
bool settle_again(const py_::Namespace& ns, bool may_wait);

// Pic_Issues_Raw: the picture's cleaned issue note from the capture list ("无" when the list
// or the picture's line is missing); prints it.
py::object pic_issues_raw(py::handle pic_file);

// Create_Lumvik_DATA: records the current picture on all seven sheets of the workbook (one
// save) and prints its console summary.
void create_lumvik_data();

// Lumvik_Main: the command loop; returns on "-q"/"q", at end of input or on Ctrl-C.
void lumvik_main();

// The console as the main program: banner, result discovery, the command loop.
void run_console();

// What a show or a clear is doing at the moment (the step, awb::console::Step), noted in the
// module's state so that a failure can be told in the engineer's terms.
void mark_step(Step step);
Step current_step();

// Tells a failed command on one line starting "操作失败:" and writes that line and the trace
// into the module's error stream (the error log).
void report_failure(const py_::Namespace& ns, py::error_already_set& e);

// Writes a line (if any) and the full trace of `e` into the module's error stream.
void log_trace(const py_::Namespace& ns, py::error_already_set& e, const std::string& line);

}  // namespace awb::console
