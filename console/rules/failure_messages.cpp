#include "failure_messages.hpp"

#include <cstdio>

#include "awb/sheets.hpp"
#include "awb/text.hpp"
#include "awb/write_failures.hpp"

namespace awb::console {
namespace {

std::string within(const std::string& detail) { return " (" + detail + ")"; }

std::string discovery(const FailureFacts& f) {
    if (f.error.value_error) {
        if (std::optional<EmptyResults> empty = f.empty_results()) {
            std::string left;
            if (empty->left_by_clear != 0) {
                left = " (清空时未能删除的 " + std::to_string(empty->left_by_clear) + " 个旧结果文本不算)";
            }
            return "结果文件夹 " + empty->folder + (empty->exists ? " 中没有" : " 不存在, 没有") +
                   "仿真结果文本(*.txt)" + left + ", 请先运行仿真再按回车";
        }
        if (std::optional<std::string> note = f.note()) return *note;  // a name that is no text
    }
    if (f.error.os_error) {
        std::optional<std::string> named = f.named_file();
        return "无法打开最新结果的调试信息文本 " + named.value_or(f.text) + within(f.detail);
    }
    return "查找最新仿真结果时出错" + within(f.detail);
}

std::string open_workbook(const FailureFacts& f) {
    const std::string& workbook = f.workbook;
    if (f.error.too_few_sheets) return too_few_sheets_note(workbook);
    if (std::optional<std::string> note = f.note()) return *note;  // sheets missing, no backup
    if (f.error.file_not_found) return "工作簿 " + workbook + " 不存在";
    if (f.error.permission_error) return "工作簿 " + workbook + " 无法读取, 没有读取权限";
    return "工作簿 " + workbook + " 不是可读的 .xls 工作簿, 请移走它后重试" + within(f.detail);
}

std::string read_tags(const FailureFacts& f) {
    const std::string& text = f.text;
    if (f.error.unicode_decode_error) return "调试信息文本 " + text + " 无法解码" + within(f.detail);
    if (f.error.value_error) return "调试信息文本 " + text + " 中有不是整数的值" + within(f.detail);
    if (f.error.overflow_error) return "调试信息文本 " + text + " 中有超出范围的值" + within(f.detail);
    return "读取调试信息文本 " + text + " 时出错" + within(f.detail);
}

// A save that failed: why, whether the workbook on disk is whole (a save in place that could not
// write the earlier bytes back says so in its note), and that the show's picture is not in it.
std::string save_workbook(const FailureFacts& f) {
    WriteFailure failure = write_failure(f.error.error_number, f.error.permission_error);
    std::optional<std::string> spoilt = f.note();
    std::string line = spoilt ? *spoilt
                              : "工作簿 " + f.workbook + " 无法保存" + why_not_written(failure, f.detail) +
                                    "; " + workbook_on_disk(true);
    line += ", 本次的 " + f.picture + " 未记录";
    if (failure == WriteFailure::kHeld) return line + ", 关闭或改为可写后再按回车";
    if (failure == WriteFailure::kNoRoom) return line + ", 腾出空间后再按回车";
    return line;
}

}  // namespace

std::string describe_failure(const FailureFacts& f) {
    const std::string& workbook = f.workbook;
    switch (f.step) {
    case Step::kDiscovery:
        return discovery(f);
    case Step::kSettle:
        if (std::optional<std::string> note = f.note()) return *note;
        return "等待仿真结果 " + f.text + " 写完时出错" + within(f.detail);
    case Step::kLockWorkbook:
        if (f.lock_timeout) {
            return "工作簿 " + workbook + " 正被另一个程序写入, 等了 " + std::to_string(f.wait_seconds) +
                   " 秒仍未写完, 本次未记录, 稍后再按回车";
        }
        if (std::optional<std::string> note = f.note()) return *note;  // the lock file, and what to do
        return "无法锁定工作簿 " + workbook + within(f.detail);
    case Step::kCreateWorkbook:
        return "无法新建工作簿 " + workbook + within(f.detail);
    case Step::kIssueNote:
        if (f.error.unicode_decode_error) {
            return "问题点列表 " + f.note().value_or(f.capture_list + " 无法解码") +
                   ", 请以 UTF-8 编码另存后再按回车" + within(f.detail);
        }
        // The list was read: only the console's output could not show its note.
        if (f.error.unicode_error) return "控制台无法显示问题点, 本次未记录" + within(f.detail);
        return "无法读取问题点列表 " + f.capture_list + within(f.detail);
    case Step::kOpenWorkbook:
        return open_workbook(f);
    case Step::kReadTags:
        return read_tags(f);
    case Step::kCheckValues:
        if (f.error.value_error) {
            return "调试信息文本 " + f.text + " 中没有 AWB 调试数据 (没有一行是记录所读的标签), 未写入工作簿";
        }
        return "检查调试信息文本 " + f.text + " 时出错" + within(f.detail);
    case Step::kWriteRow:
        return "无法写入工作簿 " + workbook + within(f.detail);
    case Step::kSaveWorkbook:
        return save_workbook(f);
    case Step::kSummary:
        return "图片已写入工作簿 " + workbook + ", 但显示结果时出错" + within(f.detail);
    case Step::kClear:
        if (std::optional<std::string> note = f.note()) return *note;  // files left
        return "清除仿真数据时出错" + within(f.detail);
    }
    return f.detail;
}

std::string no_values(const std::string& text) { return "调试信息文本 " + text + " 中没有 AWB 调试数据"; }

std::string waiting_for_result(const std::string& text, double most_seconds) {
    char seconds[16];
    std::snprintf(seconds, sizeof seconds, "%g", most_seconds);
    return "仿真结果 " + text + " 还在写入, 等它写完 (最多 " + seconds + " 秒)…";
}

std::string still_being_written(const std::string& text, bool cut) {
    return "仿真结果 " + text + " 还在写入" +
           (cut ? " (它停在一个标签的值中间, 旁边还没有颜色统计文本)" : ", 等了几秒仍在变化") +
           ", 本次未记录, 等仿真写完后再按回车";
}

std::string result_name_not_text(const std::string& readable) {
    return "最新的仿真结果的文件名 " + readable +
           " 不是本机编码的文本 (来自别的系统的共享文件夹或压缩包?), 无法记录; 请给它改名, 或输入 r 清除仿真数据";
}

std::string clear_left_files(std::size_t count, const std::string& first, const std::string& detail) {
    return "有 " + std::to_string(count) + " 个仿真结果文件未能删除, 第一个是 " + first + within(detail) +
           "; 它可能正被编辑器或仿真程序打开, 关闭后再输入 r";
}

std::string failure_line(const std::string& words) { return one_line("操作失败: " + words); }

}  // namespace awb::console
