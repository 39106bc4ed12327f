// The batch recorder's text rules for dump names and its report. Plain C++, no interpreter
// objects. (The capture list's lines: awb/capture_list.hpp.)
#pragma once

#include "awb/capture_list.hpp"
#include "awb/text.hpp"

namespace awb::batch {

// A picture's EXIF dump is its name up to and including "jpg", followed by this.
inline constexpr uview kDumpSuffix = U".exif";

// The EXIF dump name of a picture: its name up to and including its first "jpg" in any letter
// case (X.JPG has the dump X.JPG.exif), followed by ".exif"; a name without "jpg" whole.
ustring exif_dump_name(uview picture_name);

// How an entry of the missing-dump list reads in the final report: without ".exif" and with
// "EXIF" turned into "全部照片", so that "./EXIF/X.jpg.exif" names the picture "./全部照片/X.jpg".
ustring missing_dump_report_line(uview entry);

// The picture name of a file found by the folder walk: its name less a trailing ".exif".
ustring picture_of_dump_file(uview file_name);

}  // namespace awb::batch
