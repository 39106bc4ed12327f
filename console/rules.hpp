// The console's text rules: result names, the configuration line, issue notes and the
// picture rows of the workbook. Plain C++, no interpreter objects.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <vector>

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

// True when `line` is the capture-list line of `picture`: its first field, read as the batch
// reads it (blanks and line ends removed), is the picture's name (without blanks); the letter
// case of the extension does not count, so "X.JPG" in the list is the picture X.jpg.
bool lists_picture(uview line, uview picture);

// The key that finds a picture's line in the capture list when no line names the picture: the
// name before its first "_", and of that the part before its first ".".
ustring issue_key(uview picture_name);

// The cleaned note of a capture-list line: the text after its last ":", with line ends,
// blanks, dashes, ".jpg", colons, underscores, enumeration commas and commas removed, and
// every character of `digits` deleted.
ustring clean_issue_note(uview line, uview digits);

// ---- picture rows ----

// A picture's name less its extension (the text from its last "."), the name a row holds.
uview picture_stem(uview picture);

// The row of `picture` among the column-0 texts of a sheet's picture rows, counted from 0:
// first a text that is the picture's name or its name less the extension; else the first text
// that holds the name less its extension with no letter or digit right before it, and right
// after it the end of the text, "." or a blank (so "P001_X.jpg" is a row of X.jpg, and the
// burst frame "X_1.jpg" is not). None when no row is the picture's.
std::optional<std::size_t> find_picture_row(const std::vector<ustring>& cells, uview picture,
                                            const std::function<bool(char32_t)>& is_alnum);

}  // namespace awb::console
