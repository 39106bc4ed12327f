// The tag reader: the value of one tag of a picture's debug-information text (the console's
// open text in `fp`) or of its EXIF dump (the batch's "./EXIF/" + `Target_Awb_Target_Pic`).
#pragma once

#include "pyutil.hpp"

namespace awb::py_ {

// The value of `tag` in a list of lines: the last matching line's value converted by the
// module's int(), or 0 when no line matches. A value int() refuses raises its ValueError.
py::object scan_lines(const Namespace& ns, py::handle lines, py::handle tag);

// Console: rewinds the open text `fp`, reads all its lines and scans them; `fp` stays open.
py::object read_tag_from_open_text(const Namespace& ns, py::handle tag);

// Batch: opens the current picture's EXIF dump, reads and closes it, and scans its lines.
// A missing dump reads as 0: it is reported once per picture (`exif_file_flage`) and its path
// recorded once at the end of `no_exif_list`.
py::object read_tag_from_dump(const Namespace& ns, py::handle tag);

// While a DumpMemory lives, the batch reader reads each dump once: further lookups of the
// same dump reuse the lines read first (or its absence). One lives per recorded picture.
class DumpMemory {
public:
    DumpMemory();
    ~DumpMemory();
    DumpMemory(const DumpMemory&) = delete;
    DumpMemory& operator=(const DumpMemory&) = delete;

    py::object path;   // the dump last looked up
    py::object lines;  // its lines, or None when it is missing

private:
    DumpMemory* outer_;
};

}  // namespace awb::py_
