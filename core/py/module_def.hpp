// The entry point of an extension module whose loading runs the module's start-up. Any
// exception of the start-up reaches the importer unchanged (a SystemExit ends the program, an
// IndexError stays an IndexError), and the module is not loaded.
#pragma once

#include "namespace.hpp"

namespace awb::py_ {

using ModuleStartUp = void (*)(py::module_&);

inline int run_start_up(PyObject* module, ModuleStartUp start_up) {
    try {
        py::detail::ensure_internals();
        auto m = py::reinterpret_borrow<py::module_>(module);
        start_up(m);
        return 0;
    } catch (py::error_already_set& e) {
        e.restore();
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_ImportError, e.what());
    }
    return -1;
}

}  // namespace awb::py_

#ifdef Py_mod_multiple_interpreters
#define AWB_SINGLE_INTERPRETER_SLOT \
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
#else
#define AWB_SINGLE_INTERPRETER_SLOT
#endif

// Defines PyInit_<name>, which loads the module by running `start_up` on it.
// clang-format off
#define AWB_EXTENSION_MODULE(name, start_up)                                                    \
    static int awb_exec_##name(PyObject* module) {                                              \
        return ::awb::py_::run_start_up(module, start_up);                                      \
    }                                                                                           \
    static PyModuleDef_Slot awb_slots_##name[] = {                                              \
        {Py_mod_exec, reinterpret_cast<void*>(&awb_exec_##name)},                               \
        AWB_SINGLE_INTERPRETER_SLOT{0, nullptr}};                                               \
    static PyModuleDef awb_def_##name = {                                                       \
        PyModuleDef_HEAD_INIT, #name, nullptr, 0, nullptr, awb_slots_##name, nullptr, nullptr,  \
        nullptr};                                                                               \
    extern "C" PYBIND11_EXPORT PyObject* PyInit_##name() { return PyModuleDef_Init(&awb_def_##name); }
// clang-format on
