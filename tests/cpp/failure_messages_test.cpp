// The words of a failed console command, step by step, and the batch's notes on a failure of its
// workbook or capture list, or on a run stopped short.
#include <doctest/doctest.h>

#include <cerrno>
#include <initializer_list>

#include "awb/sheets.hpp"
#include "failure_messages.hpp"
#include "failure_notes.hpp"
#include "run_lines.hpp"

namespace awb {
namespace {

using console::FailureFacts;
using console::Step;

struct Facts : FailureFacts {
    int asked = 0;  // how often a lazy fact was asked for
    Facts(Step at, ErrorKind kind, std::string what) {
        step = at;
        error = kind;
        detail = std::move(what);
        workbook = "/h/Desktop/Corvane.xls";
        text = "/r/Results/P-main_awb_dbg_info.txt";
        capture_list = "/h/rawfilename.txt";
        wait_seconds = 5;
        note = [this] { return ++asked, std::optional<std::string>(); };
        named_file = [this] { return ++asked, std::optional<std::string>(); };
        empty_results = [this] { return ++asked, std::optional<console::EmptyResults>(); };
    }
};

// An error of the interpreter's classes named.
ErrorKind of(std::initializer_list<bool ErrorKind::*> classes) {
    ErrorKind k;
    for (bool ErrorKind::*c : classes) k.*c = true;
    return k;
}
ErrorKind value() { return of({&ErrorKind::value_error}); }
ErrorKind decode() {
    return of({&ErrorKind::value_error, &ErrorKind::unicode_error, &ErrorKind::unicode_decode_error});
}
ErrorKind encode() { return of({&ErrorKind::value_error, &ErrorKind::unicode_error}); }
ErrorKind os() { return of({&ErrorKind::os_error}); }
ErrorKind permission() { return of({&ErrorKind::os_error, &ErrorKind::permission_error}); }
ErrorKind other() { return {}; }

std::string words(const Facts& facts) { return console::describe_failure(facts); }

TEST_CASE("finding the newest result") {
    Facts none(Step::kDiscovery, value(), "ValueError: max() arg is an empty sequence");
    none.empty_results = [] { return console::EmptyResults{"/r/Results/", true}; };
    CHECK(words(none) == "结果文件夹 /r/Results/ 中没有仿真结果文本(*.txt), 请先运行仿真再按回车");
    none.empty_results = [] { return console::EmptyResults{"/r/Results/", false}; };
    CHECK(words(none) == "结果文件夹 /r/Results/ 不存在, 没有仿真结果文本(*.txt), 请先运行仿真再按回车");
    none.empty_results = [] { return console::EmptyResults{"/r/Results/", true, 2}; };
    CHECK(words(none) ==
          "结果文件夹 /r/Results/ 中没有仿真结果文本(*.txt) (清空时未能删除的 2 个旧结果文本不算), "
          "请先运行仿真再按回车");
    Facts results_there(Step::kDiscovery, value(), "ValueError: x");
    CHECK(words(results_there) == "查找最新仿真结果时出错 (ValueError: x)");
    results_there.note = [] {
        return std::optional<std::string>(console::result_name_not_text("\\xB2.txt"));
    };
    CHECK(words(results_there).rfind("最新的仿真结果的文件名 \\xB2.txt 不是本机编码的文本", 0) == 0);
    Facts writing(Step::kSettle, os(), "OSError: x");
    writing.note = [] { return std::optional<std::string>(console::still_being_written("/r/P.txt", true)); };
    CHECK(
        words(writing) ==
        "仿真结果 /r/P.txt 还在写入 (它停在一个标签的值中间, 旁边还没有颜色统计文本), 本次未记录, 等仿真写完后再按回车");
    CHECK(console::waiting_for_result("/r/P.txt", 3) == "仿真结果 /r/P.txt 还在写入, 等它写完 (最多 3 秒)…");
    Facts missing(Step::kDiscovery, os(), "FileNotFoundError: [Errno 2] No such file");
    CHECK(
        words(missing) ==
        "无法打开最新结果的调试信息文本 /r/Results/P-main_awb_dbg_info.txt (FileNotFoundError: [Errno 2] No such file)");
    missing.named_file = [] { return std::optional<std::string>("/r/Results/Q_awb_dbg_info.txt"); };
    CHECK(
        words(missing) ==
        "无法打开最新结果的调试信息文本 /r/Results/Q_awb_dbg_info.txt (FileNotFoundError: [Errno 2] No such file)");
    Facts odd(Step::kDiscovery, other(), "TypeError: bad");
    CHECK(words(odd) == "查找最新仿真结果时出错 (TypeError: bad)");
    CHECK(odd.asked == 0);  // nothing looked at that the words do not need
}

TEST_CASE("the workbook's lock, its making and its reading") {
    Facts timeout(Step::kLockWorkbook, os(), "Timeout: x");
    timeout.lock_timeout = true;
    CHECK(words(timeout) ==
          "工作簿 /h/Desktop/Corvane.xls 正被另一个程序写入, 等了 5 秒仍未写完, 本次未记录, 稍后再按回车");
    CHECK(words(Facts(Step::kLockWorkbook, os(), "OSError: x")) ==
          "无法锁定工作簿 /h/Desktop/Corvane.xls (OSError: x)");
    Facts refused(Step::kLockWorkbook, permission(), "PermissionError: x");
    refused.note = [] { return std::optional<std::string>("锁文件 L 无法使用, 请移走它后再试"); };
    CHECK(words(refused) == "锁文件 L 无法使用, 请移走它后再试");  // what to do, not the error
    CHECK(words(Facts(Step::kCreateWorkbook, permission(), "PermissionError: x")) ==
          "无法新建工作簿 /h/Desktop/Corvane.xls (PermissionError: x)");

    Facts noted(Step::kOpenWorkbook, value(), "ValueError: missing sheets: S");
    noted.note = [] { return std::optional<std::string>("工作簿 W 缺少工作表 S"); };
    CHECK(words(noted) == "工作簿 W 缺少工作表 S");
    ErrorKind not_found = os();
    not_found.file_not_found = true;
    CHECK(words(Facts(Step::kOpenWorkbook, not_found, "FileNotFoundError")) ==
          "工作簿 /h/Desktop/Corvane.xls 不存在");
    CHECK(words(Facts(Step::kOpenWorkbook, permission(), "PermissionError")) ==
          "工作簿 /h/Desktop/Corvane.xls 无法读取, 没有读取权限");
    // Too few sheets is told by the reader's note on its IndexError, not by any IndexError.
    ErrorKind index;
    index.index_error = true;
    CHECK(
        words(Facts(Step::kOpenWorkbook, index, "IndexError: list index out of range")) ==
        "工作簿 /h/Desktop/Corvane.xls 不是可读的 .xls 工作簿, 请移走它后重试 (IndexError: list index out of range)");
    index.too_few_sheets = true;
    Facts too_few(Step::kOpenWorkbook, index, "IndexError: list index out of range");
    too_few.note = [] { return std::optional<std::string>(too_few_sheets_note("/elsewhere/Corvane.xls")); };
    CHECK(words(too_few) ==
          "工作簿 /h/Desktop/Corvane.xls 少于七个工作表 (应为 T, WF, F, CWF, D, DF, S), 请移走它后重试");
    CHECK(
        words(Facts(Step::kOpenWorkbook, other(), "XLRDError: Unsupported format")) ==
        "工作簿 /h/Desktop/Corvane.xls 不是可读的 .xls 工作簿, 请移走它后重试 (XLRDError: Unsupported format)");
}

TEST_CASE("the capture list, the AWB text's values and the check that it held any") {
    Facts list(Step::kIssueNote, decode(), "UnicodeDecodeError: x");
    list.note = [] { return std::optional<std::string>("/h/rawfilename.txt 不是 utf-8 或 gbk 编码的文本"); };
    CHECK(words(list) ==
          "问题点列表 /h/rawfilename.txt 不是 utf-8 或 gbk 编码的文本, 请以 UTF-8 编码另存后再按回车 "
          "(UnicodeDecodeError: x)");
    // A note the console's output could not show is no fault of the list.
    CHECK(words(Facts(Step::kIssueNote, encode(), "UnicodeEncodeError: 'gbk' codec")) ==
          "控制台无法显示问题点, 本次未记录 (UnicodeEncodeError: 'gbk' codec)");
    CHECK(words(Facts(Step::kIssueNote, os(), "OSError: x")) ==
          "无法读取问题点列表 /h/rawfilename.txt (OSError: x)");

    CHECK(words(Facts(Step::kReadTags, decode(), "UnicodeDecodeError: y")) ==
          "调试信息文本 /r/Results/P-main_awb_dbg_info.txt 无法解码 (UnicodeDecodeError: y)");
    CHECK(words(Facts(Step::kReadTags, value(), "ValueError: invalid literal")) ==
          "调试信息文本 /r/Results/P-main_awb_dbg_info.txt 中有不是整数的值 (ValueError: invalid literal)");
    ErrorKind overflow;
    overflow.overflow_error = true;
    CHECK(words(Facts(Step::kReadTags, overflow, "OverflowError: big")) ==
          "调试信息文本 /r/Results/P-main_awb_dbg_info.txt 中有超出范围的值 (OverflowError: big)");
    CHECK(words(Facts(Step::kReadTags, other(), "TypeError: t")) ==
          "读取调试信息文本 /r/Results/P-main_awb_dbg_info.txt 时出错 (TypeError: t)");

    CHECK(
        words(Facts(Step::kCheckValues, value(), "ValueError: none")) ==
        "调试信息文本 /r/Results/P-main_awb_dbg_info.txt 中没有 AWB 调试数据 (没有一行是记录所读的标签), 未写入工作簿");
    CHECK(words(Facts(Step::kCheckValues, other(), "TypeError: t")) ==
          "检查调试信息文本 /r/Results/P-main_awb_dbg_info.txt 时出错 (TypeError: t)");
}

TEST_CASE("writing, saving, the summary and the clear") {
    CHECK(words(Facts(Step::kWriteRow, value(), "ValueError: full")) ==
          "无法写入工作簿 /h/Desktop/Corvane.xls (ValueError: full)");
    // A failed save says whether the workbook on disk is whole (a note says it is not) and what
    // was not saved; EBUSY holds a file as a denied access does.
    auto saved = [](ErrorKind kind, int number, std::optional<std::string> note = std::nullopt) {
        kind.error_number = number;
        Facts facts(Step::kSaveWorkbook, kind, "OSError: e");
        facts.picture = "P.jpg";
        facts.note = [note] { return note; };
        return words(facts);
    };
    const std::string kept = "; 磁盘上的工作簿仍完好 (未改动), 本次的 P.jpg 未记录";
    CHECK(saved(os(), EBUSY) == saved(permission(), 0));
    CHECK(saved(permission(), 0) ==
          "工作簿 /h/Desktop/Corvane.xls 无法保存: 它正被表格程序打开, 或它及所在文件夹是只读的" + kept +
              ", 关闭或改为可写后再按回车");
    CHECK(saved(os(), ENOSPC) ==
          "工作簿 /h/Desktop/Corvane.xls 无法保存: 磁盘已满 (OSError: e)" + kept + ", 腾出空间后再按回车");
    CHECK(saved(os(), EIO) == "工作簿 /h/Desktop/Corvane.xls 无法保存 (OSError: e)" + kept);
    CHECK(saved(os(), EIO, "N") == "N, 本次的 P.jpg 未记录");
    CHECK(words(Facts(Step::kSummary, other(), "KeyError: 1")) ==
          "图片已写入工作簿 /h/Desktop/Corvane.xls, 但显示结果时出错 (KeyError: 1)");
    CHECK(words(Facts(Step::kClear, os(), "OSError: x")) == "清除仿真数据时出错 (OSError: x)");
    CHECK(console::clear_left_files(2, "/r/Results/P.txt", "PermissionError: x") ==
          "有 2 个仿真结果文件未能删除, 第一个是 /r/Results/P.txt (PermissionError: x); "
          "它可能正被编辑器或仿真程序打开, 关闭后再输入 r");
    CHECK(console::failure_line("a\nb\r\nc") == "操作失败: a b  c");
}

TEST_CASE("the batch's notes on its workbook and capture list") {
    const std::string book = "Corvane20261208.xls";
    auto note = [&book](ErrorKind kind, std::string type, std::string message) {
        kind.type = std::move(type);
        kind.message = std::move(message);
        return batch::workbook_failure_note(book, kind);
    };
    CHECK(note(permission(), "PermissionError", "[Errno 13] denied") ==
          "表格文件 Corvane20261208.xls 无法写入: 它正被表格程序打开, 或它及所在文件夹是只读的");
    ErrorKind index;
    index.index_error = true;
    CHECK_FALSE(note(index, "IndexError", "list index out of range"));  // not the reader's too few sheets
    index.too_few_sheets = true;
    CHECK(note(index, "IndexError", "list index out of range") ==
          "表格文件 Corvane20261208.xls 少于七个工作表 (应为 T, WF, F, CWF, D, DF, S), 请移走它后重试");
    CHECK(
        note(other(), "XLRDError", "Unsupported format") ==
        "表格文件 Corvane20261208.xls 不是可读的 .xls 工作簿, 请移走它后重试 (XLRDError: Unsupported format)");
    CHECK(note(other(), "CompDocError", "bad") ==
          "表格文件 Corvane20261208.xls 不是可读的 .xls 工作簿, 请移走它后重试 (CompDocError: bad)");
    CHECK(note(os(), "OSError", "[Errno 5] io") ==
          "表格文件 Corvane20261208.xls 无法读写 (OSError: [Errno 5] io)");
    CHECK_FALSE(note(value(), "ValueError", "x"));
    CHECK(
        batch::undecodable_capture_list_note("rawfilename.txt", {"utf-8", "gbk"}) ==
        "rawfilename.txt 无法读取: rawfilename.txt 不是 utf-8 或 gbk 编码的文本, 请以 UTF-8 编码另存后重试");
    CHECK(batch::unreadable_capture_list_note("lists/rawfilename.txt", "[Errno 21] Is a directory") ==
          "rawfilename.txt 无法读取: lists/rawfilename.txt ([Errno 21] Is a directory)");

    // A run stopped by Ctrl-C or by the loss of its lock: what its last save kept, and where.
    batch::LastSave failed{3, U"备份/Corvane.xls", U"OSError: [Errno 28] full"};
    CHECK(to_utf8(batch::interrupted_note(failed)) ==
          "已中断: 表格中已保存 3 张照片: 备份/Corvane.xls (最后一次保存失败: OSError: [Errno 28] full)");
    // A run whose own workbook could not be written goes whole into "备份".
    batch::LastSave aside{240, U"备份/C1.xls", U"", U"C.xls", U": 被占用", 140, 240};
    CHECK(
        to_utf8(batch::saved_line(aside)) ==
        "表格文件 C.xls 无法保存: 被占用; 本次的表格 (240 张照片) 已全部另存到: 备份/C1.xls (C.xls 中是上次保存的 140 张)");
    CHECK(
        to_utf8(batch::workbook_full_note(U"已满", batch::capture_list_place(9), U"P.jpg", failed)) ==
        "已满; 记录停在 rawfilename.txt 第 9 行 (P.jpg), 表格中已保存 3 张照片: 备份/Corvane.xls (最后一次保存失败: "
        "OSError: [Errno 28] full)");
    CHECK(to_utf8(batch::lock_lost_note(U"C.xls", std::nullopt)) ==
          "工作簿 C.xls 已被另一个程序加锁写入 (锁文件曾被删除或替换), 本次不再写入它; 本次尚未记录照片");
    CHECK(to_utf8(batch::lock_lost_note(U"C.xls", batch::LastSave{12, U"备份/C1.xls", U""})) ==
          "工作簿 C.xls 已被另一个程序加锁写入 (锁文件曾被删除或替换), 本次不再写入它; 本次的表格 (12 "
          "张照片) 另存到: 备份/C1.xls");
}

}  // namespace
}  // namespace awb
