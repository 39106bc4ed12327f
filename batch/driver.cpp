// The batch driver: goes through the capture list, records every listed picture from its EXIF
// dump in a fresh day's workbook (the earlier run's goes into "备份") and reports the pictures
// it could not record in full.
#include "awb/capture_list.hpp"
#include "batch.hpp"
#include "dump_names.hpp"
#include "errors.hpp"
#include "failure_notes.hpp"
#include "file_safety.hpp"
#include "os_calls.hpp"
#include "strings.hpp"
#include "text_files.hpp"

namespace awb::batch {
namespace {

constexpr const char* kCaptureListName = "rawfilename.txt";
constexpr const char* kDumpFolder = "./EXIF/";
constexpr const char* kNoCaptureList = "rawfilename.txt 文件不存在: ";
constexpr const char* kNoPictureLines =
    "rawfilename.txt 中没有照片行 (每行应为 照片名:RAW名:问题描述), 表格文件未改动: ";
constexpr const char* kOldWorkbookMoved = "之前的表格文件已移入备份: %s";
constexpr const char* kOldWorkbookKept = "旧表格文件无法移入备份,本次数据将追加到其中: %s (%s)";
constexpr const char* kInterrupted = "已中断: 表格中已保存 %d 张照片: %s";
constexpr const char* kLastSaveFailed = " (最后一次保存失败: %s)";
constexpr const char* kLockLost = "工作簿 %s 已被另一个程序加锁写入 (锁文件曾被删除或替换), 本次不再写入它; ";
constexpr const char* kSavedAside = "本次的表格 (%d 张照片) 另存到: %s";
constexpr const char* kNothingRecorded = "本次尚未记录照片";
constexpr const char* kBadLine = "第%d行格式错误,已跳过: %s";
constexpr const char* kRunningLine = "%02d %s";
constexpr const char* kPictureFailed = "exif数据有误,照片已跳过: %s (%s)";
constexpr const char* kMissingDumpsHead = "\n有照片缺少exif数据,请重新导出对应图片的exif数据！";
constexpr const char* kFailedPicturesHead = "\n有照片的exif数据有误,未写入表格,请检查对应图片的exif数据！";
constexpr const char* kDone = "数据处理完成！表格文件:%s";

using py_::percent;

// A rerun starts a fresh day's workbook and keeps the earlier run's in "备份" beside it. One
// that cannot be moved (held open by a spreadsheet program, or marked read-only: the user
// wants it left as it is) stays, and this batch's rows go below its own.
void move_old_workbook(const py_::Namespace& ns) {
    py::object workbook = ns.get("Excle_File");
    if (!py_::exists(ns, workbook)) return;
    try {
        py_::refuse_read_only(ns, py_::Os(ns).realpath(workbook));
        py::object moved = py_::move_into_backups(ns, workbook);
        ns.print(percent(kOldWorkbookMoved, moved));
        move_history_along(ns, workbook, moved);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;
        ns.print(percent(kOldWorkbookKept, py::make_tuple(workbook, py::str(py_::described(e)))));
    }
}

using py_::text_of;

// Why a picture was passed over: the reader's note on the error (what the dump is, in the
// engineer's terms), else the error itself.
py::object failure_detail(const py::error_already_set& e) {
    if (std::optional<std::string> note = py_::first_note(e)) return py::str(*note);
    return py::str(py_::described(e));
}

// What a failure of the day's workbook means to the engineer, noted on the error
// (awb::batch::workbook_failure_note).
void explain_workbook_failure(py::error_already_set& e) {
    const std::string workbook = text_of(kTavrin.get("Excle_File"));
    WorkbookFailure failure{py_::type_name(e), text_of(e.value()), e.matches(PyExc_PermissionError),
                            e.matches(PyExc_IndexError), e.matches(PyExc_OSError)};
    if (std::optional<std::string> note = workbook_failure_note(workbook, failure)) py_::add_note(e, *note);
}

void explain_capture_list_failure(py::error_already_set& e, py::handle path) {
    std::string list = text_of(path);
    if (e.matches(PyExc_UnicodeError)) {
        py_::add_note(e, undecodable_capture_list_note(list, py_::tried_encoding(e)));
    } else if (e.matches(PyExc_OSError)) {
        py_::add_note(e, unreadable_capture_list_note(list, text_of(e.value())));
    }
}

void report_missing_dumps(const py_::Namespace& ns) {
    py::object missing = ns.get("no_exif_list");
    if (py::len(missing) < 2) return;
    ns.print(kMissingDumpsHead);
    for (py::handle entry : missing) {
        ns.print(py_::to_str(echo(missing_dump_report_line(py_::to_ustring(py::str(entry))))));
    }
}

}  // namespace

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

PictureRun::PictureRun() : workbook_(kTavrin.get("Excle_File")), run_(kTavrin) {
    py_::BookMemory::of(kTavrin).before_run_saves([this] { check_lock(); });
}

PictureRun::SaveChecks::~SaveChecks() { py_::BookMemory::of(kTavrin).before_run_saves(nullptr); }

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
    lost_ = kTavrin.get("filelock").attr("Timeout")(py::str(workbook_) + py::str(".lock"));
    py_::BookMemory::of(kTavrin).redirect(py_::backup_for_now(kTavrin, workbook_));
}

std::string PictureRun::saved_line(const char* pattern, const std::string& failure) const {
    py_::BookMemory& memory = py_::BookMemory::of(kTavrin);
    py::object count = py::int_(memory.saved_pictures());
    py::object where = memory.path() ? memory.path() : workbook_;
    std::string line = text_of(percent(pattern, py::make_tuple(count, where)));
    if (!failure.empty()) line += text_of(percent(kLastSaveFailed, py::make_tuple(failure)));
    return line;
}

