// One writer at a time: every read-modify-save of a workbook holds an exclusive lock of that
// workbook file, shared by all processes of the machine (and of other machines that see the
// lock file), and Ctrl-C held back while work that must not be cut short runs.
#pragma once

#include <memory>

#include "namespace.hpp"

namespace awb::py_ {

// How long a writer waits for another one to finish: a console show or a workbook function
// called on its own waits a few seconds, a batch not at all.
inline constexpr double kShowWait = 5.0;
inline constexpr double kBatchWait = 0.0;

struct LockFile;

// Holds the lock of the workbook at `path` while it lives. The lock is the file
// "<workbook>.lock" beside the real file (a link and its target share one lock), or, where none
// can be made there, a file in the machine's lock folder that every user shares
// (awb::machine_lock_folder). It is taken through the module's `filelock`; a lock file this
// user may not write is locked through a descriptor open for reading (awb_desk.lock_files). One
// lock object per module and lock file. Once taken, the lock file's path must still name the
// file locked (a file deleted and made anew by another process between its open and its lock
// is locked again). A function that takes it inside a scope of the same thread that holds it (a
// run, a show) goes straight on. When the lock is still held by another program after `wait`
// seconds, raises filelock's Timeout (a TimeoutError) noted "工作簿 <path> 正被另一个程序写入";
// when it cannot be taken at all (a folder in the lock file's place, a lock file this user may
// not even read), the OSError noted "工作簿 <path> 无法加锁: ...".
class WorkbookLock {
public:
    WorkbookLock(const Namespace& ns, py::handle path, double wait);
    ~WorkbookLock();
    WorkbookLock(const WorkbookLock&) = delete;
    WorkbookLock& operator=(const WorkbookLock&) = delete;

    // A long writer (a batch) makes sure, before each picture and each save, that the lock is
    // still its own (awb::check_lock_path): a lock file deleted is taken again at once, so that a
    // writer started later finds it held. False when another process has taken the lock at
    // the path meanwhile: this writer must not write the workbook again.
    bool keep(const Namespace& ns);

private:
    py::object workbook_;
    LockFile* file_ = nullptr;  // the lock this scope took, or found held by an outer scope
    bool taken_ = false;        // this scope took it
};

// True when `error` is the Timeout of a workbook lock held by another program.
bool is_lock_timeout(const Namespace& ns, const py::error_already_set& error);

// Holds Ctrl-C back while it lives: an interrupt that comes meanwhile is noted, and release()
// hands it on (raises KeyboardInterrupt, or runs the program's own handler) once the work is
// done. Only the main thread receives signals; elsewhere nothing is held.
class HeldInterrupt {
public:
    HeldInterrupt();
    ~HeldInterrupt();  // puts the handler back; an interrupt noted is dropped (an error is on its way)
    void release();
    HeldInterrupt(const HeldInterrupt&) = delete;
    HeldInterrupt& operator=(const HeldInterrupt&) = delete;

private:
    void restore();
    py::object signal_;
    py::object previous_;
    std::shared_ptr<bool> came_ = std::make_shared<bool>(false);
};

}  // namespace awb::py_
