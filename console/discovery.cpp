// Result discovery: the result the engineer has just simulated names the current picture, and
// its AWB debug-information text is opened for the tag reader once the simulator has written it.
//
// The console remembers for its session what the results folder held when it last looked (the
// rule: choose_result), which pictures it showed, and what it has told about already.
#include <algorithm>
#include <set>
#include <utility>

#include "awb/file_modes.hpp"
#include "awb/file_names.hpp"
#include "console.hpp"
#include "errors.hpp"
#include "os_calls.hpp"
#include "result_choice.hpp"
#include "result_names.hpp"
#include "session.hpp"
#include "settling.hpp"
#include "strings.hpp"
#include "text_files.hpp"

namespace awb::console {
namespace {

// The console's memory of the results folder, for its session.
struct DiscoveryState {
    static constexpr const char* kAttribute = "_discovery_state";
    FolderLook last_look;
    FolderLook left_by_clear;
    std::set<ustring> shown;                          // the AWB texts of the session's shows
    std::set<std::pair<ustring, std::int64_t>> told;  // texts told about, at their time
    std::optional<std::size_t> left_when_none;        // set when the last look found no result
    // The AWB text the last discovery opened (its bare name and path), as it was once settled.
    ustring opened_name;
    ustring opened_path;
    std::optional<TextLook> settled;
};

DiscoveryState& state_of(const py_::Namespace& ns) { return py_::module_state<DiscoveryState>(ns); }

constexpr double kLookInterval = 0.05;   // between two looks at a text being written
constexpr std::size_t kTailBytes = 512;  // of a text's end, to see whether it is cut

// The texts of the results folder, in name order, with the paths the listing gave.
struct Listing {
    std::vector<ListedText> texts;
    std::vector<py::object> paths;
};

bool on_windows(const py_::Namespace& ns) {
    return ns.get(globals::platform).attr("system")().equal(py::str("Windows"));
}

// A text's name in its listed path: on Windows the listing joins the folder (written with "/")
// and the name with its only backslash.
ustring listed_name(const py_::Namespace& ns, bool windows, py::handle path) {
    if (!windows) return py_::to_ustring(py_::Os(ns).basename(path));
    std::optional<ustring> listed = listed_result_name(py_::to_ustring(path));
    if (!listed) py_::raise(PyExc_IndexError, "list index out of range");
    return *listed;
}

Listing look_at_results(const py_::Namespace& ns, bool windows) {
    py_::Os os(ns);
    Listing listing;
    for (py::handle path : list_results(ns)) {
        py::object status;
        try {
            status = os.stat(path);
        } catch (py::error_already_set& e) {
            if (!e.matches(PyExc_OSError)) throw;
            continue;  // gone since the listing
        }
        if (file_kind(status.attr("st_mode").cast<std::uint32_t>()) != FileKind::kPlain) continue;
        listing.texts.push_back({listed_name(ns, windows, path), status.attr("st_size").cast<std::int64_t>(),
                                 status.attr("st_mtime_ns").cast<std::int64_t>()});
        listing.paths.push_back(py::reinterpret_borrow<py::object>(path));
    }
    return listing;
}

double monotonic() { return py::module_::import("time").attr("monotonic")().cast<double>(); }
std::int64_t clock_ns() { return py::module_::import("time").attr("time_ns")().cast<std::int64_t>(); }

TextLook look_at(const py_::Namespace& ns, py::handle path) {
    py::object status = py_::Os(ns).stat(path);
    return {monotonic(), status.attr("st_size").cast<std::int64_t>(),
            status.attr("st_mtime_ns").cast<std::int64_t>()};
}

// The last bytes of a text, one character each (tags are ASCII in every encoding read).
ustring tail_of(const py_::Namespace& ns, py::handle path, std::int64_t size) {
    py::object file = ns.lookup("open")(path, "rb");
    py::bytes read;
    try {
        auto from =
            size > static_cast<std::int64_t>(kTailBytes) ? size - static_cast<std::int64_t>(kTailBytes) : 0;
        file.attr("seek")(from);
        read = file.attr("read")();
    } catch (py::error_already_set&) {
        py_::close_quietly(file);
        throw;
    }
    file.attr("close")();
    std::string bytes(read);
    ustring tail;
    tail.reserve(bytes.size());
    for (char c : bytes) tail.push_back(static_cast<unsigned char>(c));
    return tail;
}

// Whether the colour-statistics text of an AWB text stands beside it (the simulator writes it
// after the AWB text).
bool colour_statistics_beside(const py_::Namespace& ns, const ustring& awb_path) {
    if (awb_path.size() < kAwbTextSuffix.size() ||
        awb_path.substr(awb_path.size() - kAwbTextSuffix.size()) != kAwbTextSuffix) {
        return true;  // no AWB text of the simulator's naming: nothing to wait for
    }
    py::object glob = ns.get(globals::glob);
    ustring stem = awb_path.substr(0, awb_path.size() - kAwbTextSuffix.size());
    py::object found = glob.attr("glob")(glob.attr("escape")(py_::to_str(stem)) +
                                         py_::to_str(ustring(kColourStatsSuffix) + U"*"));
    return py::len(found) != 0;
}

// Waits until the AWB text at `path` has settled (text_settling), saying so in one line when it
// has to wait; raises when the simulator is still writing it after all. `looks`: how the text was
// when the show chose it (and since).
TextLook wait_until_settled(const py_::Namespace& ns, const py::str& path, std::vector<TextLook> looks) {
    ustring where = py_::to_ustring(path);
    bool told = false;
    while (true) {
        ustring tail = tail_of(ns, path, looks.back().size);
        TextLook now = look_at(ns, path);
        bool beside = colour_statistics_beside(ns, where);
        bool cut = text_looks_cut(tail, now.size == 0, beside);
        bool fresh = !beside && now.mtime_ns >= clock_ns() - kFreshNs;
        looks.push_back(now);
        Settling settling = text_settling(looks, !cut, fresh);
        if (settling == Settling::kSettled) return now;
        if (settling == Settling::kStillWriting) {
            py_::raise_noted(PyExc_OSError, "the result is still being written",
                             still_being_written(py_::text_of(path), cut));
        }
        if (!told) {
            ns.print(py::str(waiting_for_result(py_::text_of(path), kLongestWait)));
            told = true;
        }
        py::module_::import("time").attr("sleep")(kLookInterval);
    }
}

// One line for what an engineer should know of this look: results dated after the clock, and a
// newest text that is no result. Each is told once (again when it changes).
void tell_about(const py_::Namespace& ns, DiscoveryState& state, const Listing& listing,
                const ResultChoice& choice, std::int64_t clock_ns) {
    // Each picture named once, by its colour-statistics text where that is dated ahead too.
    std::vector<std::pair<ustring, ustring>> pictures;  // its AWB text, the text named
    std::int64_t ahead = 0;
    for (std::size_t i : choice.future) {
        const ListedText& text = listing.texts[i];
        if (!state.told.insert({text.name, text.mtime_ns}).second) continue;
        ahead = std::max(ahead, text.mtime_ns - clock_ns);
        ustring awb = awb_text_of(text.name);
        auto known =
            std::find_if(pictures.begin(), pictures.end(), [&](const auto& p) { return p.first == awb; });
        if (known == pictures.end()) {
            pictures.emplace_back(awb, text.name);
        } else if (contains(text.name, kColourStatsSuffix)) {
            known->second = text.name;
        }
    }
    std::vector<ustring> future;
    for (const auto& picture : pictures)
        future.push_back(py_::readable_file_name(py_::to_str(picture.second)));
    if (!future.empty()) ns.print(py_::to_str(future_results_line(future, ahead)));
    if (choice.newest_other) {
        const ListedText& other = listing.texts[*choice.newest_other];
        if (state.told.insert({other.name, other.mtime_ns}).second) {
            ns.print(py_::to_str(not_a_result_line(py_::readable_file_name(py_::to_str(other.name)))));
        }
    }
}

}  // namespace

py::object results_folder(const py_::Namespace& ns) {
    return py_::to_str(split_results_pattern(py_::to_ustring(ns.get(globals::AWB_Results_Dir))).folder);
}

py::object list_results(const py_::Namespace& ns) {
    ResultsPattern pattern = split_results_pattern(py_::to_ustring(ns.get(globals::AWB_Results_Dir)));
    py::object glob = ns.get(globals::glob);
    py::object found =
        glob.attr("glob")(glob.attr("escape")(py_::to_str(pattern.folder)) + py_::to_str(pattern.files));
    return ns.lookup("sorted")(found);
}

void first_look(const py_::Namespace& ns) {
    try {
        state_of(ns).last_look = FolderLook(look_at_results(ns, on_windows(ns)).texts);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;  // no look: every text counts as new at the first show
    }
}

void look_after_clear(const py_::Namespace& ns) {
    DiscoveryState& state = state_of(ns);
    FolderLook left(look_at_results(ns, on_windows(ns)).texts);
    state.last_look = left;
    state.left_by_clear = left;
}

void remember_shown(const py_::Namespace& ns) {
    DiscoveryState& state = state_of(ns);
    if (!state.opened_name.empty()) state.shown.insert(state.opened_name);
}

std::optional<EmptyResults> results_missing(const py_::Namespace& ns) {
    const DiscoveryState& state = state_of(ns);
    if (!state.left_when_none) return std::nullopt;
    py::object folder = results_folder(ns);
    return EmptyResults{py_::text_of(folder), py_::exists(ns, folder), *state.left_when_none};
}

bool settle_again(const py_::Namespace& ns, bool may_wait) {
    DiscoveryState& state = state_of(ns);
    py::object fp = ns.get(globals::fp);
    if (!state.settled || !py::hasattr(fp, "name")) return false;
    py::object name = fp.attr("name");
    if (!PyUnicode_Check(name.ptr()) || py_::to_ustring(name) != state.opened_path) return false;
    py::str path = py_::to_str(state.opened_path);
    TextLook now = look_at(ns, path);
    if (now.size == state.settled->size && now.mtime_ns == state.settled->mtime_ns) return false;
    // The simulator wrote the text again while its values were read.
    if (!may_wait) {
        py_::raise_noted(PyExc_OSError, "the result is still being written",
                         still_being_written(py_::text_of(path), false));
    }
    state.settled = wait_until_settled(ns, path, {*state.settled, now});
    return true;
}

void find_changed_txt() {
    const py_::Namespace& ns = kLumvik;
    DiscoveryState& state = state_of(ns);
    bool windows = on_windows(ns);
    Listing listing = look_at_results(ns, windows);
    std::int64_t clock = clock_ns();
    ResultChoice choice =
        choose_result(listing.texts, state.last_look, state.left_by_clear, state.shown, clock);
    state.last_look = FolderLook(listing.texts);
    state.left_when_none = choice.result ? std::nullopt : std::optional<std::size_t>(choice.left_by_clear);
    tell_about(ns, state, listing, choice, clock);
    if (!choice.result) py_::raise(PyExc_ValueError, "max() arg is an empty sequence");

    const ListedText& chosen = listing.texts[*choice.result];
    const py::object& newest = listing.paths[*choice.result];
    if (!is_text(chosen.name)) {
        py_::raise_noted(PyExc_ValueError, "the result's file name is not text",
                         result_name_not_text(to_utf8(py_::readable_file_name(py_::to_str(chosen.name)))));
    }
    ustring awb_text = windows ? awb_text_in_folder(py_::to_ustring(results_folder(ns)), chosen.name)
                               : awb_text_of(py_::to_ustring(newest));
    py::str path = py_::to_str(awb_text);
    ns.set(globals::Target_Awb_Target_Pic, py_::to_str(picture_name_from_result(chosen.name)));
    ns.set(globals::Lumvik_file_full_path, path);
    ns.set(globals::fp, py_::open_debug_text(ns, path));

    // The AWB text as the listing found it (it is a listed text itself), and once written.
    ustring awb_name = awb_text_of(chosen.name);
    TextLook first = look_at(ns, path);
    for (const ListedText& text : listing.texts) {
        if (text.name == awb_name) first = {first.at, text.size, text.mtime_ns};
    }
    state.opened_name = awb_name;
    state.opened_path = awb_text;
    state.settled.reset();
    Step step = current_step();
    mark_step(Step::kSettle);
    state.settled = wait_until_settled(ns, path, {first});
    mark_step(step);
}

}  // namespace awb::console
