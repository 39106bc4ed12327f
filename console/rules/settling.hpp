// When a result text has settled: the simulator may still be writing the AWB text when Enter is
// pressed, and a value cut by a write in progress must never be recorded. Plain C++, no
// interpreter objects.
#pragma once

#include <cstdint>
#include <vector>

#include "awb/text.hpp"

namespace awb::console {

// One look at a text: when it was taken (seconds on a steady clock), and the text's size and
// modification time then.
struct TextLook {
    double at = 0;
    std::int64_t size = 0;
    std::int64_t mtime_ns = 0;
};

// How long a text that was seen changing must stay still to count as written, and how long a
// show waits for it at most.
inline constexpr double kQuietSeconds = 0.5;
inline constexpr double kLongestWait = 3.0;

enum class Settling { kSettled, kWait, kStillWriting };

// Whether a text can be read now. `looks` are the looks taken at it, in order: the first is the
// listing the show chose from, the second the one after a first glance at its end. `complete`:
// as last seen, the text does not look cut by a write (text_looks_cut). `fresh`: it was written
// moments ago (kFreshNs) and its colour statistics are not beside it yet, so a write may only be
// pausing between two lines.
// A complete text that is not fresh and did not move between the first two looks has settled at
// once: a show of a written result waits for nothing. Any other is looked at again until it has
// stood still for kQuietSeconds and looks complete, for kLongestWait at most; past that it is
// still being written.
inline constexpr std::int64_t kFreshNs = 3LL * 1000 * 1000 * 1000;
Settling text_settling(const std::vector<TextLook>& looks, bool complete, bool fresh);

// Whether an AWB text looks cut by a write in progress, from its last characters (`tail`, the
// text's end, bytes read one to a character) and whether its colour-statistics text stands beside
// it (the simulator writes that one last): without it, a text that is empty, or that ends inside
// a tag's value (its last line has no line end and holds a ":"), is cut.
bool text_looks_cut(uview tail, bool empty, bool colour_statistics_beside);

}  // namespace awb::console
