// The matching rule of the debug-information text: which line carries a tag, and its value.
//
// Before a line is examined every blank, tab and "|" is removed from it (export tools align
// their columns with tabs: "AWB_TAG_CCT<tab>: 5123" is the tag's line). The cleaned line
// carries the tag when the tag occurs somewhere in it and the character at the position equal
// to the tag's length is ":". The value text is all of the cleaned line after its first ":",
// line end included; converting it to an integer is the caller's business.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
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

// A value text that is plainly an integer (an optional sign, 1 to 18 digits, then line-end
// characters only) as that integer; any other text is left to the interpreter's int(), which
// gives the same for these.
inline std::optional<std::int64_t> plain_integer(uview text) {
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == U'\n' || text[end - 1] == U'\r')) --end;
    std::size_t i = end > 0 && (text[0] == U'-' || text[0] == U'+') ? 1 : 0;
    if (end == i || end - i > 18) return std::nullopt;
    std::int64_t value = 0;
    for (std::size_t j = i; j < end; ++j) {
        if (text[j] < U'0' || text[j] > U'9') return std::nullopt;
        value = value * 10 + (text[j] - U'0');
    }
    return text[0] == U'-' ? -value : value;
}

inline std::optional<ustring> tag_value(uview line, uview tag) {
    return tag_value(line.data(), line.size(), tag);
}

// The lines of a text that can carry a tag, found without going through the others: a text of
// millions of lines is gone through once for a picture's records, not once per tag. A line can
// carry a tag of length L only when its cleaned text has a ":" at L, and then either its first L
// cleaned characters are the tag, or the tag stands after that ":", in at least L characters. So
// a line is listed, for each ":" among its first kWidth cleaned characters, under the characters
// before it (by their hash: lines of a hash shared by chance are listed too, and sorted out by
// tag_value), and, when at least as many cleaned characters follow, among that length's long
// lines.
class TagLineIndex {
public:
    static constexpr std::size_t kWidth = 64;

    template <class Unit>
    void add(std::uint32_t line, const Unit* units, std::size_t length) {
        std::size_t cleaned = 0;
        for (std::size_t j = 0; j < length; ++j)
            cleaned += removed_by_cleaning(static_cast<char32_t>(units[j])) ? 0 : 1;
        std::uint64_t hash = kHashStart;
        std::size_t kept = 0;
        for (std::size_t j = 0; j < length && kept < kWidth; ++j) {
            auto c = static_cast<char32_t>(units[j]);
            if (removed_by_cleaning(c)) continue;
            if (c == U':') {
                by_prefix_.emplace_back(keyed(hash, kept), line);
                if (cleaned - kept - 1 >= kept)
                    long_lines_.emplace_back(static_cast<std::uint64_t>(kept), line);
                sorted_ = false;
            }
            hash = mixed(hash, c);
            ++kept;
        }
    }

    // Whether a tag is looked for through the index (one as long as kWidth or longer, which no
    // record reads, or one holding a ":", is looked for in every line).
    static bool covers(uview tag) { return tag.size() < kWidth && tag.find(U':') == uview::npos; }
    // The lines that may carry `tag`, in the text's order.
    std::vector<std::uint32_t> candidates(uview tag) const {
        if (!sorted_) {
            std::sort(by_prefix_.begin(), by_prefix_.end());
            std::sort(long_lines_.begin(), long_lines_.end());
            sorted_ = true;
        }
        std::uint64_t hash = kHashStart;
        for (char32_t c : tag) hash = mixed(hash, c);
        auto starting = lines_of(by_prefix_, keyed(hash, tag.size()));
        auto long_lines = lines_of(long_lines_, static_cast<std::uint64_t>(tag.size()));
        std::vector<std::uint32_t> lines;
        lines.reserve(static_cast<std::size_t>((starting.second - starting.first) +
                                               (long_lines.second - long_lines.first)));
        auto a = starting.first, b = long_lines.first;
        while (a != starting.second || b != long_lines.second) {  // the two in the text's order, once each
            bool from_a = b == long_lines.second || (a != starting.second && a->second <= b->second);
            std::uint32_t line = from_a ? a->second : b->second;
            if (from_a && b != long_lines.second && b->second == line) ++b;
            (from_a ? ++a : ++b);
            lines.push_back(line);
        }
        return lines;
    }

private:
    static constexpr std::uint64_t kHashStart = 0xcbf29ce484222325ULL;  // FNV-1a
    static std::uint64_t mixed(std::uint64_t hash, char32_t c) { return (hash ^ c) * 0x100000001b3ULL; }
    static std::uint64_t keyed(std::uint64_t hash, std::size_t length) {
        return mixed(hash, 0x110000 + length);
    }
    using Listed =
        std::vector<std::pair<std::uint64_t, std::uint32_t>>;  // (key, line), sorted when looked in
    static std::pair<Listed::const_iterator, Listed::const_iterator> lines_of(const Listed& listed,
                                                                              std::uint64_t key) {
        return std::equal_range(listed.begin(), listed.end(), key, ByKey());
    }
    struct ByKey {
        bool operator()(const Listed::value_type& entry, std::uint64_t key) const {
            return entry.first < key;
        }
        bool operator()(std::uint64_t key, const Listed::value_type& entry) const {
            return key < entry.first;
        }
    };

    mutable Listed by_prefix_;   // by the hash of the characters before a ":"
    mutable Listed long_lines_;  // by the position of the ":"
    mutable bool sorted_ = true;
};

}  // namespace awb
