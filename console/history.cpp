#include "history.hpp"

#include <optional>
#include <string>

#include "history_module.hpp"
#include "strings.hpp"
#include "summary.hpp"

namespace awb::console {
namespace {

// The show's values by tag (awb::console::show_values).
py::dict values_by_tag(const std::vector<SheetRecord>& sheets) {
    py::dict values;
    for (const ShowValue& v : show_values(sheets.size())) {
        const SheetRecord& sheet = sheets[v.sheet];
        if (v.gain) {
            values[py_::to_str(v.tag)] = py::int_(sheet.gains[v.slot]);
        } else {
            values[py_::to_str(v.tag)] = sheet.record.slots[v.slot];
        }
    }
    return values;
}

std::optional<std::int64_t> as_int64(py::handle value) {
    if (!PyLong_Check(value.ptr())) return std::nullopt;
    int overflow = 0;
    long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (overflow != 0 || (number == -1 && PyErr_Occurred())) {
        PyErr_Clear();
        return std::nullopt;
    }
    return static_cast<std::int64_t>(number);
}

// The comparison line for the previous entry of the picture (an awb_desk.history.Entry); none
// when a compared value is not a whole number (a history edited by hand).
std::optional<std::string> compare(const py::dict& values, const py::object& previous) {
    py::object before = previous.attr("values");
    ComparedValues then;
    ComparedValues now;
    for (std::size_t i = 0; i < kCompared.size(); ++i) {
        py::str tag = py_::to_str(kCompared[i].tag);
        then[i] = as_int64(before.attr("get")(tag));
        now[i] = as_int64(values.attr("get")(tag));
    }
    std::optional<std::vector<Change>> changes = compared_changes(then, now);
    if (!changes) return std::nullopt;
    std::string time = previous.attr("shown_at").attr("strftime")("%H:%M:%S").cast<std::string>();
    return comparison_line(time, before.equal(values), *changes);
}

// The show kept by a command that holds the workbook's lock around Create_Lumvik_DATA.
struct HeldShowState {
    static constexpr const char* kAttribute = "_held_show";
    int holding = 0;
    std::optional<RecordedShow> show;
};

}  // namespace

RecordedShow recorded_show(const py_::Namespace& ns, const std::vector<SheetRecord>& sheets,
                           py::handle issues) {
    return {ns.get(globals::Excle_File), sheets.back().name, ns.get(globals::Lumvik_file_full_path),
            py::reinterpret_borrow<py::object>(issues), values_by_tag(sheets)};
}

void remember_show(const py_::Namespace& ns, RecordedShow show) {
    py::object history;
    py::object path = show.workbook;
    std::optional<std::string> line;
    try {
        history = py::module_::import(py_::kHistoryModule);
        path = history.attr("history_path")(path);
        py::object previous =
            history.attr("record_show")(path, show.picture, show.result_path, show.issues, show.values);
        if (!previous.is_none()) line = compare(show.values, previous);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;
        ns.print(py_::history_not_saved(e, history, path));
        e.discard_as_unraisable("the console's tuning history");  // the trace, into the error log
        return;
    }
    if (line) ns.print(py::str(*line));
}

HeldShow::HeldShow(const py_::Namespace& ns) : ns_(ns) {
    HeldShowState& state = py_::module_state<HeldShowState>(ns);
    ++state.holding;
    state.show.reset();
}

HeldShow::~HeldShow() {
    HeldShowState& state = py_::module_state<HeldShowState>(ns_);
    --state.holding;
    state.show.reset();
}

void HeldShow::remember() {
    std::optional<RecordedShow> show = std::move(py_::module_state<HeldShowState>(ns_).show);
    if (show) remember_show(ns_, std::move(*show));
}

void HeldShow::remember_when_released(const py_::Namespace& ns, RecordedShow show) {
    HeldShowState& state = py_::module_state<HeldShowState>(ns);
    if (state.holding > 0) {
        state.show = std::move(show);
    } else {
        remember_show(ns, std::move(show));
    }
}

}  // namespace awb::console
