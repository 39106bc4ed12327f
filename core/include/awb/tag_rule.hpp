// The matching rule of the debug-information text: which line carries a tag, and its value.
//
// Before a line is examined every blank, tab and "|" is removed from it (export tools align
// their columns with tabs: "AWB_TAG_CCT<tab>: 5123" is the tag's line). The cleaned line
// carries the tag when the tag occurs somewhere in it and the character at the position equal
// to the tag's length is ":". The value text is all of the cleaned line after its first ":",
// line end included; converting it to an integer is the caller's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "awb/text.hpp"

namespace awb {

inline bool removed_by_cleaning(char32_t c) { return c == U' ' || c == U'\t' || c == U'|'; }

// `line` is any array of code points (one, two or four bytes wide).
template <class Unit>
std::optional<ustring> tag_value(const Unit* line, std::size_t length, uview tag) {
    // Cheap test first: the cleaned character at the tag's length must be ":".
    std::size_t kept = 0;
    std::size_t i = 0;
    bool starts_with_tag = true;
    for (; i < length; ++i) {
        auto c = static_cast<char32_t>(line[i]);
        if (removed_by_cleaning(c)) continue;
        if (kept == tag.size()) break;
        starts_with_tag = starts_with_tag && c == tag[kept];
        ++kept;
    }
    if (i == length || static_cast<char32_t>(line[i]) != U':') return std::nullopt;

    if (tag.find(U':') == uview::npos) {
        // The usual line: the cleaned line starts with the tag, so its first ":" is the one found.
        if (starts_with_tag) {
            ustring value;
            value.reserve(length - i);
            for (std::size_t j = i + 1; j < length; ++j) {
                auto c = static_cast<char32_t>(line[j]);
                if (!removed_by_cleaning(c)) value.push_back(c);
            }
            return value;
        }
        // Otherwise the tag can only stand after that ":", in at least as many characters.
        std::size_t after = 0;
        for (std::size_t j = i + 1; j < length && after < tag.size(); ++j) {
            if (!removed_by_cleaning(static_cast<char32_t>(line[j]))) ++after;
        }
        if (after < tag.size()) return std::nullopt;
    }

    ustring cleaned;
    cleaned.reserve(length);
    for (std::size_t j = 0; j < length; ++j) {
        auto c = static_cast<char32_t>(line[j]);
        if (!removed_by_cleaning(c)) cleaned.push_back(c);
    }
    if (cleaned.find(tag) == ustring::npos) return std::nullopt;
    return cleaned.substr(cleaned.find(U':') + 1);
}

inline std::optional<ustring> tag_value(uview line, uview tag) {
    return tag_value(line.data(), line.size(), tag);
}

// The lines of a text by where their cleaned text has a ":" among its first kWidth characters.
// A line can carry a tag only when its cleaned text has a ":" right at the tag's length, so a tag
// shorter than kWidth is looked for only in the lines listed for its length: a text of millions
// of lines is gone through once for a picture's records, not once per tag.
class TagLineIndex {
public:
    static constexpr std::size_t kWidth = 64;

    TagLineIndex() : colons_(kWidth) {}

    template <class Unit>
    void add(std::uint32_t line, const Unit* units, std::size_t length) {
        std::size_t kept = 0;
        for (std::size_t j = 0; j < length && kept < kWidth; ++j) {
            auto c = static_cast<char32_t>(units[j]);
            if (removed_by_cleaning(c)) continue;
            if (c == U':') colons_[kept].push_back(line);
            ++kept;
        }
    }

    // Whether a tag of this length is looked for through the index (longer ones, which no record
    // reads, are looked for in every line), and the lines that may carry it.
    static bool covers(std::size_t tag_length) { return tag_length < kWidth; }
    const std::vector<std::uint32_t>& candidates(std::size_t tag_length) const { return colons_[tag_length]; }

private:
    std::vector<std::vector<std::uint32_t>> colons_;  // position of a ":" -> the lines having it
};

}  // namespace awb
