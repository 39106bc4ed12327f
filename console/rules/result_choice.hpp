// Which text of the simulator's results folder an Enter shows. The console remembers what the
// folder held when it last looked (at start-up, at each show, at each clear): a result that
// appeared or changed since then is what the engineer has just simulated, whatever the clocks
// or the file system's time stamps say. Plain C++, no interpreter objects.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "awb/text.hpp"

namespace awb::console {

// A text of the results folder as a look found it.
struct ListedText {
    ustring name;  // its name in the folder
    std::int64_t size = 0;
    std::int64_t mtime_ns = 0;
};

// Whether a text is named as the simulator names its results: "<stem>_awb_dbg_info.txt" (the
// AWB debug-information text) or "<stem>_dbg_scolor_info.<extension>" (the colour statistics).
// An engineer's note saved in the folder is no result, whatever it holds.
bool is_result_name(uview name);

// What one look at the folder found: each text's size and modification time.
class FolderLook {
public:
    FolderLook() = default;
    explicit FolderLook(const std::vector<ListedText>& texts);
    // The folder held this text, unchanged, at the look.
    bool holds(const ListedText& text) const;
    std::size_t count() const { return texts_.size(); }

private:
    std::map<ustring, std::pair<std::int64_t, std::int64_t>> texts_;
};

// How far after the machine's clock a result's time must lie to be told about.
inline constexpr std::int64_t kClockSlackNs = 60LL * 1000 * 1000 * 1000;

struct ResultChoice {
    std::optional<std::size_t> result;  // the text to show, in the listing; none without a result
    bool is_new = false;                // it appeared or changed since the last look
    // The newest text of the folder when it is no result (and newer than the result shown).
    std::optional<std::size_t> newest_other;
    std::size_t left_by_clear = 0;    // results the last clear could not delete, unchanged since
    std::vector<std::size_t> future;  // results dated more than kClockSlackNs after the clock
};

// The result an Enter shows, from the listing (in name order): the results that appeared or
// changed since `last_look` go before the others; among them the newest by modification time
// wins, on equal times one whose AWB text is not among `shown` (the session's shows), then the
// first in name order. A result the last clear left behind (`left_by_clear`) and unchanged
// since is not counted at all: an Enter after a clear shows only what was written after it.
ResultChoice choose_result(const std::vector<ListedText>& listing, const FolderLook& last_look,
                           const FolderLook& left_by_clear, const std::set<ustring>& shown,
                           std::int64_t clock_ns);

// The line that tells of results dated after the clock (`names`: a text of each; `ahead_ns`: how
// far the latest lies ahead).
ustring future_results_line(const std::vector<ustring>& names, std::int64_t ahead_ns);

// The line that tells of the newest text of the folder that is no result.
ustring not_a_result_line(uview name);

}  // namespace awb::console
