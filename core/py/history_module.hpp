// The tuning history's Python module as the console and the batch call it, and how a failure of
// it is told: one line, and the show or the run stands.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace awb::py_ {

namespace py = pybind11;

inline constexpr const char* kHistoryModule = "awb_desk.history";

// Why the history failed, on one line: the history's own words (its HistoryError), else the
// error's type and message. `history` is the history module, or None when importing it failed.
std::string history_failure(const py::error_already_set& e, py::handle history);

// "历史记录未保存: <history> (<why>)".
py::str history_not_saved(const py::error_already_set& e, py::handle history, py::handle path);

}  // namespace awb::py_
