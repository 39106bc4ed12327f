// The batch recorder's text rules for capture-list lines. Plain C++, no interpreter objects.
#pragma once

#include <vector>

#include "awb/text.hpp"

namespace awb::batch {

// A capture-list line cleaned of its line end and of every blank.
ustring clean_capture_line(uview line);

// The fields of a cleaned capture-list line, split at every ":".
std::vector<ustring> split_fields(uview line);

// The EXIF dump name of a capture-list line: the line up to and including the first "jpg" of
// its picture name, followed by ".exif".
ustring exif_dump_name(uview cleaned_line, uview picture_name);

}  // namespace awb::batch