void PictureRun::stop_if_lost() {
    if (!lost_) return;
    std::string failure;
    try {
        run_.save();
    } catch (py::error_already_set& e) {
        failure = py_::described(e);
    }
    py::object error = lost_;
    std::string line = text_of(percent(kLockLost, py::make_tuple(workbook_))) +
                       (py_::BookMemory::of(kTavrin).holds_book() ? saved_line(kSavedAside, failure)
                                                                  : std::string(kNothingRecorded));
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    py::error_already_set raised;
    py_::add_note(raised, line);
    throw raised;
}

void PictureRun::record(const py::object& jpg, const py::object& rawpic, const py::object& issues) {
    const py_::Namespace& ns = kTavrin;
    hold_lock();
    py::object workbook = ns.get("Excle_File");
    // The run's workbook in memory is the truth: one deleted meanwhile is saved whole again.
    if (!py_::BookMemory::of(ns).holds_run_book(workbook) && !py_::exists(ns, workbook)) {
        ns.set("insert_row_num", py::int_(1));
        try {
            ns.get("Create_Excel")(jpg, rawpic, issues);
        } catch (py::error_already_set& e) {
            explain_workbook_failure(e);
            throw;
        }
    }
    try {
        ns.get("Create_DP_Log_DATA")(jpg, rawpic, issues);
    } catch (py::error_already_set& e) {
        if (!take_picture_failure(e.value())) {
            explain_workbook_failure(e);
            throw;
        }
        ns.print(percent(kPictureFailed, py::make_tuple(py_::echo(jpg), failure_detail(e))));
        failed_.push_back(jpg);
    }
    stop_if_lost();  // a save of this picture found the lock lost
}

void PictureRun::finish() {
    try {
        run_.save();
    } catch (py::error_already_set& e) {
        explain_workbook_failure(e);
        throw;
    }
    stop_if_lost();
}

void PictureRun::interrupted(py::error_already_set& interrupt) {
    py_::HeldInterrupt held;  // a second Ctrl-C does not cut the last save short
    std::string failure;
    try {
        run_.save();
    } catch (py::error_already_set& e) {
        failure = py_::described(e);
    }
    py_::add_note(interrupt, saved_line(kInterrupted, failure));
}

void PictureRun::report_failures() const {
    if (failed_.empty()) return;
    const py_::Namespace& ns = kTavrin;
    ns.print(kFailedPicturesHead);
    for (const py::object& picture : failed_) ns.print(py_::echo(picture));
}

// Records every picture line of the capture list, then saves what is pending.
static void record_lines(PictureRun& run, py::handle lines) {
    const py_::Namespace& ns = kTavrin;
    py_::Os os(ns);
    py::str folder(kDumpFolder);
    auto dump_exists = [&](const ustring& dump) { return os.exists(folder + py_::to_str(dump)); };
    std::size_t line_number = 0;
    for (py::handle line : lines) {
        ++line_number;
        ustring text = py_::to_ustring(line);
        CaptureLine read = read_capture_line(text);
        if (read.kind == LineKind::kEmpty) continue;
        py::str shown = py_::to_str(echo(read.cleaned));
        if (read.kind == LineKind::kMalformed) {
            ns.print(percent(kBadLine, py::make_tuple(line_number, shown)));
            continue;
        }
        ns.print(percent(kRunningLine, py::make_tuple(ns.get("data_num"), shown)));
        py::str jpg = py_::to_str(read.fields[0]);
        py::str rawpic = py_::to_str(read.fields[1]);
        py::str issues = py_::to_str(read.fields[2]);
        ns.set("data_num", ns.get("data_num") + py::int_(1));
        ns.set("Target_Awb_Target_Pic",
               py_::to_str(dump_to_read(read.fields[0], picture_as_written(text), dump_exists)));
        ns.set("exif_file_flage", py::int_(0));
        run.record(jpg, rawpic, issues);
    }
    run.finish();
}

static bool holds_picture_line(py::handle lines) {
    for (py::handle line : lines) {
        if (read_capture_line(py_::to_ustring(line)).kind == LineKind::kPicture) return true;
    }
    return false;
}

void tavrin() {
    const py_::Namespace& ns = kTavrin;
    py::object prefix = ns.get("global_val").attr("rawfilename_txt");
    py::object list_path = prefix + py::str(kCaptureListName);
    std::string list = text_of(list_path);
    if (!py_::exists(ns, list_path)) {
        py::object enoent = py::module_::import("errno").attr("ENOENT");
        py::object missing = py::reinterpret_borrow<py::object>(PyExc_FileNotFoundError)(
            enoent, py_::Os(ns).module().attr("strerror")(enoent), list_path);
        PyErr_SetObject(PyExc_FileNotFoundError, missing.ptr());
        py::error_already_set raised;
        py_::add_note(raised, kNoCaptureList + list);
        throw raised;
    }
    py::object lines;
    try {
        lines = py_::read_lines(ns, list_path);
    } catch (py::error_already_set& e) {
        explain_capture_list_failure(e, list_path);
        throw;
    }
    // Without a single picture line the day's workbook is left as it is.
    if (!holds_picture_line(lines))
        py_::raise_noted(PyExc_ValueError, "no picture lines in " + list, kNoPictureLines + list);

    // The workbook's lock is held from here to the run's last save: the earlier workbook is
    // moved aside and the new one written by this batch alone.
    PictureRun run;
    run.hold_lock();
    move_old_workbook(ns);
    run.guarded([&] { record_lines(run, lines); });

    report_missing_dumps(ns);
    run.report_failures();
    ns.print("");
    ns.print(percent(kDone, ns.get("Excle_File")));
}

}  // namespace awb::batch
