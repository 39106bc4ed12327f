// The batch driver: goes through the capture list, records every listed picture from its EXIF
// dump in a fresh day's workbook (the earlier run's goes into "备份") and reports the pictures
// it could not record in full.
#include <map>

#include "awb/capture_list.hpp"
#include "awb/file_names.hpp"
#include "awb/write_failures.hpp"
#include "batch.hpp"
#include "dump_names.hpp"
#include "errors.hpp"
#include "failure_notes.hpp"
#include "file_safety.hpp"
#include "os_calls.hpp"
#include "run_lines.hpp"
#include "strings.hpp"
#include "text_files.hpp"

namespace awb::batch {
namespace {

constexpr const char* kCaptureListName = "rawfilename.txt";
constexpr const char* kDumpFolder = "./EXIF/";
constexpr const char* kRunningLine = "%02d %s";  // the picture's number as the module holds it

using py_::text_of;
using py_::to_str;
using py_::to_ustring;

// The interpreter's text of any object (str(value)), as the core holds texts.
ustring text_as_ustring(py::handle value) { return to_ustring(py::str(value)); }

// A line of the core as a note on an error: in UTF-8, as the interpreter encodes its texts.
std::string note_text(const ustring& line) { return text_of(to_str(line)); }

// Raises `error` (an exception object made here) with a note for the engineer.
[[noreturn]] void raise_noted(const py::object& error, const std::string& note) {
    try {
        py_::raise_object(error);
    } catch (py::error_already_set& raised) {
        py_::add_note(raised, note);
        throw;
    }
}

// Why a file could not be written, in the engineer's words (awb::why_not_written).
std::string why_not_written(const py::error_already_set& e) {
    return awb::why_not_written(write_failure(py_::error_number(e), e.matches(PyExc_PermissionError)),
                                py_::described(e));
}

// A rerun starts a fresh day's workbook: a workbook holds one run. The earlier run's goes into
// "备份" beside it, or, where "备份" takes no file (a plain file of that name, a folder that takes
// no new file), is renamed beside itself under the name it would have there; its history goes
// along. One that can be neither (held open by a spreadsheet program, or marked read-only: the
// user wants it left as it is) stays as it is, and the batch stops before it records anything.
void move_old_workbook(const py_::Namespace& ns) {
    py::object workbook = ns.get(globals::Excle_File);
    if (!py_::exists(ns, workbook)) return;
    py::object moved;
    try {
        py_::refuse_read_only(ns, py_::Os(ns).realpath(workbook));
        try {
            moved = py_::move_into_backups(ns, workbook);
            ns.print(to_str(old_workbook_moved_line(text_as_ustring(moved))));
        } catch (py::error_already_set& e) {
            if (!e.matches(PyExc_OSError)) throw;
            ustring why = from_utf8(py_::described(e));
            moved = py_::rename_beside(ns, workbook);
            ns.print(to_str(old_workbook_renamed_line(text_as_ustring(moved), why)));
        }
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;
        py_::add_note(e, old_workbook_stays_note(text_of(workbook), why_not_written(e)));
        throw;
    }
    move_history_along(ns, workbook, moved);
}

// Why a picture was passed over: the reader's note on the error (what the dump is, in the
// engineer's terms), else the error itself.
ustring failure_detail(const py::error_already_set& e) {
    std::optional<std::string> note = py_::first_note(e);
    return from_utf8(note ? *note : py_::described(e));
}

// What a failure of the day's workbook means to the engineer, noted on the error
// (awb::batch::workbook_failure_note).
void explain_workbook_failure(py::error_already_set& e) {
    const std::string workbook = text_of(kTavrin.get(globals::Excle_File));
    ErrorKind failure = py_::error_kind(e);
    std::optional<std::string> note = workbook_failure_note(workbook, failure);
    if (!note) return;
    // The batch's words on a workbook of too few sheets take the place of the reader's.
    if (failure.too_few_sheets) {
        py_::replace_first_note(e, *note);
    } else {
        py_::add_note(e, *note);
    }
}

void explain_capture_list_failure(py::error_already_set& e, py::handle path,
                                  const std::vector<std::string>& tried) {
    std::string list = text_of(path);
    if (e.matches(PyExc_UnicodeDecodeError)) {
        py_::add_note(e, undecodable_capture_list_note(list, tried));
    } else if (e.matches(PyExc_OSError)) {
        py_::add_note(e, unreadable_capture_list_note(list, text_of(e.value())));
    }
}

}  // namespace

void print_lines(const std::vector<ustring>& lines) {
    for (const ustring& line : lines) kTavrin.print(to_str(line));
}

CollectorPause::CollectorPause() {
    py::module_ gc = py::module_::import("gc");
    was_enabled_ = gc.attr("isenabled")().cast<bool>();
    gc.attr("disable")();
}

CollectorPause::~CollectorPause() {
    if (!was_enabled_) return;
    try {
        py::module_::import("gc").attr("enable")();
    } catch (py::error_already_set& e) {
        e.discard_as_unraisable("enabling the garbage collector");
    }
}

PictureRun::PictureRun() : workbook_(kTavrin.get(globals::Excle_File)), run_(kTavrin) {
    py_::BookMemory& memory = py_::BookMemory::of(kTavrin);
    memory.before_run_saves([this] { check_lock(); });
    memory.on_failed_checkpoint([this](const py::error_already_set& e) {
        kTavrin.print(
            to_str(checkpoint_failed_line(text_as_ustring(workbook_), from_utf8(why_not_written(e)))));
    });
}

PictureRun::SaveChecks::~SaveChecks() {
    py_::BookMemory& memory = py_::BookMemory::of(kTavrin);
    memory.before_run_saves(nullptr);
    memory.on_failed_checkpoint(nullptr);
}

void PictureRun::hold_lock() {
    if (!lock_) {
        lock_.emplace(kTavrin, workbook_, py_::kBatchWait);
        return;
    }
    check_lock();
    stop_if_lost();
}

void PictureRun::check_lock() {
    if (lost_ || !lock_ || lock_->keep(kTavrin)) return;
    // Another process writes the workbook now: what this run recorded goes into "备份".
    lost_ = kTavrin.get(globals::filelock).attr("Timeout")(py::str(workbook_) + py::str(".lock"));
    py_::BookMemory::of(kTavrin).redirect(py_::backup_for_now(kTavrin, workbook_));
}

LastSave PictureRun::save_last() {
    LastSave save;
    py_::BookMemory& memory = py_::BookMemory::of(kTavrin);
    try {
        run_.save();
    } catch (py::error_already_set& e) {
        save_error_ = e.value();
        save.failure = from_utf8(py_::described(e));
        // The run's own workbook cannot be written (held to the end, the drive full...): the whole
        // run in memory goes to a new workbook in "备份", as a run that lost its lock does.
        if (e.matches(PyExc_OSError) && memory.holds_book() && memory.path().equal(workbook_)) {
            save.own = text_as_ustring(workbook_);
            save.own_failure = from_utf8(why_not_written(e));
            save.in_own = memory.saved_pictures();
            save.recorded = memory.pictures();
            save.failure.clear();
            try {
                memory.redirect(py_::backup_for_now(kTavrin, workbook_));
                run_.save();
            } catch (py::error_already_set& again) {
                save.failure = from_utf8(py_::described(again));
            }
        }
    }
    save.pictures = memory.saved_pictures();
    save.where = text_as_ustring(memory.path() ? memory.path() : workbook_);
    return save;
}

void PictureRun::stop_if_lost() {
    if (!lost_) return;
    LastSave save = save_last();
    std::optional<LastSave> saved;
    if (py_::BookMemory::of(kTavrin).holds_book()) saved = std::move(save);
    raise_noted(lost_, note_text(lock_lost_note(text_as_ustring(workbook_), saved)));
}

void PictureRun::stop_full(py::error_already_set& e, const ustring& where, const py::object& picture) {
    LastSave save = save_last();
    stop_if_lost();
    py::object full = kTavrin.get("WorkbookFull")(e.value().attr("args")[py::int_(0)]);
    full.attr("workbook") = save.failure.empty() ? py::object(to_str(save.where)) : py::none();
    raise_noted(full, note_text(workbook_full_note(to_ustring(py::str(e.value())), where, to_ustring(picture),
                                                   save)));
}

void PictureRun::record(const py::object& jpg, const py::object& rawpic, const py::object& issues,
                        const ustring& where) {
    const py_::Namespace& ns = kTavrin;
    hold_lock();
    py::object workbook = ns.get(globals::Excle_File);
    // The run's workbook in memory is the truth: one deleted meanwhile is saved whole again.
    if (!py_::BookMemory::of(ns).holds_run_book(workbook) && !py_::exists(ns, workbook)) {
        ns.set(globals::insert_row_num, py::int_(1));
        try {
            ns.get(globals::Create_Excel)(jpg, rawpic, issues);
        } catch (py::error_already_set& e) {
            explain_workbook_failure(e);
            throw;
        }
    }
    try {
        ns.get(globals::Create_DP_Log_DATA)(jpg, rawpic, issues);
    } catch (py::error_already_set& e) {
        RecordFailure failure = take_record_failure(e.value());
        if (failure == RecordFailure::kWorkbookFull) stop_full(e, where, jpg);
        if (failure != RecordFailure::kPicture) {
            explain_workbook_failure(e);
            throw;
        }
        pass_over(to_ustring(jpg), failure_detail(e));
    }
    stop_if_lost();  // a save of this picture found the lock lost
}

void PictureRun::pass_over(ustring picture, uview why) {
    kTavrin.print(to_str(picture_skipped_line(picture, why)));
    failed_.push_back(std::move(picture));
}

void PictureRun::finish() {
    LastSave save = save_last();
    stop_if_lost();
    if (save.own.empty() && save.failure.empty()) return;
    // Nothing recorded is dropped, but the day's workbook does not hold the run: said in one line.
    raise_noted(save_error_, note_text(saved_line(save)));
}

void PictureRun::interrupted(py::error_already_set& interrupt) {
    py_::HeldInterrupt held;  // a second Ctrl-C does not cut the last save short
    py_::add_note(interrupt, note_text(interrupted_note(save_last())));
}

// Records every picture line of the capture list, then saves what is pending; the lines whose
// note was cut go into `cut_notes`.
static void record_lines(PictureRun& run, const std::vector<ustring>& lines,
                         std::vector<CutNote>& cut_notes) {
    const py_::Namespace& ns = kTavrin;
    py_::Os os(ns);
    py::str folder(kDumpFolder);
    auto dump_exists = [&](const ustring& dump) { return os.exists(folder + to_str(dump)); };
    // A dump named in another letter case, as a Windows desk finds it: its folder is listed once.
    std::map<ustring, std::vector<ustring>> listed;
    auto same_but_case = [&](const ustring& dump) -> std::optional<ustring> {
        std::size_t slash = dump.find_last_of(U"/\\");
        ustring sub = slash == ustring::npos ? ustring() : dump.substr(0, slash + 1);
        auto [names, fresh] = listed.try_emplace(sub);
        if (fresh) {
            try {
                for (py::handle name : ns.lookup("sorted")(os.listdir(folder + to_str(sub))))
                    names->second.push_back(to_ustring(name));
            } catch (py::error_already_set& e) {
                if (!e.matches(PyExc_OSError)) throw;  // no such folder: the dump is missing
            }
        }
        std::optional<ustring> found =
            same_name_in(names->second, uview(dump).substr(sub.size()), py_::upper_case);
        if (!found) return std::nullopt;
        return sub + *found;
    };
    std::size_t line_number = 0;
    for (const ustring& text : lines) {
        ++line_number;
        CaptureLine read = read_capture_line(text);
        if (read.kind == LineKind::kEmpty) continue;
        if (read.kind == LineKind::kMalformed) {
            ns.print(to_str(bad_line(line_number, read.cleaned)));
            continue;
        }
        if (std::optional<CutNote> cut = cut_note(line_number, read)) cut_notes.push_back(std::move(*cut));
        ns.print(py_::percent(kRunningLine,
                              py::make_tuple(ns.get(globals::data_num), to_str(echo(read.cleaned)))));
        py::str jpg = to_str(read.fields[0]);
        py::str rawpic = to_str(read.fields[1]);
        py::str issues = to_str(read.fields[2]);
        ns.set(globals::data_num, ns.get(globals::data_num) + py::int_(1));
        ns.set(globals::Target_Awb_Target_Pic,
               to_str(dump_to_read(read.fields[0], picture_as_written(text), dump_exists, same_but_case)));
        ns.set(globals::exif_file_flage, py::int_(0));
        run.record(jpg, rawpic, issues, capture_list_place(line_number));
    }
    run.finish();
}

void tavrin() {
    const py_::Namespace& ns = kTavrin;
    py::object prefix = ns.get(globals::global_val).attr("rawfilename_txt");
    py::object list_path = prefix + py::str(kCaptureListName);
    std::string list = text_of(list_path);
    if (!py_::exists(ns, list_path)) {
        py::object enoent = py::module_::import("errno").attr("ENOENT");
        raise_noted(py::reinterpret_borrow<py::object>(PyExc_FileNotFoundError)(
                        enoent, py_::Os(ns).module().attr("strerror")(enoent), list_path),
                    missing_capture_list_note(list));
    }
    std::vector<ustring> lines;
    std::vector<std::string> tried;
    try {
        for (py::handle line : py_::read_text_lines(ns, list_path, &tried)) lines.push_back(to_ustring(line));
    } catch (py::error_already_set& e) {
        explain_capture_list_failure(e, list_path, tried);
        throw;
    }
    if (!holds_picture_line(lines))
        py_::raise_noted(PyExc_ValueError, no_picture_lines_message(list), no_picture_lines_note(list));

    // The workbook's lock is held from here to the run's last save: the earlier workbook is
    // moved aside and the new one written by this batch alone.
    PictureRun run;
    run.hold_lock();
    move_old_workbook(ns);
    std::vector<CutNote> cut_notes;
    run.guarded([&] { record_lines(run, lines, cut_notes); });

    std::vector<ustring> missing;
    for (py::handle entry : ns.get(globals::no_exif_list)) missing.push_back(text_as_ustring(entry));
    print_lines(
        batch_end_report(missing, run.failed(), cut_notes, text_as_ustring(ns.get(globals::Excle_File))));
}

}  // namespace awb::batch
