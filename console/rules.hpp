// The console's text rules: result names, the configuration line, issue notes and the
// picture rows of the workbook. Plain C++, no interpreter objects.
#pragma once

#include <array>
#include <functional>
#include <optional>

#include "awb/text.hpp"

namespace awb::console {

// ---- simulator results ----

// Camera markers of a result name, weakest first: a later marker that is present wins.
inline constexpr std::array<uview, 3> kCameraMarkers{U"-mfll", U"-main", U"-sub"};
inline constexpr uview kPictureExtension = U".jpg";
inline constexpr uview kColourStatsMark = U"_dbg_scolor_";
inline constexpr uview kAwbTextMark = U"_awb_dbg_";
inline constexpr uview kColourStatsSuffix = U"_dbg_scolor_info.";
inline constexpr uview kAwbTextSuffix = U"_awb_dbg_info.txt";

// The picture's file name from a result name: the name cut before its camera marker, plus
// ".jpg". "-mfll" is applied whether present or not (when it is absent the cut drops the last
// character); "-main" and then "-sub" are applied only when present.
ustring picture_name_from_result(uview result_name);

// The AWB debug-information text that belongs to a result text (Linux naming): the path cut
// at its first "_dbg_scolor_info." and ended with "_awb_dbg_info.txt", or the path itself.
ustring awb_text_of(uview result_path);

// ---- configuration ----

// The value of a "key=value" line: the second field of a split at every "=". None when the
// line holds no "=".
std::optional<ustring> config_value(uview line);

// ---- issue notes ----

// The key that finds a picture's line in the capture list: the name before its first "_",
// and of that the part before its first ".".
ustring issue_key(uview picture_name);

// The cleaned note of a capture-list line: the text after its last ":", with line ends,
// blanks, dashes, ".jpg", colons, underscores, enumeration commas and commas removed, and
// every character of `digits` deleted.
ustring clean_issue_note(uview line, uview digits);

// ---- picture rows ----

// True when `name` stands in `cell` with no letter or digit right before or right after it.
// An empty name stands nowhere.
bool name_in_cell(uview cell, uview name, const std::function<bool(char32_t)>& is_alnum);

}  // namespace awb::console
