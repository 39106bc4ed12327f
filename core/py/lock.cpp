#include "lock.hpp"

#include <map>

#include "awb/file_modes.hpp"
#include "awb/workbook_files.hpp"
#include "errors.hpp"
#include "os_calls.hpp"
#include "strings.hpp"

namespace awb::py_ {

// One lock file of the module: its path, its filelock object and the identity (device and
// inode) of the file it locked last, as the lock's on_acquired callback found it.
struct LockFile {
    py::object path;
    py::object lock;
    py::object identity;    // (st_dev, st_ino) while held, else None
    bool replaced = false;  // the last acquire found the path naming another file
    bool in_machine_folder = false;
    py::object taken_for;  // the workbook's path as the scope that took the lock named it
    bool held() const { return lock.attr("is_locked").cast<bool>(); }
};

namespace {

constexpr double kPollSeconds = 0.01;

// The module's lock files, made once per path and kept as long as the module.
struct LockFiles {
    static constexpr const char* kAttribute = "_workbook_locks";
    std::map<ustring, std::unique_ptr<LockFile>> files;
};

py::object identity_of(const py::object& st) { return py::make_tuple(st.attr("st_dev"), st.attr("st_ino")); }

// The path's own status (a link is not followed), or None when nothing stands there.
py::object status_at(const Os& os, py::handle path) {
    try {
        return os.module().attr("lstat")(path);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;
        return py::none();
    }
}

LockFile& lock_file(const Namespace& ns, const py::object& path, bool in_machine_folder) {
    auto& files = module_state<LockFiles>(ns).files;
    std::unique_ptr<LockFile>& file = files[to_ustring(path)];
    if (file) return *file;
    file = std::make_unique<LockFile>();
    file->path = path;
    file->identity = py::none();
    file->in_machine_folder = in_machine_folder;
    LockFile* locked = file.get();
    const Namespace* module = &ns;
    // Right after each lock of the file: the path must still name the file locked. If not
    // (deleted or replaced between open and lock), raising rolls the acquisition back.
    py::cpp_function on_acquired([locked, module](py::object fd) {
        Os os(*module);
        py::object held = os.module().attr("fstat")(fd);
        py::object named = status_at(os, locked->path);
        if (named.is_none() || !os.path("samestat")(named, held).cast<bool>()) {
            locked->replaced = true;
            raise(PyExc_OSError, "the lock file's path names another file");
        }
        locked->identity = identity_of(held);
    });
    // filelock's lock, opening for reading a lock file this user may not write.
    py::object file_lock = py::module_::import("awb_desk.lock_files")
                               .attr("readable")(ns.get(globals::filelock).attr("FileLock"));
    py::dict options;
    options["on_acquired"] = on_acquired;
    if (in_machine_folder) options["mode"] = kMachineLockFileMode;  // open to every user
    file->lock = file_lock(path, **options);
    return *file;
}

py::object machine_folder(const Os& os) {
    const py::object& module = os.module();
    py::object environ = module.attr("environ");
    auto variable = [&](const char* name) { return to_ustring(py::str(environ.attr("get")(name, ""))); };
    return to_str(machine_lock_folder(py::str(module.attr("name")).equal(py::str("nt")), variable("PUBLIC"),
                                      variable("ProgramData")));
}

// Where a folder takes no new file (a workbook that can only be saved in place there), the
// lock file is made in the machine's lock folder instead, named after the workbook's real path.
// Every process of the machine that writes the workbook takes that one, whoever runs it.
py::object fallback_lock_file(const Os& os, const py::object& real) {
    py::object key = os.path("normcase")(real).attr("encode")("utf-8", "surrogatepass");
    std::string digest =
        py::module_::import("hashlib").attr("sha256")(key).attr("hexdigest")().cast<std::string>();
    return os.join(machine_folder(os), to_str(fallback_lock_name(digest)));
}

// The machine's lock folder is made when missing, open to every user (the umask took bits
// away); a link or a file in its place is refused.
void make_machine_folder(const Os& os, const py::object& folder) {
    py::object status = status_at(os, folder);
    const py::object& module = os.module();
    if (!status.is_none()) {
        if (file_kind(status.attr("st_mode").cast<std::uint32_t>()) == FileKind::kFolder) return;
        raise_object(py::module_::import("builtins")
                         .attr("NotADirectoryError")(py::module_::import("errno").attr("ENOTDIR"),
                                                     "not a folder", folder));
    }
    try {
        module.attr("mkdir")(folder, kMachineLockFolderMode);
        module.attr("chmod")(folder, kMachineLockFolderMode);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_FileExistsError)) throw;  // made meanwhile by another process
    }
}

// A folder still to be made is made with the lock file in it; where it cannot be, taking the
// lock fails with nothing at the lock file's path, and the machine's lock folder is used.
bool folder_takes_new_files(const Os& os, const py::object& folder) {
    if (!os.isdir(folder)) return true;
    const py::object& module = os.module();
    return module.attr("access")(folder, module.attr("W_OK")).cast<bool>();
}

// Takes the lock of `file`, again while the path turns out to name another file than the one
// locked.
void take(const Os& os, LockFile& file, double wait) {
    if (file.in_machine_folder) make_machine_folder(os, os.dirname(file.path));
    for (int attempt = 0;; ++attempt) {
        file.replaced = false;
        try {
            file.lock.attr("acquire")(py::arg("timeout") = wait, py::arg("poll_interval") = kPollSeconds);
            return;
        } catch (py::error_already_set&) {
            if (!takes_again(attempt, file.replaced)) throw;
        }
    }
}

