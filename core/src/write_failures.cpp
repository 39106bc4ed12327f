#include "awb/write_failures.hpp"

#include <cerrno>

namespace awb {

WriteFailure write_failure(int error_number, bool permission_error) {
    // A spreadsheet program holding the file gives "access denied" (a sharing violation) on
    // Windows; a file or folder made immutable gives EPERM, one in use by another system EBUSY.
    if (permission_error || error_number == EACCES || error_number == EPERM || error_number == EBUSY) {
        return WriteFailure::kHeld;
    }
#ifdef EDQUOT
    if (error_number == EDQUOT) return WriteFailure::kNoRoom;
#endif
    return error_number == ENOSPC ? WriteFailure::kNoRoom : WriteFailure::kOther;
}

std::string why_not_written(WriteFailure failure, const std::string& error) {
    switch (failure) {
    case WriteFailure::kHeld:
        return ": 它正被表格程序打开, 或它及所在文件夹是只读的";
    case WriteFailure::kNoRoom:
        return ": 磁盘已满 (" + error + ")";
    case WriteFailure::kOther:
        break;
    }
    return " (" + error + ")";
}

bool saves_in_place(int error_number, bool permission_error) {
    return permission_error || error_number == EACCES || error_number == EPERM;
}

std::string workbook_on_disk(bool whole) {
    return whole ? "磁盘上的工作簿仍完好 (未改动)" : "磁盘上的工作簿可能已损坏";
}

std::string in_place_spoilt_note(const std::string& workbook, const std::string& why) {
    return "工作簿 " + workbook + " 原地写入失败, 原内容也未能写回 (" + why + "), " + workbook_on_disk(false);
}

}  // namespace awb
