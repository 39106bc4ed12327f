#include "lock.hpp"

#include "awb/workbook_files.hpp"
#include "errors.hpp"
#include "os_calls.hpp"
#include "strings.hpp"

namespace awb::py_ {
namespace {

constexpr const char* kLocksAttribute = "_workbook_locks";
constexpr double kPollSeconds = 0.01;

// The module's lock object of a lock file, made once per file.
py::object lock_at(const Namespace& ns, const py::object& file) {
    py::module_ mod = ns.module();
    if (!py::hasattr(mod, kLocksAttribute)) mod.attr(kLocksAttribute) = py::dict();
    py::dict locks = mod.attr(kLocksAttribute);
    if (!locks.contains(file)) locks[file] = ns.get("filelock").attr("FileLock")(file);
    return locks[file];
}

// Where a folder takes no new file (a workbook that can only be saved in place there), the
// lock file is made in the user's temporary folder instead, named after the workbook's real
// path. That one keeps the tools of this machine from writing at the same time.
py::object fallback_lock_file(const Os& os, const py::object& real) {
    py::object key = os.path("normcase")(real).attr("encode")("utf-8", "surrogatepass");
    std::string digest =
        py::module_::import("hashlib").attr("sha256")(key).attr("hexdigest")().cast<std::string>();
    return os.join(py::module_::import("tempfile").attr("gettempdir")(), to_str(fallback_lock_name(digest)));
}

void acquire(const py::object& lock, double wait) {
    lock.attr("acquire")(py::arg("timeout") = wait, py::arg("poll_interval") = kPollSeconds);
}

}  // namespace

WorkbookLock::WorkbookLock(const Namespace& ns, py::handle path, double wait) {
    Os os(ns);
    py::object real = os.realpath(path);
    py::object fallback = lock_at(ns, fallback_lock_file(os, real));
    py::object lock = fallback.attr("is_locked").cast<bool>()
                          ? fallback
                          : lock_at(ns, to_str(lock_file_name(to_ustring(real))));
    if (lock.attr("is_locked").cast<bool>()) return;  // held by an outer scope of this thread
    try {
        try {
            acquire(lock, wait);
        } catch (py::error_already_set& e) {
            if (!e.matches(PyExc_OSError) || is_lock_timeout(ns, e) || lock.is(fallback)) throw;
            lock = fallback;  // no lock file can be made beside the workbook
            acquire(lock, wait);
        }
    } catch (py::error_already_set& e) {
        if (is_lock_timeout(ns, e)) add_note(e, "工作簿 " + text_of(path) + " 正被另一个程序写入");
        throw;
    }
    lock_ = lock;
}

WorkbookLock::~WorkbookLock() {
    if (!lock_) return;
    try {
        lock_.attr("release")();
    } catch (py::error_already_set& e) {
        e.discard_as_unraisable("releasing the workbook lock");
    }
}

bool is_lock_timeout(const Namespace& ns, const py::error_already_set& error) {
    return error.matches(ns.get("filelock").attr("Timeout"));
}

HeldInterrupt::HeldInterrupt() {
    py::object signal = py::module_::import("signal");
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
