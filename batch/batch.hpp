// The EXIF batch recorder, module Tavrin: its functions as the interpreter calls them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "book_memory.hpp"
#include "lock.hpp"
#include "namespace.hpp"
#include "run_history.hpp"
#include "run_lines.hpp"

namespace awb::batch {

namespace py = pybind11;
inline constexpr py_::Namespace kTavrin{"Tavrin"};

// GetDesktopPath: the user's Desktop folder with a trailing separator.
py::object get_desktop_path();

// Create_DP_Log_DATA: one picture's row on each of the seven sheets of `Excle_File`.
void create_dp_log_data(py::object jpg, py::object rawpic, py::object issues);
// `_run_rows(code)`: the rows of the light source's sheet (title row included) of the workbook
// the batch holds in memory, as xlrd reads them from the file; None when it holds no workbook
// saved at `Excle_File` now, or for a code that is none of the seven.
py::object run_rows(py::handle code);

// Tavrin: the batch over the capture list.
void tavrin();

// DP_DUMP: every file of a folder tree recorded as one picture's dump.
void dp_dump(py::object file_dir);

// The row writer marks the error that kept a picture from being recorded: because of its own
// data (its dump could not be read, or held a value that is not an integer), so that the
// picture got no row and a batch can go on without it; or because the workbook has no row left
// for it. What `error` is (kNone: not marked); the mark (kept in the module's state) is cleared
// either way.
enum class RecordFailure { kNone, kPicture, kWorkbookFull };
RecordFailure take_record_failure(py::handle error);

// Prints the lines of the core, one by one, through the module's print.
void print_lines(const std::vector<ustring>& lines);

// Keeps the interpreter's cyclic garbage collector from running while it lives, then puts it
// back as it was. A run makes many objects that live until a checkpoint (the workbook's cells)
// and are freed by their reference counts; the collector would only go through them again and
// again.
class CollectorPause {
public:
    CollectorPause();
    ~CollectorPause();
    CollectorPause(const CollectorPause&) = delete;
    CollectorPause& operator=(const CollectorPause&) = delete;

private:
    bool was_enabled_ = false;
};

// A run of the workbook functions over many pictures (the batch or the folder walk). It holds
// the workbook's lock from the first thing it writes to its end (a second run on the same
// workbook stops at once) and makes sure before each picture and each save that the lock is
// still its own (py_::WorkbookLock::keep). Should another process hold it after all (its lock
// file was deleted meanwhile), the run stops as Ctrl-C stops it, but saves what it recorded to
// a new workbook in "备份" and never writes the workbook again. The run's workbook stays in
// memory, is saved at the pace of awb::SaveCadence and when the run finishes, and the pictures
// that could not be recorded are collected for the final report.
class PictureRun {
public:
    PictureRun();
    // Takes the workbook's lock, or makes sure it is still this run's.
    void hold_lock();
    // Creates the workbook when the run has none yet, then records the picture whose dump is
    // current (`Target_Awb_Target_Pic`), read for the capture-list line or the file `where`. A
    // picture that fails on its own data is reported in one line and passed over. A full
    // workbook ends the run: what was recorded is saved, and the module's WorkbookFull error
    // says where recording stopped and names the workbook that holds the run (its `workbook`).
    // Any other error ends the run.
    void record(const py::object& jpg, const py::object& rawpic, const py::object& issues,
                const ustring& where);
    // Saves what is pending. A run whose own workbook cannot be written is saved whole to a new
    // workbook in "备份" instead, and its error goes on up saying where the pictures are.
    void finish();
    // A picture that is not recorded: said in one line (`why`), and listed with those passed over.
    void pass_over(ustring picture, uview why);
    // Ctrl-C: saves every whole picture recorded so far, Ctrl-C held back meanwhile, and notes
    // on the interrupt how many pictures the workbook holds.
    void interrupted(py::error_already_set& interrupt);
    // The pictures passed over, in the order they came.
    const std::vector<ustring>& failed() const { return failed_; }

    // Runs `body` (the run's pictures); a Ctrl-C in it is handled as above, then goes on up.
    template <class Body>
    void guarded(Body&& body) {
        try {
            body();
        } catch (py::error_already_set& e) {
            if (e.matches(PyExc_KeyboardInterrupt)) interrupted(e);
            throw;
        }
    }

private:
    void check_lock();    // before each save: the lock is still this run's, else the run's
                          // workbook goes into "备份"
    void stop_if_lost();  // the lock was lost: saves into "备份" and raises the lock's error
    [[noreturn]] void stop_full(py::error_already_set& e, const ustring& where, const py::object& picture);
    // Saves what is pending, come what may (the whole run into "备份" when its own workbook
    // cannot be written), and tells what was saved.
    LastSave save_last();

    // Ends the run's checks before saves once the run's last save is done.
    struct SaveChecks {
        ~SaveChecks();
    };

    CollectorPause collector_;
    py::object workbook_;
    std::optional<py_::WorkbookLock> lock_;
    py::object lost_;        // the error that told the lock was lost
    py::object save_error_;  // the error of the last save that failed
    SaveChecks checks_;
    RunHistory history_;  // written around each save of run_, so made before it and gone after it
    py_::BatchRun run_;
    std::vector<ustring> failed_;
};

}  // namespace awb::batch
