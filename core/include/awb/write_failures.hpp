// What a failed write of a workbook's file means to the tools: another program holds the file
// (a spreadsheet program, a sync client or a virus scanner: the file or its folder refuses to be
// written or replaced), the drive is full, or something else went wrong. The error number is the
// C library's (the interpreter's errno of the error). Plain C++, no interpreter objects.
#pragma once

#include <string>

namespace awb {

enum class WriteFailure { kHeld, kNoRoom, kOther };
WriteFailure write_failure(int error_number, bool permission_error);

// Why a file could not be written, as it follows "无法保存" or "无法写入" in a line: ": 它正被表格程序
// 打开, 或它及所在文件夹是只读的" for a file held, ": 磁盘已满 (<error>)", else " (<error>)".
std::string why_not_written(WriteFailure failure, const std::string& error);

// A new file beside the workbook could not be made (`error_number`): the save writes the workbook over itself
// only when the folder refuses new files (the workbook itself may still be written), never when
// the drive is full (the write over it would run out of room half-way).
bool saves_in_place(int error_number, bool permission_error);

// What the engineer is told about the file on disk after a save that failed: still whole (the
// save never touched it, or the earlier bytes were written back), or perhaps spoilt.
std::string workbook_on_disk(bool whole);

// The note on a save in place that failed and could not write the earlier bytes back.
std::string in_place_spoilt_note(const std::string& workbook, const std::string& why);

}  // namespace awb
