// The names the batch derives: the day's workbook, a picture's EXIF dump, a file found by the
// folder walk, the final report's missing pictures, the Desktop folder. Plain C++, no interpreter objects.
// (The capture list's lines: awb/capture_list.hpp.)
#pragma once

#include <functional>
#include <optional>

#include "awb/text.hpp"

namespace awb::batch {

// The day's workbook: "Corvane", the day (as the module's `time` writes "%Y%m%d") and ".xls".
ustring day_workbook_name(uview day);

// A picture's EXIF dump is its name up to and including "jpg", followed by this.
inline constexpr uview kDumpSuffix = U".exif";

// The EXIF dump name of a picture: its name up to and including its first "jpg" in any letter
// case (X.JPG has the dump X.JPG.exif), followed by ".exif"; a name without "jpg" whole.
ustring exif_dump_name(uview picture_name);

// The dump a capture-list line's picture is read from: the dump of the cleaned name
// (`listed`), unless that one does not `exist` and the dump of the name as the line wrote it
// (`written`, blanks inside kept: a copy "IMG_0001 - 副本.jpg" has "IMG_0001 - 副本.jpg.exif")
// does. When neither exists under its exact name, the dump whose name differs only in letter
// case, as a Windows desk would find it (`same_but_case` gives the existing one's name), first
// the cleaned name's. When there is none, the cleaned name's dump is the one reported missing.
using DumpLookup = std::function<std::optional<ustring>(const ustring&)>;
ustring dump_to_read(uview listed, uview written, const std::function<bool(const ustring&)>& exists,
                     const DumpLookup& same_but_case);

// How an entry of the missing-dump list reads in the final report: without ".exif" and with
// "EXIF" turned into "全部照片", so that "./EXIF/X.jpg.exif" names the picture "./全部照片/X.jpg".
ustring missing_dump_report_line(uview entry);

// The name of a file found by the folder walk: its path below the walked folder, with "/"
// between the parts (`folder` is that path of its folder, "." for the walked folder itself).
ustring walked_name(uview folder, uview file);

// The picture name of a file found by the folder walk: its name less a trailing ".exif".
ustring picture_of_dump_file(uview file_name);

// The Desktop folder with a trailing separator: "/" where the joined path has a "/", then "\"
// where it has a "\" (a path with both gets both).
ustring desktop_folder(uview joined);

}  // namespace awb::batch
