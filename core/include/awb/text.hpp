// Text helpers of the AWB core. All positions and lengths are counted in characters
// (code points): texts are held as UTF-32.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace awb {

using ustring = std::u32string;
using uview = std::u32string_view;

ustring from_utf8(std::string_view text);
std::string to_utf8(uview text);

inline bool contains(uview text, uview part) { return text.find(part) != uview::npos; }

// Every character of `chars` removed from `text`.
ustring remove_chars(uview text, uview chars);

// Every occurrence of `from` (not empty) replaced by `to`, scanning left to right.
ustring replace_all(uview text, uview from, uview to);

// The text before the first occurrence of `mark`, or the whole text when it has none.
uview before_first(uview text, uview mark);

// The first `count` characters, with a negative count meaning "all but the last -count"
// (the way a slice text[:count] is taken).
uview head(uview text, std::ptrdiff_t count);

// `text` and `other` equal but for the letter case of ASCII letters.
bool equal_ignoring_case(uview text, uview other);

// The position of the first `part` in `text`, ASCII letters compared without their case.
std::size_t find_ignoring_case(uview text, uview part);

// A text on one console line: every line feed and carriage return becomes a blank.
std::string one_line(std::string text);

// An error in its own words on one console line: "<type>: <message>", or its type alone when it
// has no message.
std::string error_in_own_words(const std::string& type, const std::string& message);

// A user's text as the console echoes it: at most kEchoLength characters, followed by "…"
// where it was cut, so that a runaway line does not flood the console.
inline constexpr std::size_t kEchoLength = 200;
ustring echo(uview text);

// Lines of a text, each keeping its "\n" (the last one may have none).
template <class Fn>
void for_each_line(uview text, Fn&& fn) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(U'\n', start);
        end = (end == uview::npos) ? text.size() : end + 1;
        fn(text.substr(start, end - start));
        start = end;
    }
}

}  // namespace awb
