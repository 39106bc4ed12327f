// The capture list "rawfilename.txt": one line per picture with the picture's file name, its
// raw file name and the engineer's issue note, separated by ":". Blanks carry no meaning. The
// batch goes through its lines; the console finds a picture's note in it.
#pragma once

#include <vector>

#include "awb/text.hpp"

namespace awb {

// A capture-list line cleaned of its line end and of every blank.
ustring clean_capture_line(uview line);

// The fields of a cleaned capture-list line, split at every ":".
std::vector<ustring> split_fields(uview line);

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

// The picture a line names: the first field of the cleaned line.
ustring listed_picture(uview line);

// The picture field as the line wrote it: its text before the first ":", without the line end
// and with only its outer blanks trimmed ("IMG_0001 - 副本.jpg" keeps its inner blanks).
ustring picture_as_written(uview line);

}  // namespace awb
