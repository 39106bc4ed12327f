// The files kept beside a workbook, and how often a run saves it.
#include <doctest/doctest.h>

#include <set>

#include "awb/file_modes.hpp"
#include "awb/save_cadence.hpp"
#include "awb/workbook_files.hpp"
#include "awb/workbook_memory.hpp"
#include "test_support.hpp"

namespace awb {
namespace {

using test::s;
using test::u;

TEST_CASE("an earlier workbook is kept under its name and modification time") {
    // The day's workbook keeps its name and gets the time, not the date twice.
    CHECK(s(backup_base(U"Corvane20261208", U"20261208-153012")) == "Corvane20261208-153012");
    CHECK(s(backup_base(U"Corvane20261208", U"20261209-000001")) ==
          "Corvane20261209-000001");  // modified the next day
    CHECK(s(backup_base(U"Corvane", U"20261208-153012")) == "Corvane-20261208-153012");
    CHECK(s(backup_base(U"Corvane2026120", U"20261208-153012")) == "Corvane2026120-20261208-153012");
    CHECK(s(backup_base(U"Corvane202612080", U"20261208-153012")) == "Corvane202612080-20261208-153012");
    CHECK(s(backup_base(U"20261208", U"20261208-153012")) == "20261208-153012");
    CHECK(s(backup_base(u("照片"), U"20261208-153012")) == "照片-20261208-153012");
}

TEST_CASE("three reruns with the same modification time get -2 and -3") {
    std::set<ustring> folder;
    auto taken = [&](const ustring& name) { return folder.count(name) > 0; };
    std::vector<std::string> kept;
    for (int rerun = 0; rerun < 3; ++rerun) {
        ustring name = free_backup_name(backup_base(U"Corvane20261208", U"20261208-153012"), U".xls", taken);
        folder.insert(name);
        kept.push_back(s(name));
    }
    CHECK(kept == std::vector<std::string>{"Corvane20261208-153012.xls", "Corvane20261208-153012-2.xls",
                                           "Corvane20261208-153012-3.xls"});
    folder.erase(U"Corvane20261208-153012-2.xls");
    CHECK(s(free_backup_name(U"Corvane20261208-153012", U".xls", taken)) == "Corvane20261208-153012-2.xls");
    CHECK(s(free_backup_name(U"W-20261208-153012", U"", taken)) == "W-20261208-153012");  // no extension
}

TEST_CASE("an original is kept once per content") {
    CHECK(s(original_copy_name(U"Corvane", "0123456789abcdef0123", U".xls")) ==
          "Corvane-原件-0123456789ab.xls");
}

TEST_CASE("a save's own leftovers are recognised, nothing else") {
    ustring temporary = temporary_save_name(U"/d/Corvane.xls", 4242);
    CHECK(s(temporary) == "/d/Corvane.xls.4242.tmp");
    CHECK(is_save_leftover(U"Corvane.xls.4242.tmp", U"Corvane.xls"));
    CHECK(is_save_leftover(U"Corvane.xls.1.tmp", U"Corvane.xls"));
    for (uview other :
         {uview(U"Corvane.xls.tmp"), uview(U"Corvane.xls..tmp"), uview(U"Corvane.xls.42a.tmp"),
          uview(U"Corvane.xls.-1.tmp"), uview(U"Other.xls.1.tmp"), uview(U"Corvane.xls.1.tmp.bak"),
          uview(U"Corvane.xlsx.1.tmp"), uview(U"Corvane.xls.lock"), uview(U"Corvane.xls"),
          uview(U"Corvane.xls.history.sqlite"), uview(U"xCorvane.xls.1.tmp")}) {
        CAPTURE(s(other));
        CHECK_FALSE(is_save_leftover(other, U"Corvane.xls"));
    }
    CHECK(is_save_leftover(u("工作簿.xls.77.tmp"), u("工作簿.xls")));
    CHECK_FALSE(is_stale(kStaleAfterSeconds));
    CHECK(is_stale(kStaleAfterSeconds + 0.5));
    CHECK_FALSE(is_stale(-3));  // a clock set back
}

TEST_CASE("the lock files of a workbook") {
    CHECK(s(lock_file_name(U"/d/Corvane.xls")) == "/d/Corvane.xls.lock");
    CHECK(s(fallback_lock_name("abcdef0123456789abcdef0123456789")) ==
          "awb-workbook-abcdef0123456789abcdef01.lock");
    // One lock folder for the whole machine, whoever runs the tool in whichever shell.
    CHECK(s(machine_lock_folder(false, U"", U"")) == "/tmp/awb-workbook-locks");
    CHECK(s(machine_lock_folder(true, U"C:\\Users\\Public", U"")) == "C:\\Users\\Public\\awb-workbook-locks");
    CHECK(s(machine_lock_folder(true, U"", U"D:\\")) == "D:\\awb-workbook-locks");
    // The machine's lock folder only where nothing stands at the lock file's path.
    CHECK(lock_place(false, true) == LockPlace::kBeside);
    CHECK(lock_place(true, false) == LockPlace::kBeside);  // a lock file another process may hold
    CHECK(lock_place(false, false) == LockPlace::kMachineFolder);
    CHECK(falls_back_after_failure(LockFailure::kRefused, false));
    CHECK_FALSE(
        falls_back_after_failure(LockFailure::kRefused, true));  // e.g. a folder in the lock file's place
    CHECK_FALSE(falls_back_after_failure(LockFailure::kHeldElsewhere, false));
    CHECK_FALSE(falls_back_after_failure(LockFailure::kOther, false));
    CHECK(takes_again(0, true));
    CHECK_FALSE(takes_again(0, false));
    CHECK_FALSE(takes_again(kRetakes, true));
}

TEST_CASE("a writer whose lock file was deleted takes the lock again, one whose file was replaced stops") {
    CHECK(check_lock_path(true, true, true) == LockCheck::kStillHeld);
    CHECK(check_lock_path(false, false, false) == LockCheck::kTakeAgain);  // deleted
    CHECK(check_lock_path(true, false, true) == LockCheck::kLost);         // made anew by another process
    CHECK(check_lock_path(true, false, false) == LockCheck::kKeepHeld);    // replaced by a folder
}

TEST_CASE("a file's mode tells what it is and whether its owner may write it") {
    CHECK(file_kind(0100644) == FileKind::kPlain);
    CHECK(file_kind(040755) == FileKind::kFolder);
    CHECK(not_plain_file_message(file_kind(0140755), "'s'") == "不是普通文件, 而是套接字: 's'");
    CHECK(not_plain_file_message(file_kind(060660), "'b'") == "不是普通文件, 而是块设备: 'b'");
    CHECK(not_plain_file_message(file_kind(0120777), "'l'") == "不是普通文件, 而是特殊文件: 'l'");
    CHECK_FALSE(plain_file_refusal(0100644));
    CHECK(plain_file_refusal(040755) == "是文件夹, 不是文件");
    CHECK(plain_file_refusal(010644) == "不是普通文件, 而是管道 (FIFO)");
    CHECK(marked_read_only(0100444));
    CHECK_FALSE(marked_read_only(0100200));
    CHECK(permission_bits(0104755) == 04755);
}

TEST_CASE("a run's checkpoints: a second apart at least, four times a save's duration, 30 s at most") {
    using namespace std::chrono_literals;
    const SaveCadence::Clock::time_point t0{100s};
    SaveCadence cadence;
    CHECK(cadence.due(false, t0));
    CHECK(cadence.due(true, t0));  // the run's first picture
    cadence.saved(t0, t0 + 100ms);
    CHECK_FALSE(cadence.due(true, t0 + 1050ms));
    CHECK(cadence.due(false, t0 + 1050ms));  // outside a run every picture is saved
    CHECK(cadence.due(true, t0 + 1100ms));
    cadence.saved(t0 + 2s, t0 + 4s);  // a save of two seconds: the next one waits eight
    CHECK_FALSE(cadence.due(true, t0 + 11900ms));
    CHECK(cadence.due(true, t0 + 12s));
    // Slow saves: a picture recorded after one is saved within 30 s, the next save taken as
    // lasting up to twice as long.
    cadence.saved(t0, t0 + 5s);  // 4 x 5 s = 30 - 2 x 5 s
    CHECK_FALSE(cadence.due(true, t0 + 24900ms));
    CHECK(cadence.due(true, t0 + 25s));
    cadence.saved(t0, t0 + 12s);  // 48 s would be too late: 6 s
    CHECK_FALSE(cadence.due(true, t0 + 17900ms));
    CHECK(cadence.due(true, t0 + 18s));
    cadence.saved(t0, t0 + 20s);  // past 15 s a save follows at once
    CHECK(cadence.due(true, t0 + 20s));
}

TEST_CASE("during a run the workbook in memory is the run's own once checked, and saved at checkpoints") {
    using namespace std::chrono_literals;
    using Open = MemoryState::Open;
    const MemoryState::Time t0{100s};
    MemoryState memory;
    CHECK(memory.open(false) == Open::kRead);
    memory.read();
    CHECK(memory.open(true) == Open::kIfUnchanged);  // outside a run the file on disk is looked at
    CHECK(memory.recorded(t0));                      // and every picture saved at once
    memory.begin_run();
    CHECK(memory.open(true) == Open::kIfUnchanged);
    memory.checked();
    CHECK(memory.holds_run_book());
    CHECK(memory.open(true) == Open::kFromMemory);
    CHECK(memory.recorded(t0));  // the run's first checkpoint
    memory.saved(3, t0, t0 + 100ms);
    CHECK(memory.saved_pictures() == 3);
    CHECK_FALSE(memory.recorded(t0 + 200ms));
    CHECK(memory.pending());
    memory.save_failed(false);  // cut short by Ctrl-C: not failed, still pending
    CHECK_FALSE(memory.last_save_failed());
    // A checkpoint failing on the file goes on, the next one paced as after a save that long.
    CHECK((memory.checkpoint_failed(true, t0 + 1s, t0 + 2s) && memory.failed_checkpoints() == 1));
    CHECK((memory.pending() && !memory.last_save_failed() && !memory.recorded(t0 + 5900ms)));
    CHECK((memory.recorded(t0 + 6s) && !memory.checkpoint_failed(false, t0, t0)));
    memory.save_failed(true);
    CHECK(memory.last_save_failed());
    memory.redirected();
    CHECK(memory.pending());
    CHECK_FALSE(memory.last_save_failed());
    memory.end_run();
    CHECK(memory.open(true) == Open::kIfUnchanged);
    CHECK_FALSE(memory.checkpoint_failed(true, t0, t0));  // outside a run
}

}  // namespace
}  // namespace awb
