#include "os_calls.hpp"

namespace awb::py_ {

std::pair<py::object, py::object> Os::splitext(py::handle p) const {
    py::tuple parts = path("splitext")(p);
    return {parts[0], parts[1]};
}

void close_quietly(const py::object& file) {
    try {
        file.attr("close")();
    } catch (py::error_already_set&) {
        // the error on its way up is the one to report
    }
}

}  // namespace awb::py_
