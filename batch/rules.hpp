// The batch recorder's text rules for capture-list lines, dump names and its report. Plain C++,
// no interpreter objects.
#pragma once

#include <vector>

#include "awb/text.hpp"

namespace awb::batch {

// A capture-list line cleaned of its line end and of every blank.
ustring clean_capture_line(uview line);

// The fields of a cleaned capture-list line, split at every ":".
std::vector<ustring> split_fields(uview line);

// A picture's EXIF dump is its name up to and including "jpg", followed by this.
inline constexpr uview kDumpSuffix = U".exif";

// The EXIF dump name of a capture-list line: the line up to and including the first "jpg" of
// its picture name, followed by ".exif".
ustring exif_dump_name(uview cleaned_line, uview picture_name);

// One capture-list line as the batch takes it: a picture line has at least the three fields
// picture, raw picture and issue note (further fields are ignored); an empty line is passed
// over silently, a line with fewer fields is reported and passed over.
enum class LineKind { kEmpty, kMalformed, kPicture };
inline constexpr std::size_t kCaptureFields = 3;
struct CaptureLine {
    LineKind kind;
    ustring cleaned;
    std::vector<ustring> fields;
};
CaptureLine read_capture_line(uview line);

// How an entry of the missing-dump list reads in the final report: without ".exif" and with
// "EXIF" turned into "全部照片", so that "./EXIF/X.jpg.exif" names the picture "./全部照片/X.jpg".
ustring missing_dump_report_line(uview entry);

// The picture name of a file found by the folder walk: its name less a trailing ".exif".
ustring picture_of_dump_file(uview file_name);

}  // namespace awb::batch
