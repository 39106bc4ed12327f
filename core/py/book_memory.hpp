// The workbook of a run held in memory: what the console reuses between shows and what a batch
// run records into, saved at the run's cadence; and the checks of a row and a text before they
// are written.
#pragma once

#include <functional>
#include <optional>

#include "awb/workbook_memory.hpp"
#include "namespace.hpp"
#include "workbook_reading.hpp"

namespace awb::py_ {

// The module's memory of the workbook it saved last (the module's state object, see
// module_state). The console reuses it, under the workbook's lock, only while the file on disk
// is exactly the one it saved (identity, size, modification and change times in nanoseconds);
// otherwise the file is read afresh. During a batch run it is the run's own workbook, the truth
// of the run: a file deleted or replaced meanwhile is written whole again at the next save. A
// run saves at the pace of awb::SaveCadence, and at its end (awb::MemoryState).
class BookMemory {
public:
    static constexpr const char* kAttribute = "_workbook_memory";
    static BookMemory& of(const Namespace& ns);

    Book& open(const Namespace& ns, py::handle path);
    void save(const Namespace& ns);          // saves the open workbook now
    void recorded(const Namespace& ns);      // one picture written: save now, or when due in a run
    void save_pending(const Namespace& ns);  // saves what is not yet on disk
    void forget() {
        book_.reset();
        path_ = py::object();
        stamp_ = py::object();
        state_.forgotten();
    }

    void begin_run() { state_.begin_run(); }
    void end_run() { state_.end_run(); }
    bool holds_run_book(py::handle path) const {  // the running batch's workbook is in memory
        return book_ && state_.holds_run_book() && path_.equal(path);
    }
    bool save_failed() const { return state_.last_save_failed(); }          // the last save attempt failed
    std::size_t saved_pictures() const { return state_.saved_pictures(); }  // in the file as last saved
    const py::object& path() const { return path_; }                        // where the workbook is saved
    bool holds_book() const { return book_.has_value(); }
    const Book& book() const { return *book_; }                             // while it holds one
    std::size_t pictures() const { return book_ ? book_->pictures() : 0; }  // in the workbook in memory

    // During a run, `check` is called before each save; it may send the run's workbook
    // elsewhere (redirect) first.
    void before_run_saves(std::function<void()> check) { before_save_ = std::move(check); }
    // During a run, `before` is called before each save, after the check, and `after` once the
    // save is done or failed (`saved`): a batch run writes its tuning history there.
    void around_run_saves(std::function<void()> before, std::function<void(bool saved)> after) {
        stage_ = std::move(before);
        settle_ = std::move(after);
    }
    // During a run, `told` is called when a checkpoint's save fails on the file and the run goes
    // on (the first of a row of such failures; see awb::MemoryState::checkpoint_failed).
    void on_failed_checkpoint(std::function<void(const py::error_already_set&)> told) {
        failed_checkpoint_ = std::move(told);
    }
    // From now on the workbook in memory, whole, is saved to `path` and no more to its own file.
    void redirect(py::object path) {
        path_ = std::move(path);
        stamp_ = py::none();
        state_.redirected();
    }

private:
    std::optional<Book> book_;
    py::object path_;
    py::object stamp_;
    MemoryState state_;
    std::function<void()> before_save_;
    std::function<void()> stage_;
    std::function<void(bool)> settle_;
    std::function<void(const py::error_already_set&)> failed_checkpoint_;
};

// Keeps a batch run open for its lifetime. A run that ends by an error (Ctrl-C included) still
// saves the pictures it recorded, with Ctrl-C held back while it does, unless saving is what
// failed.
class BatchRun {
public:
    explicit BatchRun(const Namespace& ns);
    ~BatchRun();
    void save();  // saves what is pending now
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

private:
    const Namespace& ns_;
};

// ValueError with the engineer's words for a row or a text that a workbook cell cannot take
// (awb::row_refusal, awb::text_refusal).
void check_row(std::size_t row);
void check_text(py::handle text);

}  // namespace awb::py_
