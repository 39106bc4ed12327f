// How the tools read a text file, in plain terms: the encoding a byte-order mark names, and what
// a text that cannot be decoded is called. Plain C++, no interpreter objects.
#pragma once

#include <string>
#include <string_view>

#include "awb/text.hpp"

namespace awb {

// The encoding a byte-order mark at the start of `head` (the file's first bytes) names: a UTF-8
// mark is read past ("utf-8-sig"), a UTF-16 mark of either byte order gives "utf-16". An empty
// view when there is no mark: the platform's default encoding is kept.
std::string_view encoding_of_mark(std::string_view head);
inline constexpr std::size_t kLongestMark = 3;

// "<path> 不是 <encoding> 编码的文本": what a text that cannot be decoded is, in the engineer's
// terms, with the encoding that was tried.
std::string undecodable_text(const std::string& path, const std::string& encoding);

// The note of a picture's EXIF dump that cannot be decoded, with the decoder's own words `why`:
// "<path> 不是 <encoding> 编码的文本, 无法解码 (<why>)".
std::string undecodable_dump_note(const std::string& path, const std::string& encoding,
                                  const std::string& why);

// What the batch prints, once per picture, when the picture's EXIF dump is missing:
// "exif文件不存在： <path>", the path as the console echoes a user's text.
ustring missing_dump_line(uview path);

}  // namespace awb