LockFailure failure_of(const Namespace& ns, const py::error_already_set& e) {
    if (is_lock_timeout(ns, e)) return LockFailure::kHeldElsewhere;  // a TimeoutError, an OSError too
    return e.matches(PyExc_OSError) ? LockFailure::kRefused : LockFailure::kOther;
}

void release(LockFile& file) {
    file.identity = py::none();
    file.lock.attr("release")();
}

}  // namespace

WorkbookLock::WorkbookLock(const Namespace& ns, py::handle path, double wait)
    : workbook_(py::reinterpret_borrow<py::object>(path)) {
    // Held already by an outer scope for the same path (a batch's run, a show): found without
    // resolving the path again.
    for (auto& [name, file] : module_state<LockFiles>(ns).files) {
        if (file->taken_for && file->taken_for.equal(path) && file->held()) {
            file_ = file.get();
            return;
        }
    }
    Os os(ns);
    py::object real = os.realpath(path);
    LockFile& fallback = lock_file(ns, fallback_lock_file(os, real), true);
    LockFile& beside = lock_file(ns, to_str(lock_file_name(to_ustring(real))), false);
    for (LockFile* held : {&fallback, &beside}) {
        if (held->held()) {  // held by an outer scope of this thread
            file_ = held;
            return;
        }
    }
    LockFile* chosen = lock_place(os.lexists(beside.path), folder_takes_new_files(os, os.dirname(real))) ==
                               LockPlace::kBeside
                           ? &beside
                           : &fallback;
    try {
        try {
            take(os, *chosen, wait);
        } catch (py::error_already_set& e) {
            if (chosen == &fallback || !falls_back_after_failure(failure_of(ns, e), os.lexists(beside.path)))
                throw;
            chosen = &fallback;  // no lock file can be made beside the workbook
            take(os, *chosen, wait);
        }
    } catch (py::error_already_set& e) {
        LockFailure failure = failure_of(ns, e);
        if (failure == LockFailure::kHeldElsewhere) add_note(e, lock_held_note(text_of(path)));
        if (failure == LockFailure::kRefused)
            add_note(e, lock_refused_note(text_of(path), text_of(chosen->path), text_of(e.value())));
        throw;
    }
    file_ = chosen;
    file_->taken_for = workbook_;
    taken_ = true;
}

bool WorkbookLock::keep(const Namespace& ns) {
    if (!file_) return true;
    LockFile& file = *file_;
    Os os(ns);
    py::object named = status_at(os, file.path);
    bool exists = !named.is_none();
    bool same = exists && identity_of(named).equal(file.identity);
    bool plain =
        exists && !same && file_kind(named.attr("st_mode").cast<std::uint32_t>()) == FileKind::kPlain;
    switch (check_lock_path(exists, same, plain)) {
    case LockCheck::kStillHeld:
    case LockCheck::kKeepHeld:
        return true;
    case LockCheck::kLost:
        return false;
    case LockCheck::kTakeAgain:
        break;
    }
    // Nobody reaches the file held any more: the lock is taken again where the path leads.
    if (file.held()) release(file);
    try {
        take(os, file, 0.0);
    } catch (py::error_already_set& e) {
        LockFailure failure = failure_of(ns, e);
        if (failure == LockFailure::kHeldElsewhere) return false;  // another process was quicker
        if (failure == LockFailure::kOther) throw;
        // Nothing can be locked at the path just now (a folder came in its way): no other
        // process can lock there either; the next look tries again.
    }
    return true;
}

WorkbookLock::~WorkbookLock() {
    if (!taken_) return;
    file_->taken_for = py::object();
    if (!file_->held()) return;
    try {
        release(*file_);
    } catch (py::error_already_set& e) {
        e.discard_as_unraisable("releasing the workbook lock");
    }
}

bool is_lock_timeout(const Namespace& ns, const py::error_already_set& error) {
    return error.matches(ns.get(globals::filelock).attr("Timeout"));
}

HeldInterrupt::HeldInterrupt() {
    // The interpreter's own signal functions: the `signal` module's wrappers of them only turn
    // handler numbers into its enumeration, at many times the cost (a batch holds Ctrl-C back
    // once a picture).
    py::object signal = py::module_::import("_signal");
    std::shared_ptr<bool> came = came_;
    py::cpp_function note([came](py::args) { *came = true; });
    try {
        previous_ = signal.attr("signal")(signal.attr("SIGINT"), note);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_ValueError)) throw;  // not the main thread
        return;
    }
    if (previous_.is_none()) previous_ = signal.attr("SIG_DFL");  // set outside the interpreter
    signal_ = signal;
}

void HeldInterrupt::restore() {
    if (!signal_) return;
    py::object signal = std::move(signal_);
    signal.attr("signal")(signal.attr("SIGINT"), previous_);
}

void HeldInterrupt::release() {
    py::object signal = signal_;
    restore();
    if (*came_ && signal && PyCallable_Check(previous_.ptr())) {
        *came_ = false;
        previous_(signal.attr("SIGINT"), py::none());
    }
}

HeldInterrupt::~HeldInterrupt() {
    try {
        restore();
    } catch (py::error_already_set& e) {
        e.discard_as_unraisable("restoring the Ctrl-C handler");
    }
}

}  // namespace awb::py_
