// How the tools read a text file, in plain terms: the encodings a text the engineer writes is
// tried in, how a debug text is read, and what a text that cannot be decoded is called. Plain
// C++, no interpreter objects.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "awb/text.hpp"

namespace awb {

// The encoding a byte-order mark at the start of `head` (the file's first bytes) names: a UTF-8
// mark is read past ("utf-8-sig"), a UTF-16 mark of either byte order gives "utf-16". An empty
// view when there is no mark.
std::string_view encoding_of_mark(std::string_view head);
inline constexpr std::size_t kLongestMark = 3;

// The encodings a text the engineer writes (the capture list, Config.ini) is tried in, in this
// order, each on the whole text: the one its byte-order mark names; else UTF-8, then the
// system's own encoding (`system`, as the interpreter's codec registry names it: the ANSI code
// page on Windows) when that is another. Notepad saves UTF-8 without a mark, older Notepad and
// spreadsheet exports the system's encoding; a Chinese text of some length in GBK is never
// valid UTF-8, so the first that decodes the whole text is the one it was written in.
std::vector<std::string> text_encodings(std::string_view head, const std::string& system);

// A debug text or an EXIF dump is read in the encoding its byte-order mark names, else as
// UTF-8, a byte that is not UTF-8 standing in as U+FFFD ("replace"). Its tag lines are ASCII,
// and ASCII reads the same whatever the other lines hold, so the values are those of any
// encoding that keeps ASCII, and no byte outside a tag line costs a picture its row.
inline constexpr const char* kDebugTextEncoding = "utf-8";
inline constexpr const char* kDebugTextErrors = "replace";

// "<path> 不是 <e1> 或 <e2> 编码的文本": what a text that cannot be decoded is, in the engineer's
// terms, with the encodings that were tried.
std::string undecodable_text(const std::string& path, const std::vector<std::string>& tried);

// What the batch prints, once per picture, when the picture's EXIF dump is missing:
// "exif文件不存在： <path>", the path as the console echoes a user's text.
ustring missing_dump_line(uview path);

}  // namespace awb
