#include "run_history.hpp"

#include <functional>
#include <string>

#include "batch.hpp"
#include "book_memory.hpp"
#include "errors.hpp"
#include "history_module.hpp"
#include "os_calls.hpp"
#include "run_lines.hpp"
#include "strings.hpp"

namespace awb::batch {
namespace {

// The run being recorded.
struct RunHistoryState {
    static constexpr const char* kAttribute = "_run_history";
    RunHistory* current = nullptr;
};

// The saves of the workbook in memory, written around by `run`'s history (none: by no history).
void hook_saves(RunHistory* run) {
    py_::BookMemory& memory = py_::BookMemory::of(kTavrin);
    if (!run) {
        memory.around_run_saves(nullptr, nullptr);
        return;
    }
    memory.around_run_saves([run] { run->before_save(); }, [run](bool saved) { run->after_save(saved); });
}

}  // namespace

RunHistory::RunHistory() : columns_(history_record_columns()) {
    const py_::Namespace& ns = kTavrin;
    RunHistoryState& state = py_::module_state<RunHistoryState>(ns);
    outer_ = state.current;
    workbook_ = path_ = ns.get(globals::Excle_File);
    try {
        history_ = py::module_::import(py_::kHistoryModule);
        path_ = history_.attr("history_path")(path_);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;
        ns.print(py_::history_not_saved(e, history_, path_));
        told_ = true;
        history_ = py::none();
    }
    for (const HistoryColumn& column : columns_) tags_.append(py_::to_str(column.tag));
    for (const ustring& tag : history_gain_tags()) tags_.append(py_::to_str(tag));
    now_ = py::module_::import("time").attr("time");
    marshal_ = py::module_::import("marshal");

    state.current = this;
    hook_saves(this);
}

RunHistory::~RunHistory() {
    const py_::Namespace& ns = kTavrin;
    RunHistoryState& state = py_::module_state<RunHistoryState>(ns);
    try {
        if (history_ && !history_.is_none()) history_.attr("release")(path_);
    } catch (py::error_already_set& e) {
        e.discard_as_unraisable("closing the batch's tuning history");
    }
    hook_saves(outer_);
    state.current = outer_;
}

RunHistory* RunHistory::current(const py_::Namespace& ns) {
    return py_::module_state<RunHistoryState>(ns).current;
}

void RunHistory::add(const py::object& picture, const py::object& dump, const py::object& issues,
                     const std::array<const py_::RecordValues*, kSheetCount>& records,
                     const std::array<py::object, 3>& gains) {
    if (history_.is_none()) return;
    py::tuple row(4 + columns_.size() + gains.size());
    std::size_t i = 0;
    auto put = [&](py::handle value) { PyTuple_SET_ITEM(row.ptr(), i++, value.inc_ref().ptr()); };
    put(now_());
    put(picture);
    put(dump);
    put(issues);
    for (const HistoryColumn& c : columns_) put(records[c.sheet]->slots[c.slot]);
    for (const py::object& gain : gains) put(gain ? py::handle(gain) : py::handle(Py_None));
    rows_.append(std::move(row));
}

void RunHistory::before_save() {
    if (history_.is_none()) return;
    // A run whose workbook goes to another file now ("备份": its lock lost, or its own file not
    // writable) writes all its pictures into the history beside that file, never into the day's.
    py::object saved_to = py_::BookMemory::of(kTavrin).path();
    if (saved_to && !saved_to.equal(workbook_)) {
        try {
            history_.attr("release")(path_);
            path_ = history_.attr("history_path")(saved_to);
        } catch (py::error_already_set& e) {
            if (!e.matches(PyExc_Exception)) throw;
            not_saved(e);
            return;
        }
        workbook_ = saved_to;
        py::list all;
        for (py::handle written : written_) all.attr("extend")(marshal_.attr("loads")(written));
        all.attr("extend")(rows_);
        rows_ = all;
        written_ = py::list();
    }
    if (rows_.empty()) return;
    try {
        staged_ = wait_ < 0 ? history_.attr("stage_run")(path_, tags_, rows_)
                            : history_.attr("stage_run")(path_, tags_, rows_, wait_);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;
        not_saved(e);
    }
}

void RunHistory::after_save(bool saved) {
    if (!staged_) return;
    py::object staged = std::move(staged_);
    try {
        if (!saved) {
            staged.attr("rollback")();
            return;
        }
        staged.attr("commit")();
        written_.append(marshal_.attr("dumps")(rows_));  // kept small, should they be needed again
        rows_ = py::list();
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;
        not_saved(e);
    }
}

void RunHistory::not_saved(const py::error_already_set& e) {
    wait_ = 0;  // later saves try again without waiting
    if (!told_) kTavrin.print(py_::history_not_saved(e, history_, path_));
    told_ = true;
}

void move_history_along(const py_::Namespace& ns, py::handle workbook, py::handle moved) {
    py::object history;
    py::object path = py::reinterpret_borrow<py::object>(workbook);
    try {
        history = py::module_::import(py_::kHistoryModule);
        path = history.attr("history_path")(workbook);
        history.attr("move")(path, history.attr("history_path")(moved));
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;
        ns.print(py_::to_str(old_history_kept_line(py_::to_ustring(py::str(path)),
                                                   from_utf8(py_::history_failure(e, history)))));
    }
}

}  // namespace awb::batch
