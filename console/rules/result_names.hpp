// The simulator's result names: which picture a result text is of, which AWB debug-information
// text belongs to it, and how a show names the picture. Plain C++, no interpreter objects.
#pragma once

#include <array>

#include "awb/text.hpp"

namespace awb::console {

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

// The same with Windows naming: the result's name in the results folder, every
// "_dbg_scolor_" turned into "_awb_dbg_".
ustring awb_text_in_folder(uview results_folder, uview result_name);

// The name a picture is recorded under: a multi-frame picture under its name before the
// "-mfll" marker, plus ".jpg"; any other as it is.
ustring recorded_picture_name(uview picture);

// The picture label of a show: the AWB text's path before "Results", then the last and the
// first blank-separated field of the picture name, two blanks between.
ustring picture_label(uview awb_text, uview picture);

}  // namespace awb::console
