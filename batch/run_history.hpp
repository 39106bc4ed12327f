// The batch's tuning history: every picture a run records, with each value its record read
// per light source and its final gains, appended to a history beside the run's workbook, in the
// console's schema (the package's `awb_desk.history` does the database work). The pictures
// recorded since the last save go into the history in one transaction just before each save of
// the workbook, committed once the save is done and undone when it fails, so that a batch killed
// or failing at any moment leaves a history that holds what its workbook holds.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "awb/tables.hpp"
#include "history_columns.hpp"
#include "namespace.hpp"
#include "record.hpp"

namespace awb::batch {

namespace py = pybind11;

// The history of one run of the workbook functions (the batch or the folder walk), living as
// long as the run. A history that cannot be written is told in one line, once per run
// ("历史记录未保存: <history> (<reason>)"); the pictures not yet written are tried again, without
// waiting, at the next saves. It never costs the run anything else. A run whose workbook is
// saved elsewhere in the end (into "备份") writes all its pictures into the history beside that
// workbook, under the same name, and no more into the day's.
class RunHistory {
public:
    RunHistory();
    ~RunHistory();
    RunHistory(const RunHistory&) = delete;
    RunHistory& operator=(const RunHistory&) = delete;

    // The run being recorded in the module, or none (a workbook function called on its own).
    static RunHistory* current(const py_::Namespace& ns);

    // One picture recorded in the workbook: its column-0 text, the dump it was read from (its
    // path as the reader has it), its issue note, its record for each light source and its
    // final R, G and B gains (None where not read).
    void add(const py::object& picture, const py::object& dump, const py::object& issues,
             const std::array<const py_::RecordValues*, kSheetCount>& records,
             const std::array<py::object, 3>& gains);

    // Around a save of the workbook: the pictures added since the last save, in one
    // transaction, committed when the workbook was `saved`, else undone and kept for the next.
    void before_save();
    void after_save(bool saved);

private:
    void not_saved(const py::error_already_set& e);  // the one line, and no more waiting
    py::object history_;                  // the module awb_desk.history; None when it cannot be imported
    py::object workbook_;                 // the workbook the history belongs to: the run's, or where it went
    py::object path_;                     // the history's path
    std::vector<HistoryColumn> columns_;  // the value columns taken from the records
    py::list tags_;  // the tags of all value columns: the records', then the final gains'

    py::object now_;      // time.time
    py::object marshal_;  // the interpreter's marshal module
    py::list rows_;       // pictures not yet written
    py::list written_;    // those written, a compact (marshal) text per save: a history written
                          // anew beside the run's workbook gone elsewhere takes them all
    py::object staged_;   // their open transaction during a save
    double wait_ = -1;    // seconds a write waits for another one; the history's own default while < 0
    bool told_ = false;
    RunHistory* outer_ = nullptr;
};

// The day's workbook of an earlier run went into "备份" as `moved`: its history follows it there
// under the same new name, with the journal files beside it. A history that cannot be moved
// stays, told in one line, and the new run appends to it.
void move_history_along(const py_::Namespace& ns, py::handle workbook, py::handle moved);

}  // namespace awb::batch
