// The EXIF batch recorder, module Tavrin: its functions as the interpreter calls them.
#pragma once

#include "pyutil.hpp"

namespace awb::batch {

namespace py = pybind11;
inline constexpr py_::Namespace kTavrin{"Tavrin"};

// GetDesktopPath: the user's Desktop folder with a trailing separator.
py::object get_desktop_path();

}  // namespace awb::batch
