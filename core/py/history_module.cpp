#include "history_module.hpp"

#include "awb/text.hpp"
#include "errors.hpp"
#include "strings.hpp"

namespace awb::py_ {

std::string history_failure(const py::error_already_set& e, py::handle history) {
    if (history && !history.is_none() && e.matches(history.attr("HistoryError").ptr())) {
        return one_line(text_of(e.value()));
    }
    return described(e);
}

py::str history_not_saved(const py::error_already_set& e, py::handle history, py::handle path) {
    return py::str("历史记录未保存: {} ({})").format(path, history_failure(e, history));
}

}  // namespace awb::py_
