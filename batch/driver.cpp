// The batch driver: goes through the capture list, records every listed picture from its EXIF
// dump in a fresh day's workbook and reports the pictures it could not record in full.
#include "batch.hpp"
#include "rules.hpp"

namespace awb::batch {
namespace {

constexpr const char* kCaptureListName = "rawfilename.txt";
constexpr const char* kNoCaptureList = "rawfilename.txt 文件不存在: %s";
constexpr const char* kOldWorkbookKept = "旧表格文件无法删除,本次数据将追加到其中: %s (%s)";
constexpr const char* kBadLine = "第%d行格式错误,已跳过: %s";
constexpr const char* kRunningLine = "%02d %s";
constexpr const char* kPictureFailed = "exif数据有误,照片已跳过: %s (%s)";
constexpr const char* kMissingDumpsHead = "\n有照片缺少exif数据,请重新导出对应图片的exif数据！";
constexpr const char* kFailedPicturesHead = "\n有照片的exif数据有误,未写入表格,请检查对应图片的exif数据！";
constexpr const char* kDone = "数据处理完成！表格文件:%s";

py::object format(const char* pattern, py::handle values) {
    return py::str(pattern).attr("__mod__")(values);
}

// "TypeName: message" of an error, on one line.
py::object error_line(const py::error_already_set& e) {
    py::object text = py::str("{}: {}").format(e.type().attr("__name__"), e.value());
    return text.attr("replace")("\r", " ").attr("replace")("\n", " ");
}

// The day's workbook is made afresh by every batch; one that cannot be removed (held open by a
// spreadsheet program, or marked read-only, which Windows would not remove either) stays, and
// this batch's rows go below its own.
void remove_old_workbook(const py_::Namespace& ns) {
    py::object workbook = ns.get("Excle_File");
    if (!py_::exists(ns, workbook)) return;
    try {
        py_::refuse_read_only(ns, workbook);
        ns.get("os").attr("remove")(workbook);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;
        ns.print(format(kOldWorkbookKept, py::make_tuple(workbook, error_line(e))));
    }
}

std::string text_of(py::handle value) { return py::str(value).cast<std::string>(); }

// Why a picture was passed over: the reader's note on the error (what the dump is, in the
// engineer's terms), else the error itself.
py::object failure_detail(const py::error_already_set& e) {
    py::object notes = py::getattr(e.value(), "__notes__", py::none());
    if (!notes.is_none() && py::len(notes) > 0) return py::str(notes[py::int_(0)]);
    return error_line(e);
}

// What a failure of the day's workbook means to the engineer, noted on the error.
void explain_workbook_failure(py::error_already_set& e) {
    const std::string workbook = text_of(kTavrin.get("Excle_File"));
    std::string type = text_of(e.type().attr("__name__"));
    if (e.matches(PyExc_PermissionError)) {
        py_::add_note(e, "表格文件 " + workbook + " 无法写入: 它正被表格程序打开, 或它及所在文件夹是只读的");
    } else if (e.matches(PyExc_IndexError)) {
        py_::add_note(e, "表格文件 " + workbook + " 少于七个工作表 (应为 T, WF, F, CWF, D, DF, S), 请移走它后重试");
    } else if (type == "XLRDError" || type == "CompDocError") {
        py_::add_note(e, "表格文件 " + workbook + " 不是可读的 .xls 工作簿, 请移走它后重试 (" +
                             type + ": " + text_of(e.value()) + ")");
    } else if (e.matches(PyExc_OSError)) {
        py_::add_note(e, "表格文件 " + workbook + " 无法读写 (" + type + ": " + text_of(e.value()) + ")");
    }
}

void explain_capture_list_failure(py::error_already_set& e, py::handle path) {
    std::string list = text_of(path);
    if (e.matches(PyExc_UnicodeError)) {
        py_::add_note(e, "rawfilename.txt 无法读取: " + py_::undecodable_text(e, list) + ", 请用该编码另存后重试");
    } else if (e.matches(PyExc_OSError)) {
        py_::add_note(e, "rawfilename.txt 无法读取: " + list + " (" + text_of(e.value()) + ")");
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

PictureRun::PictureRun() : run_(kTavrin) {}

void PictureRun::record(const py::object& jpg, const py::object& rawpic, const py::object& issues) {
    const py_::Namespace& ns = kTavrin;
    if (!py_::exists(ns, ns.get("Excle_File"))) {
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
        ns.print(format(kPictureFailed, py::make_tuple(py_::echo(jpg), failure_detail(e))));
        failed_.push_back(jpg);
    }
}

void PictureRun::finish() {
    try {
        run_.end();
    } catch (py::error_already_set& e) {
        explain_workbook_failure(e);
        throw;
    }
}

void PictureRun::report_failures() const {
    if (failed_.empty()) return;
    const py_::Namespace& ns = kTavrin;
    ns.print(kFailedPicturesHead);
    for (const py::object& picture : failed_) ns.print(py_::echo(picture));
}

void tavrin() {
    const py_::Namespace& ns = kTavrin;
    // The capture list is read before the old workbook goes: without a list the old one stays.
    py::object prefix = ns.get("global_val").attr("rawfilename_txt");
    py::object list_path = prefix + py::str(kCaptureListName);
    if (!py_::exists(ns, list_path)) {
        ns.print(format(kNoCaptureList, list_path));
        return;
    }
    py::object lines;
    try {
        lines = py_::read_lines(ns, list_path);
    } catch (py::error_already_set& e) {
        explain_capture_list_failure(e, list_path);
        throw;
    }
    remove_old_workbook(ns);

    PictureRun run;
    std::size_t line_number = 0;
    for (py::handle line : lines) {
        ++line_number;
        CaptureLine read = read_capture_line(py_::to_ustring(line));
        if (read.kind == LineKind::kEmpty) continue;
        py::str shown = py_::to_str(echo(read.cleaned));
        if (read.kind == LineKind::kMalformed) {
            ns.print(format(kBadLine, py::make_tuple(line_number, shown)));
            continue;
        }
        ns.print(format(kRunningLine, py::make_tuple(ns.get("data_num"), shown)));
        py::str jpg = py_::to_str(read.fields[0]);
        py::str rawpic = py_::to_str(read.fields[1]);
        py::str issues = py_::to_str(read.fields[2]);
        ns.set("data_num", ns.get("data_num") + py::int_(1));
        ns.set("Target_Awb_Target_Pic", py_::to_str(exif_dump_name(read.fields[0])));
        ns.set("exif_file_flage", py::int_(0));
        run.record(jpg, rawpic, issues);
    }
    run.finish();

    report_missing_dumps(ns);
    run.report_failures();
    ns.print("");
    ns.print(format(kDone, ns.get("Excle_File")));
}

}  // namespace awb::batch
