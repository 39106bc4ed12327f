// The console command loop and the console as the main program. A command that fails is told
// on one line starting "操作失败:", its trace goes to the error log, and the loop prompts again.
#include <array>
#include <string>

#include "console.hpp"
#include "lock.hpp"
#include "result_names.hpp"
#include "configuration.hpp"
#include "issue_notes.hpp"
#include "picture_rows.hpp"
#include "workbook.hpp"

namespace awb::console {
namespace {

constexpr std::array<const char*, 4> kBanner{
    "                             HalvexSimulator信息查询",
    "参数: 回车 查看仿真数据！",
    "参数: -r   清除仿真数据！",
    "参数: -q   退出！",
};
constexpr const char* kShowPrompt = "输入参数: ";
constexpr const char* kClearPrompt = "请输入参数: ";
constexpr std::array<const char*, 2> kQuit{"-q", "q"};
constexpr std::array<const char*, 2> kClear{"-r", "r"};
// The simulator's result files that a clear deletes, in the results folder only.
constexpr std::array<const char*, 5> kClearPatterns{"*.txt", "*debug0.BMP", "*debug1.BMP",
                                                    "*.dat", "*.yuv422"};
constexpr const char* kCleared = "数据已清空! 重新仿真后按回车查询！";
constexpr const char* kFailed = "操作失败: ";

Step g_step = Step::kDiscovery;

bool is_one_of(const py::object& command, const std::array<const char*, 2>& words) {
    for (const char* word : words) {
        if (command.equal(py::str(word))) return true;
    }
    return false;
}

// Closes the debug text of the last show, if one is open.
void close_text(const py_::Namespace& ns) {
    py::object fp = ns.get("fp");
    if (py::hasattr(fp, "close")) fp.attr("close")();
}

// The picture label of a show: the results prefix, then the last and the first blank-separated
// field of the picture name, two blanks between.
ustring picture_label(const py_::Namespace& ns) {
    ustring path = py_::to_ustring(ns.get("Lumvik_file_full_path"));
    ustring picture = py_::to_ustring(ns.get("Target_Awb_Target_Pic"));
    std::size_t last_blank = picture.rfind(U' ');
    uview last = last_blank == ustring::npos ? uview(picture) : uview(picture).substr(last_blank + 1);
    return ustring(before_first(path, U"Results")) + ustring(last) + U"  " +
           ustring(before_first(picture, U" "));
}

void remove_quietly(const py_::Namespace& ns, py::handle path) {
    py_::BookMemory::of(ns).forget();
    try {
        ns.get("os").attr("remove")(path);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;
    }
}

void show(const py_::Namespace& ns) {
    close_text(ns);  // the text the main block's discovery opened
    mark_step(Step::kDiscovery);
    ns.get("Find_Changed_Txt")();
    py::object workbook = ns.get("Excle_File");
    {
        // One writer at a time: the workbook is looked at, made and recorded into under its lock.
        mark_step(Step::kLockWorkbook);
        py_::WorkbookLock lock(ns, workbook, py_::kShowWait);
        bool created = false;
        if (!py_::exists(ns, workbook)) {
            ns.set("insert_row_num", py::int_(1));
            mark_step(Step::kCreateWorkbook);
            ns.get("Create_Excel")();
            created = true;
        }
        mark_step(Step::kIssueNote);
        try {
            ns.get("Create_Lumvik_DATA")();
        } catch (py::error_already_set&) {
            // A failed show leaves the disk as it found it: no workbook of this show's making.
            if (created && g_step != Step::kSummary) remove_quietly(ns, workbook);
            throw;
        }
    }
    close_text(ns);
    ns.print("\n");
    ns.print(py::str("数据照片:") + py_::to_str(picture_label(ns)));
    ns.print(py::str("回写路径:") + ns.get("Excle_File").attr("replace")("\\", "/"));
}

void clear(const py_::Namespace& ns) {
    mark_step(Step::kClear);
    close_text(ns);
    py::object root = ns.get("AWB_Results_Dir_Root");
    py::object glob = ns.get("glob");
    py::object os_path = ns.get("os").attr("path");
    py::object remove = ns.get("os").attr("remove");
    py::object folder = glob.attr("escape")(root);
    for (const char* pattern : kClearPatterns) {
        for (py::handle target : glob.attr("glob")(folder + py::str(pattern))) {
            if (!os_path.attr("isfile")(target).cast<bool>()) continue;
            try {
                remove(target);
            } catch (py::error_already_set& e) {
                if (!e.matches(PyExc_OSError)) throw;  // a file that stays is no failure
            }
        }
    }
    ns.print("\n");
    ns.print(root + ns.get("Target_Awb_Target_Pic"));
    ns.print(kCleared);
}

// ---- failures in the engineer's terms ----

std::string one_line(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

using py_::text_of;

// The exception's own words: its message, or its type's name when it has none.
std::string detail_of(py::error_already_set& e) {
    std::string message = text_of(e.value());
    std::string type = py::str(e.type().attr("__name__")).cast<std::string>();
    return message.empty() ? type : type + ": " + message;
}

std::string variable(const py_::Namespace& ns, const char* name) {
    try {
        return text_of(ns.get(name));
    } catch (py::error_already_set&) {
        return std::string("(") + name + ")";
    }
}

// The file an OSError names, else the given one.
std::string file_of(py::error_already_set& e, const std::string& otherwise) {
    if (!e.matches(PyExc_OSError)) return otherwise;
    py::object name = e.value().attr("filename");
    return name.is_none() ? otherwise : text_of(name);
}

bool no_result_texts(const py_::Namespace& ns) { return py::len(list_results(ns)) == 0; }

std::string describe(const py_::Namespace& ns, py::error_already_set& e, Step step) {
    const std::string workbook = variable(ns, "Excle_File");
    const std::string text = variable(ns, "Lumvik_file_full_path");
    switch (step) {
    case Step::kDiscovery:
        if (e.matches(PyExc_ValueError) && no_result_texts(ns)) {
            py::object folder = results_folder(ns);
            bool missing = !py_::exists(ns, folder);
            return "结果文件夹 " + text_of(folder) + (missing ? " 不存在, 没有" : " 中没有") +
                   "仿真结果文本(*.txt), 请先运行仿真再按回车";
        }
        if (e.matches(PyExc_OSError)) {
            return "无法打开最新结果的调试信息文本 " + file_of(e, text) + " (" + detail_of(e) + ")";
        }
        return "查找最新仿真结果时出错 (" + detail_of(e) + ")";
    case Step::kLockWorkbook:
        if (py_::is_lock_timeout(ns, e)) {
            return "工作簿 " + workbook + " 正被另一个程序写入, 等了 " +
                   std::to_string(static_cast<int>(py_::kShowWait)) + " 秒仍未写完, 本次未记录, 稍后再按回车";
        }
        return "无法锁定工作簿 " + workbook + " (" + detail_of(e) + ")";
    case Step::kCreateWorkbook:
        return "无法新建工作簿 " + workbook + " (" + detail_of(e) + ")";
    case Step::kIssueNote:
        if (e.matches(PyExc_UnicodeError)) {
            return "问题点列表 " + py_::undecodable_text(e, variable(ns, "rawfilename_txt")) +
                   ", 请用该编码另存后再按回车 (" + detail_of(e) + ")";
        }
        return "无法读取问题点列表 " + variable(ns, "rawfilename_txt") + " (" + detail_of(e) + ")";
    case Step::kOpenWorkbook:
        if (std::optional<std::string> note = py_::first_note(e)) return *note;  // sheets missing, no backup
        if (e.matches(PyExc_FileNotFoundError)) return "工作簿 " + workbook + " 不存在";
        if (e.matches(PyExc_PermissionError)) return "工作簿 " + workbook + " 无法读取, 没有读取权限";
        if (e.matches(PyExc_IndexError)) {
            return "工作簿 " + workbook + " 少于七个工作表 (应为 T, WF, F, CWF, D, DF, S), 请移走它后重试";
        }
        return "工作簿 " + workbook + " 不是可读的 .xls 工作簿, 请移走它后重试 (" + detail_of(e) + ")";
    case Step::kReadTags:
        if (e.matches(PyExc_UnicodeDecodeError)) {
            return "调试信息文本 " + py_::undecodable_text(e, text) + ", 无法解码 (" + detail_of(e) + ")";
        }
        if (e.matches(PyExc_ValueError)) {
            return "调试信息文本 " + text + " 中有不是整数的值 (" + detail_of(e) + ")";
        }
        if (e.matches(PyExc_OverflowError)) {
            return "调试信息文本 " + text + " 中有超出范围的值 (" + detail_of(e) + ")";
        }
        return "读取调试信息文本 " + text + " 时出错 (" + detail_of(e) + ")";
    case Step::kCheckValues:
        if (e.matches(PyExc_ValueError)) {
            return "调试信息文本 " + text + " 中没有 AWB 调试数据 (没有一行是记录所读的标签), 未写入工作簿";
        }
        return "检查调试信息文本 " + text + " 时出错 (" + detail_of(e) + ")";
    case Step::kWriteRow:
        return "无法写入工作簿 " + workbook + " (" + detail_of(e) + ")";
    case Step::kSaveWorkbook:
        if (e.matches(PyExc_PermissionError)) {
            return "工作簿 " + workbook +
                   " 无法保存: 它正被表格程序打开, 或它及所在文件夹是只读的, 关闭或改为可写后再按回车";
        }
        return "工作簿 " + workbook + " 无法保存 (" + detail_of(e) + ")";
    case Step::kSummary:
        return "图片已写入工作簿 " + workbook + ", 但显示结果时出错 (" + detail_of(e) + ")";
    case Step::kClear:
        return "清除仿真数据时出错 (" + detail_of(e) + ")";
    }
    return detail_of(e);
}

// Writes a line and the full trace into the module's error stream (the error log).
void log_trace(const py_::Namespace& ns, py::error_already_set& e, const std::string& line) {
    try {
        py::object log = ns.get("sys").attr("stderr");
        if (!line.empty()) log.attr("write")(py::str(line + "\n"));
        py::module_::import("traceback")
            .attr("print_exception")(e.type(), e.value(), e.value().attr("__traceback__"),
                                     py::arg("file") = log);
        log.attr("flush")();
    } catch (py::error_already_set& unwritable) {
        unwritable.discard_as_unraisable("writing the console's error log");
    }
}

void report_failure(const py_::Namespace& ns, py::error_already_set& e) {
    std::string line;
    try {
        line = kFailed + one_line(describe(ns, e, g_step));
    } catch (py::error_already_set&) {
        line = kFailed + one_line(detail_of(e));
    }
    ns.print(py::str(line));
    log_trace(ns, e, line);
}

// Runs one command; a failure is reported and the loop goes on. False when the console is
// to end (Ctrl-C during the command).
template <class Command>
bool run_command(const py_::Namespace& ns, Command&& command) {
    try {
        command(ns);
        return true;
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception) && !e.matches(PyExc_KeyboardInterrupt)) throw;
        try {
            close_text(ns);
        } catch (py::error_already_set&) {
            // the command's own failure is the one to report
        }
        if (e.matches(PyExc_KeyboardInterrupt)) return false;
        report_failure(ns, e);
        return true;
    }
}

}  // namespace

void mark_step(Step step) { g_step = step; }

void lumvik_main() {
    const py_::Namespace& ns = kLumvik;
    py::object command = py::str("");
    while (!is_one_of(command, kQuit)) {
        bool clearing = is_one_of(command, kClear);
        bool go_on = clearing ? run_command(ns, clear) : run_command(ns, show);
        if (!go_on) return;
        try {
            command = ns.lookup("input")(clearing ? kClearPrompt : kShowPrompt);
        } catch (py::error_already_set& e) {
            if (e.matches(PyExc_EOFError) || e.matches(PyExc_KeyboardInterrupt)) return;
            throw;
        }
    }
}

void run_console() {
    const py_::Namespace& ns = kLumvik;
    for (const char* line : kBanner) ns.print(line);
    try {
        ns.get("Find_Changed_Txt")();
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;
        // The first show repeats the discovery and tells the engineer.
        log_trace(ns, e, "");
    }
    ns.get("Lumvik_Main")();
}

}  // namespace awb::console
