#include "awb/workbook_files.hpp"

#include <string>

namespace awb {
namespace {

constexpr uview kSaveSuffix = U".tmp";
constexpr uview kDigits = U"0123456789";

ustring ascii(std::string_view text) { return ustring(text.begin(), text.end()); }

}  // namespace

ustring temporary_save_name(uview workbook, long long process) {
    return ustring(workbook) + U"." + ascii(std::to_string(process)) + ustring(kSaveSuffix);
}

bool is_save_leftover(uview entry, uview workbook) {
    std::size_t prefix = workbook.size() + 1;
    if (entry.size() <= prefix + kSaveSuffix.size() || entry.substr(0, workbook.size()) != workbook ||
        entry[workbook.size()] != U'.' || entry.substr(entry.size() - kSaveSuffix.size()) != kSaveSuffix) {
        return false;
    }
    uview process = entry.substr(prefix, entry.size() - prefix - kSaveSuffix.size());
    return process.find_first_not_of(kDigits) == uview::npos;
}

ustring lock_file_name(uview real_file) { return ustring(real_file) + U".lock"; }

ustring fallback_lock_name(std::string_view digest_hex) {
    return U"awb-workbook-" + ascii(digest_hex.substr(0, 24)) + U".lock";
}

ustring machine_lock_folder(bool windows, uview public_folder, uview program_data) {
    constexpr uview kName = U"awb-workbook-locks";
    if (!windows) return U"/tmp/" + ustring(kName);
    uview root = !public_folder.empty()  ? public_folder
                 : !program_data.empty() ? program_data
                                         : U"C:\\Users\\Public";
    bool separated = root.back() == U'\\' || root.back() == U'/';
    return ustring(root) + (separated ? U"" : U"\\") + ustring(kName);
}

LockPlace lock_place(bool lock_path_taken, bool folder_takes_new_files) {
    return lock_path_taken || folder_takes_new_files ? LockPlace::kBeside : LockPlace::kMachineFolder;
}

bool falls_back_after_failure(LockFailure failure, bool lock_path_taken) {
    return failure == LockFailure::kRefused && !lock_path_taken;
}

std::string lock_held_note(const std::string& workbook) {
    return "工作簿 " + workbook + " 正被另一个程序写入";
}

std::string lock_refused_note(const std::string& workbook, const std::string& lock_file,
                              const std::string& why) {
    return "工作簿 " + workbook + " 无法加锁: 锁文件 " + lock_file + " 无法使用 (" + why +
           "), 请移走它后再试";
}

LockCheck check_lock_path(bool path_exists, bool same_file, bool plain_file) {
    if (!path_exists) return LockCheck::kTakeAgain;
    if (same_file) return LockCheck::kStillHeld;
    return plain_file ? LockCheck::kLost : LockCheck::kKeepHeld;
}

ustring backup_base(uview stem, uview stamp) {
    constexpr std::size_t kDateDigits = 8;
    std::size_t last_other = stem.find_last_not_of(kDigits);
    std::size_t digits = last_other == uview::npos ? stem.size() : stem.size() - last_other - 1;
    ustring named =
        digits == kDateDigits ? ustring(stem.substr(0, stem.size() - kDateDigits)) : ustring(stem) + U"-";
    return named + ustring(stamp);
}

ustring free_backup_name(uview base, uview extension, const std::function<bool(const ustring&)>& taken) {
    ustring name = ustring(base) + ustring(extension);
    for (int n = 2; taken(name); ++n)
        name = ustring(base) + U"-" + ascii(std::to_string(n)) + ustring(extension);
    return name;
}

ustring original_copy_name(uview stem, std::string_view digest_hex, uview extension) {
    return ustring(stem) + U"-原件-" + ascii(digest_hex.substr(0, 12)) + ustring(extension);
}

}  // namespace awb
