// The file work of the bindings, each operation named once. The module's own `os` is read by
// name where an object is made (callers may rebind `Module.os`), and each call reads its
// function from it at call time, as `os.path.join(...)` in the module's code would.
#pragma once

#include <utility>

#include "namespace.hpp"

namespace awb::py_ {

class Os {
public:
    explicit Os(const Namespace& ns) : os_(ns.get(globals::os)) {}

    const py::object& module() const { return os_; }
    py::object path(const char* function) const { return os_.attr("path").attr(function); }

    py::object join(py::handle folder, py::handle name) const { return path("join")(folder, name); }
    py::object dirname(py::handle p) const { return path("dirname")(p); }
    py::object basename(py::handle p) const { return path("basename")(p); }
    py::object realpath(py::handle p) const { return path("realpath")(p); }
    std::pair<py::object, py::object> splitext(py::handle p) const;
    bool exists(py::handle p) const { return path("exists")(p).cast<bool>(); }
    bool lexists(py::handle p) const { return path("lexists")(p).cast<bool>(); }
    bool isfile(py::handle p) const { return path("isfile")(p).cast<bool>(); }
    bool isdir(py::handle p) const { return path("isdir")(p).cast<bool>(); }
    bool islink(py::handle p) const { return path("islink")(p).cast<bool>(); }
    double getmtime(py::handle p) const { return path("getmtime")(p).cast<double>(); }

    py::object stat(py::handle p) const { return os_.attr("stat")(p); }
    py::object listdir(py::handle p) const { return os_.attr("listdir")(p); }
    void mkdir(py::handle p) const { os_.attr("mkdir")(p); }
    void remove(py::handle p) const { os_.attr("remove")(p); }
    void rename(py::handle from, py::handle to) const { os_.attr("rename")(from, to); }
    void replace(py::handle from, py::handle to) const { os_.attr("replace")(from, to); }

private:
    py::object os_;
};

// os.path.exists through the module's own `os`.
inline bool exists(const Namespace& ns, py::handle path) { return Os(ns).exists(path); }

// Calls close() on `file`, keeping an error already on its way up: a close that fails then is
// not the error to report.
void close_quietly(const py::object& file);

}  // namespace awb::py_
