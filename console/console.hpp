// The simulator log console, module Lumvik: its functions as the interpreter calls them.
#pragma once

#include "pyutil.hpp"

namespace awb::console {

namespace py = pybind11;
inline constexpr py_::Namespace kLumvik{"Lumvik"};

// Loading the module: packages, per-user files, error log, working folders, configuration,
// module state. Ends the program when the configured raw-picture folder does not exist.
void start_up(py::module_& m);

// Find_Changed_Txt: makes the newest simulator result the current picture and opens its AWB
// debug-information text into `fp`.
void find_changed_txt();

}  // namespace awb::console
