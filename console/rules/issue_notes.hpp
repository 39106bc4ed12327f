// Issue notes: which capture-list line holds a picture's note, and the note as the workbook gets
// it. Plain C++, no interpreter objects.
#pragma once

#include <optional>
#include <vector>

#include "awb/file_names.hpp"
#include "awb/tables.hpp"
#include "awb/text.hpp"

namespace awb::console {

// True when `line` is the capture-list line of `picture`: its first field, read as the batch
// reads it (blanks and line ends removed), is the picture's name (without blanks); the letter
// case of the extension does not count, so "X.JPG" in the list is the picture X.jpg.
bool lists_picture(uview line, uview picture);

// The key that finds a picture's line in the capture list when no line names the picture: the
// name before its first "_", and of that the part before its first ".".
ustring issue_key(uview picture_name);

// The line of the picture's note: the line that names the picture, else the first line that
// names it but for letter case (the camera's "IMG_0001.jpg" is the simulator's "img_0001"),
// else the first line that holds its key. None when there is none of them. `upper` maps a letter
// to its upper case.
std::optional<std::size_t> find_issue_line(const std::vector<ustring>& lines, uview picture,
                                           CaseMap upper = ascii_upper);

// The cleaned note of a capture-list line: the text after its last ":", with line ends,
// blanks, dashes, ".jpg", colons, underscores, enumeration commas and commas removed, and
// every character of `digits` deleted.
ustring clean_issue_note(uview line, uview digits);

// A picture's note as the console tells it: the note the workbook gets ("无" when the list has
// no line of the picture, kNoIssueNote), and the line printed, "\n问题:" and the note (echo).
inline constexpr const char* kListMissing = "rawfilename.txt 文件不存在!";
struct ShownNote {
    ustring note;
    ustring line;
};
ShownNote shown_issue_note(const std::vector<ustring>& lines, uview picture, uview digits,
                           CaseMap upper = ascii_upper);

}  // namespace awb::console
