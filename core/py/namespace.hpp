// A module's global names, read by name at call time, and the module's own state objects.
#pragma once

#include <pybind11/pybind11.h>

#include <utility>

#include "awb/module_globals.hpp"

namespace awb::py_ {

namespace py = pybind11;

// A module's global names, looked up when they are used, so that a caller who rebinds
// `Module.name` changes what the module's functions see. A missing name raises the
// interpreter's NameError, as a function of the module would.
class Namespace {
public:
    explicit constexpr Namespace(const char* module_name) : module_name_(module_name) {}

    const char* name() const { return module_name_; }
    py::module_ module() const;
    py::object get(const char* name) const;     // a module global
    py::object lookup(const char* name) const;  // a global, else the builtin of that name
    void set(const char* name, py::handle value) const;

    // print(*args) through the print the module sees. A character the output cannot show (a
    // redirected stdout in the system's encoding, say) is printed replaced by that encoding's
    // "?": a recording never stops for what only the output could not show.
    template <class... Args>
    void print(Args&&... args) const {
        print_line(py::make_tuple(std::forward<Args>(args)...));
    }
    void print_line(const py::tuple& args) const;

private:
    const char* module_name_;
};

// The module's state object of type T: made on first use and kept as the module's attribute
// T::kAttribute (a capsule of that name), so that each module has its own, living as long as the
// module. The capsule keeps it alive for a holder of the capsule, should the attribute go.
template <class T>
py::capsule module_state_capsule(const Namespace& ns) {
    py::module_ mod = ns.module();
    PyObject* held = PyModule_Check(mod.ptr())
                         ? PyDict_GetItemString(PyModule_GetDict(mod.ptr()), T::kAttribute)
                         : nullptr;
    if (held && PyCapsule_IsValid(held, T::kAttribute)) return py::reinterpret_borrow<py::capsule>(held);
    py::capsule made(new T(), T::kAttribute, [](PyObject* capsule) {
        delete static_cast<T*>(PyCapsule_GetPointer(capsule, PyCapsule_GetName(capsule)));
    });
    mod.attr(T::kAttribute) = made;
    return made;
}

template <class T>
T& module_state(const Namespace& ns) {
    return *module_state_capsule<T>(ns).template get_pointer<T>();
}

// Binds the packages both modules name alike, in the order they are imported at load: numpy as
// `np`, `xlwt`, `xlrd`, xlutils' `copy` and `filelock`.
void bind_workbook_packages(py::module_& m);

}  // namespace awb::py_
