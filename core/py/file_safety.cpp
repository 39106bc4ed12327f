#include "file_safety.hpp"

#include <functional>

#include "awb/file_modes.hpp"
#include "awb/workbook_files.hpp"
#include "awb/write_failures.hpp"
#include "errors.hpp"
#include "history_module.hpp"
#include "os_calls.hpp"
#include "strings.hpp"

namespace awb::py_ {
namespace {

// The workbook's file as the engineer names it, or the target when it is a link.
py::object file_of(const Os& os, py::handle path) {
    if (os.islink(path)) return os.realpath(path);
    return py::reinterpret_borrow<py::object>(path);
}

py::object backup_folder(const Os& os, const py::object& real) {
    py::object folder = os.join(os.dirname(real), to_str(kBackupFolder));
    if (!os.isdir(folder)) os.mkdir(folder);
    return folder;
}

// Writes `data` to `path` through "<path>.tmp", which then replaces it.
void write_through_temporary(const Namespace& ns, const Os& os, const py::object& path,
                             const py::object& data) {
    py::object temporary = path + py::str(".tmp");
    py::object file = ns.lookup("open")(temporary, "wb");
    try {
        file.attr("write")(data);
        file.attr("close")();
    } catch (py::error_already_set&) {
        file.attr("close")();
        throw;
    }
    os.replace(temporary, path);
}

bool read_only(const Os& os, py::handle path) {
    const py::object& module = os.module();
    if (!module.attr("access")(path, module.attr("W_OK")).cast<bool>()) return true;
    return marked_read_only(os.stat(path).attr("st_mode").cast<std::uint32_t>());
}

void remove_stale_saves(const Os& os, const py::object& folder, py::handle path) {
    try {
        py::object here = py::len(folder) != 0 ? folder : py::object(py::str("."));
        ustring workbook = to_ustring(os.basename(path));
        double now = py::module_::import("time").attr("time")().cast<double>();
        for (py::handle entry : os.listdir(here)) {
            if (!is_save_leftover(to_ustring(entry), workbook)) continue;
            py::object stale = os.join(here, entry);
            if (is_stale(now - os.getmtime(stale))) os.remove(stale);
        }
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;  // a leftover that stays does no harm
    }
}

// Runs `write` on an open file, flushes the file to the disk and closes it; the file is closed
// also when any of it fails.
void write_to_disk(const Os& os, const py::object& file, const std::function<void()>& write) {
    try {
        write();
        file.attr("flush")();
        os.module().attr("fsync")(file.attr("fileno")());
    } catch (py::error_already_set&) {
        file.attr("close")();
        throw;
    }
    file.attr("close")();
}

// Writes `data` over the open file from its start, cuts it to that length, flushes it to the
// disk and closes it.
void write_over(const Os& os, const py::object& file, const py::object& data) {
    write_to_disk(os, file, [&] {
        file.attr("seek")(0);
        file.attr("write")(data);
        file.attr("truncate")();
    });
}

// The last resort where no new file can be made beside the workbook: the whole new workbook is
// built in memory first, then written over the old one. The old bytes are kept: a write that
// fails half-way (the drive full, say) writes them back, so that the file stays whole; where
// even that fails, the error is noted with what the file may be now.
void save_in_place(const Namespace& ns, const Os& os, xls::Workbook& workbook, const py::object& target) {
    py::object data = py::bytes(workbook.save());
    py::object file = ns.lookup("open")(target, "r+b");
    py::object earlier;
    try {
        earlier = file.attr("read")();
    } catch (py::error_already_set&) {
        close_quietly(file);
        throw;
    }
    try {
        write_over(os, file, data);
    } catch (py::error_already_set& e) {
        try {
            write_over(os, ns.lookup("open")(target, "r+b"), earlier);  // they fit where they were
        } catch (py::error_already_set& again) {
            add_note(e, in_place_spoilt_note(text_of(target), described(again)));
        }
        throw;
    }
}

// The workbook's file written piece by piece into an open file, without a copy of the whole
// (each piece goes as bytes of its own: the file may keep what it is given).
void write_workbook(xls::Workbook& workbook, const py::object& file) {
    py::object write = file.attr("write");
    workbook.save_to([&](std::string_view piece) { write(py::bytes(piece.data(), piece.size())); });
}

}  // namespace

void save_atomically(const Namespace& ns, xls::Workbook& workbook, py::handle path) {
    Os os(ns);
    py::object target = os.realpath(path);
    py::object folder = os.dirname(target);
    if (py::len(folder) != 0 && !os.isdir(folder))
        os.module().attr("makedirs")(folder, py::arg("exist_ok") = true);
    bool exists = os.exists(target);
    if (exists) refuse_read_only(ns, target);
    py::object temporary =
        to_str(temporary_save_name(to_ustring(target), os.module().attr("getpid")().cast<long long>()));
    py::object file;
    try {
        file = ns.lookup("open")(temporary, "wb");
    } catch (py::error_already_set& e) {
        // Only a folder that refuses new files gets the workbook written in place, never a full
        // drive.
        if (!exists || !e.matches(PyExc_OSError) ||
            !saves_in_place(error_number(e), e.matches(PyExc_PermissionError))) {
            throw;
        }
        save_in_place(ns, os, workbook, target);
        return;
    }
    try {
        write_to_disk(os, file, [&] { write_workbook(workbook, file); });
        if (exists && py::object(os.module().attr("name")).equal(py::str("posix"))) {
            os.module().attr("chmod")(temporary,
                                      permission_bits(os.stat(target).attr("st_mode").cast<std::uint32_t>()));
        }
        os.replace(temporary, target);
    } catch (py::error_already_set&) {
        try {
            os.remove(temporary);
        } catch (py::error_already_set&) {
            // nothing was left behind
        }
        throw;
    }
    remove_stale_saves(os, folder, target);
}

// Whether a workbook put at `path` would find the names of its tuning history taken (the
// history goes beside it under the same name, with its journal files).
static bool history_names_taken(py::handle path) {
    try {
        return py::module_::import(kHistoryModule).attr("names_taken")(path).cast<bool>();
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;
        return false;  // without the history module no history goes along
    }
}

// A free path in `folder` for the workbook's real file `real`, named with the time `when`: free
// for the workbook and for its history.
static py::object free_kept_path(const Os& os, const py::object& real, py::handle when,
                                 const py::object& folder) {
    py::object time = py::module_::import("time");
    py::object stamp = time.attr("strftime")("%Y%m%d-%H%M%S", time.attr("localtime")(when));
    auto [stem, extension] = os.splitext(os.basename(real));
    ustring name = free_backup_name(backup_base(to_ustring(stem), to_ustring(stamp)), to_ustring(extension),
                                    [&](const ustring& taken) {
                                        py::object path = os.join(folder, to_str(taken));
                                        return os.lexists(path) || history_names_taken(path);
                                    });
    return os.join(folder, to_str(name));
}

py::object move_into_backups(const Namespace& ns, py::handle path) {
    Os os(ns);
    py::object real = file_of(os, path);
    py::object moved = free_kept_path(os, real, py::float_(os.getmtime(real)), backup_folder(os, real));
    os.rename(real, moved);
    return moved;
}

py::object rename_beside(const Namespace& ns, py::handle path) {
    Os os(ns);
    py::object real = file_of(os, path);
    py::object renamed = free_kept_path(os, real, py::float_(os.getmtime(real)), os.dirname(real));
    os.rename(real, renamed);
    return renamed;
}

py::object backup_for_now(const Namespace& ns, py::handle path) {
    Os os(ns);
    py::object real = file_of(os, path);
    return free_kept_path(os, real, py::module_::import("time").attr("time")(), backup_folder(os, real));
}

void keep_extras_aside(const Namespace& ns, py::handle path, const py::object& data,
                       const WorkbookExtras& extras) {
    if (!extras.any()) return;
    std::string line = extras_line(text_of(path), extras);
    Os os(ns);
    py::object real = file_of(os, path);
    py::object copy;
    try {
        auto [stem, extension] = os.splitext(os.basename(real));
        std::string digest =
            py::module_::import("hashlib").attr("sha256")(data).attr("hexdigest")().cast<std::string>();
        copy = os.join(backup_folder(os, real),
                       to_str(original_copy_name(to_ustring(stem), digest, to_ustring(extension))));
        if (!os.isfile(copy)) write_through_temporary(ns, os, copy, data);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;
        add_note(e, original_not_kept_note(line, text_of(e.value())));
        throw;
    }
    ns.print(to_str(original_kept_line(line, text_of(copy))));
}

void refuse_read_only(const Namespace& ns, py::handle path) {
    Os os(ns);
    if (!os.isfile(path) || !read_only(os, path)) return;
    raise_object(
        py::module_::import("builtins")
            .attr("PermissionError")(py::module_::import("errno").attr("EACCES"), "Permission denied", path));
}

}  // namespace awb::py_
