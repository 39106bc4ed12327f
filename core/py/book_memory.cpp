#include "book_memory.hpp"

#include "awb/sheets.hpp"
#include "errors.hpp"
#include "file_safety.hpp"
#include "lock.hpp"
#include "os_calls.hpp"

namespace awb::py_ {
namespace {

// The file's identity and state: what tells us it is still the workbook we saved.
py::object stamp_of(const Namespace& ns, py::handle path) {
    try {
        py::object st = Os(ns).stat(path);
        return py::make_tuple(st.attr("st_dev"), st.attr("st_ino"), st.attr("st_size"),
                              st.attr("st_mtime_ns"), st.attr("st_ctime_ns"));
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;
        return py::none();
    }
}

}  // namespace

BookMemory& BookMemory::of(const Namespace& ns) { return module_state<BookMemory>(ns); }

Book& BookMemory::open(const Namespace& ns, py::handle path) {
    MemoryState::Open way = state_.open(book_ && path_.equal(path));
    if (way == MemoryState::Open::kFromMemory) return *book_;
    if (way == MemoryState::Open::kIfUnchanged && stamp_.equal(stamp_of(ns, path))) {
        state_.checked();
        return *book_;
    }
    forget();
    py::object stamp = stamp_of(ns, path);
    book_ = read_book(ns, path);
    path_ = py::reinterpret_borrow<py::object>(path);
    stamp_ = stamp;
    state_.read();
    return *book_;
}

void BookMemory::save(const Namespace& ns) {
    if (!book_) return;
    if (state_.in_run() && before_save_) before_save_();
    bool staged = state_.in_run() && stage_ && settle_;
    if (staged) stage_();
    auto started = SaveCadence::Clock::now();
    try {
        save_atomically(ns, *book_->model, path_);
    } catch (py::error_already_set& e) {
        if (staged) settle_(false);
        state_.save_failed(e.matches(PyExc_Exception));  // not when cut short by Ctrl-C
        throw;
    }
    if (staged) settle_(true);
    stamp_ = stamp_of(ns, path_);
    state_.saved(book_->pictures(), started, SaveCadence::Clock::now());
}

void BookMemory::recorded(const Namespace& ns) {
    if (!state_.recorded(SaveCadence::Clock::now())) return;
    auto started = SaveCadence::Clock::now();
    try {
        save(ns);
        // At a run's checkpoint the rows saved are kept as their records only: each row is made
        // into records once and the run's memory stays small (a row written again gets its cells
        // back).
        if (state_.in_run() && book_) book_->model->seal_rows();
    } catch (py::error_already_set& e) {
        if (!state_.checkpoint_failed(e.matches(PyExc_OSError), started, SaveCadence::Clock::now())) throw;
        if (state_.failed_checkpoints() == 1 && failed_checkpoint_) failed_checkpoint_(e);
    }
}

void BookMemory::save_pending(const Namespace& ns) {
    if (state_.pending()) save(ns);
}

BatchRun::BatchRun(const Namespace& ns) : ns_(ns) { BookMemory::of(ns).begin_run(); }

void BatchRun::save() { BookMemory::of(ns_).save_pending(ns_); }

BatchRun::~BatchRun() {
    BookMemory& memory = BookMemory::of(ns_);
    try {
        // A run ended by an error still saves the pictures it recorded, unless saving is what
        // failed: the error on its way up already says why.
        HeldInterrupt held;
        if (!memory.save_failed()) memory.save_pending(ns_);
    } catch (py::error_already_set& e) {
        e.discard_as_unraisable("saving the batch workbook");
    }
    memory.end_run();
}

void check_row(std::size_t row) {
    if (std::optional<std::string> refusal = row_refusal(row)) raise(PyExc_ValueError, *refusal);
}

void check_text(py::handle text) {
    if (!PyUnicode_Check(text.ptr())) return;
    if (auto refusal = text_refusal(static_cast<std::size_t>(PyUnicode_GET_LENGTH(text.ptr())))) {
        raise(PyExc_ValueError, *refusal);
    }
}

}  // namespace awb::py_
