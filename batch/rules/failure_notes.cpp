#include "failure_notes.hpp"

#include "awb/sheets.hpp"
#include "awb/text_files.hpp"
#include "awb/write_failures.hpp"

namespace awb::batch {

std::optional<std::string> workbook_failure_note(const std::string& workbook, const ErrorKind& failure) {
    std::string error = failure.type + ": " + failure.message;
    if (failure.os_error || failure.permission_error) {
        WriteFailure kind = write_failure(failure.error_number, failure.permission_error);
        if (kind != WriteFailure::kOther)
            return "表格文件 " + workbook + " 无法写入" + why_not_written(kind, error);
    }
    if (failure.too_few_sheets) return "表格文件 " + workbook + " " + too_few_sheets() + ", 请移走它后重试";
    if (failure.type == "XLRDError" || failure.type == "CompDocError") {
        return "表格文件 " + workbook + " 不是可读的 .xls 工作簿, 请移走它后重试 (" + error + ")";
    }
    if (failure.os_error) return "表格文件 " + workbook + " 无法读写 (" + error + ")";
    return std::nullopt;
}

std::string undecodable_capture_list_note(const std::string& list, const std::vector<std::string>& tried) {
    return "rawfilename.txt 无法读取: " + undecodable_text(list, tried) + ", 请以 UTF-8 编码另存后重试";
}

std::string unreadable_capture_list_note(const std::string& list, const std::string& message) {
    return "rawfilename.txt 无法读取: " + list + " (" + message + ")";
}

std::string missing_capture_list_note(const std::string& list) {
    return "rawfilename.txt 文件不存在: " + list;
}

std::string no_picture_lines_note(const std::string& list) {
    return "rawfilename.txt 中没有照片行 (每行应为 照片名:RAW名:问题描述), 表格文件未改动: " + list;
}

std::string no_picture_lines_message(const std::string& list) { return "no picture lines in " + list; }

std::string no_debug_data_message(const std::string& dump) { return dump + " 中没有 AWB 调试数据"; }

}  // namespace awb::batch
