// The names of the files kept beside a workbook: the new file of a save, the leftovers of a save
// cut short, the lock, and the copies in "备份" (earlier workbooks of a rerun, originals holding
// what a save cannot carry over). Plain C++, no interpreter objects.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "awb/text.hpp"

namespace awb {

// The folder beside the workbook's real file where earlier workbooks and originals are kept.
inline constexpr uview kBackupFolder = U"备份";

// The new file a save writes beside the workbook before it replaces it: "<workbook>.<process>.tmp".
ustring temporary_save_name(uview workbook, long long process);

// A save cut short by a kill or a power cut leaves its new file beside the workbook. True when
// `entry` (a name in the workbook's folder) is such a file of the workbook named `workbook`
// (its file name, without folder), whatever process wrote it.
bool is_save_leftover(uview entry, uview workbook);

// A leftover is removed once it is older than any save in progress could be.
inline constexpr double kStaleAfterSeconds = 600;
inline bool is_stale(double age_seconds) { return age_seconds > kStaleAfterSeconds; }

// The lock file of a workbook: "<real file>.lock" beside it. Where the folder takes no new file,
// the lock is "awb-workbook-<first 24 hex digits of the real path's hash>.lock" in the machine's
// lock folder.
ustring lock_file_name(uview real_file);
ustring fallback_lock_name(std::string_view digest_hex);

// The machine's lock folder: one place for every user and every shell of the machine, whatever
// their temporary folders (TMPDIR, %TEMP% differ between users and even between two shells).
// On Windows "awb-workbook-locks" in the public folder that every user of the machine may write
// (`public_folder`, %PUBLIC%), else in the machine's program data (`program_data`,
// %ProgramData%); elsewhere "/tmp/awb-workbook-locks".
ustring machine_lock_folder(bool windows, uview public_folder, uview program_data);
// Every user may make lock files there and open those of others. The folder has no sticky bit:
// in a sticky folder another user's lock file is refused (by filelock, and by the kernel's
// protected_regular for a file opened to be made).
inline constexpr std::uint32_t kMachineLockFolderMode = 0777;
inline constexpr std::uint32_t kMachineLockFileMode = 0666;

// Where a writer takes the lock: beside the workbook, unless no lock file stands there and the
// folder takes no new file. Never in the machine's lock folder while anything stands at the lock
// file's path (another process may hold it, or a folder may be in its way).
enum class LockPlace { kBeside, kMachineFolder };
LockPlace lock_place(bool lock_path_taken, bool folder_takes_new_files);
// How taking a lock failed: another process still held it when the wait was over, the file
// system refused (the lock file could not be made or opened), or something else went wrong.
enum class LockFailure { kHeldElsewhere, kRefused, kOther };
// Taking it beside failed: the machine's lock folder is used only when the file system refused and
// still nothing stands at the lock file's path, that is, the file could not be made.
bool falls_back_after_failure(LockFailure failure, bool lock_path_taken);

// Once taken, the lock file's path must still name the file locked; a lock whose file was
// replaced in the meantime is taken again, at most kRetakes times (a path replaced again each
// time is left to the caller).
inline constexpr int kRetakes = 20;
inline bool takes_again(int attempt, bool path_replaced) { return path_replaced && attempt < kRetakes; }

// What the engineer is told when the lock of the workbook at `workbook` cannot be taken: another
// program holds it, or the file system refused the lock file `lock_file` for the reason `why`.
std::string lock_held_note(const std::string& workbook);
std::string lock_refused_note(const std::string& workbook, const std::string& lock_file,
                              const std::string& why);

// What a writer holding the lock finds when it looks at the lock file's path again: the file
// it locked; nothing (the lock file was deleted), and it takes the lock there again at once;
// another plain file, which another process made and locked (and may have written the workbook
// meanwhile, whether or not it still holds it): the writer has lost the workbook; or something
// that is not a plain file (a folder): no process can lock at the path, and the lock held stays.
enum class LockCheck { kStillHeld, kTakeAgain, kLost, kKeepHeld };
LockCheck check_lock_path(bool path_exists, bool same_file, bool plain_file);

// The name an earlier workbook is kept under in "备份", before a number is added: its stem with
// its modification time `stamp` ("YYYYMMDD-HHMMSS"). A stem that ends in eight digits (the day's
// workbook "Corvane20261208") has them replaced by the stamp's date and time
// ("Corvane20261208-153012"); any other stem gets "-" and the stamp.
ustring backup_base(uview stem, uview stamp);

// The first of "<base><extension>", "<base>-2<extension>", "<base>-3<extension>", ... that is
// not `taken`.
ustring free_backup_name(uview base, uview extension, const std::function<bool(const ustring&)>& taken);

// The byte-for-byte copy of a workbook holding what a save cannot carry over:
// "<stem>-原件-<first 12 hex digits of the content's hash><extension>", one per content.
ustring original_copy_name(uview stem, std::string_view digest_hex, uview extension);

}  // namespace awb
