// The tag rule of the debug-information text: which line carries a tag, and its value text.
#include <doctest/doctest.h>

#include <cstdint>

#include "awb/tag_rule.hpp"
#include "test_support.hpp"

namespace awb {
namespace {

using test::s;
using test::u;

// The value text of the last line of `text` that carries `tag` (the reader converts each with
// the interpreter's int()).
std::optional<std::string> last_value(const std::string& text, const std::string& tag) {
    std::optional<ustring> value;
    ustring whole = u(text);
    ustring wanted = u(tag);
    for_each_line(whole, [&](uview line) {
        if (auto found = tag_value(line, wanted)) value = found;
    });
    return s(value);
}

// The rule as the engineer states it: blanks, tabs and bars go, the tag must occur somewhere and ":"
// must stand right at the tag's length; the value is all after the first ":".
std::optional<ustring> stated_rule(uview line, uview tag) {
    ustring cleaned = remove_chars(line, U" \t|");
    if (!contains(cleaned, tag) || cleaned.size() <= tag.size() || cleaned[tag.size()] != U':')
        return std::nullopt;
    return cleaned.substr(cleaned.find(U':') + 1);
}

TEST_CASE("a tag's value text is all of the cleaned line after its first colon") {
    struct Example {
        const char* text;
        const char* tag;
        std::optional<std::string> value;
    };
    const Example examples[] = {
        {"AWB_TAG_P_DF: 10\nAWB_TAG_P_D: 40\n", "AWB_TAG_P_D", "40\n"},  // the neighbour is told apart
        {"AWB_TAG_P_D: 40\nAWB_TAG_P_DF: 10\n", "AWB_TAG_P_DF", "10\n"},
        {"| AWB_TAG_CCT | : | 5000 |\n", "AWB_TAG_CCT", "5000\n"},  // bars and blanks are removed
        {"AWB_TAG_CCT: 5 000\n", "AWB_TAG_CCT", "5000\n"},
        {"AWB_TAG_CCT:\t5000\n", "AWB_TAG_CCT", "5000\n"},   // a tab goes as a blank does
        {"AWB_TAG_CCT\t: 5123\n", "AWB_TAG_CCT", "5123\n"},  // before the colon too (aligned columns)
        {"\tAWB_TAG_CCT\t|\t: 5\t123\n", "AWB_TAG_CCT", "5123\n"},
        {"AWB_TAG_CCT: -12\n", "AWB_TAG_CCT", "-12\n"},
        {"AWB_TAG_CCT: +7\r\n", "AWB_TAG_CCT", "+7\r\n"},
        {"AWB_TAG_CCT: 1\nAWB_TAG_CCT: 2\nAWB_TAG_CCT: 3\n", "AWB_TAG_CCT", "3\n"},  // last match wins
        {"AWB_TAG_CCT: 7:12\n", "AWB_TAG_CCT", "7:12\n"},                            // after the FIRST colon
        {"other: 1\n", "AWB_TAG_CCT", std::nullopt},
        {"awb_tag_cct: 5\n", "AWB_TAG_CCT", std::nullopt},    // case matters
        {"AWB_TAG_CCT\n: 5\n", "AWB_TAG_CCT", std::nullopt},  // the value must be on its line
        {"AWB_TAG_CCT", "AWB_TAG_CCT", std::nullopt},         // a tag alone at the end
        {"AWB_TAG_CCT: 99999999999999999999\n", "AWB_TAG_CCT", "99999999999999999999\n"},
        {"xAWB_TAG_CCT: 5\n", "AWB_TAG_CCT", std::nullopt},  // ":" must stand at the tag's length
        {"ABCDEFGHIJK:2AWB_TAG_CCT\n", "AWB_TAG_CCT", "2AWB_TAG_CCT\n"},  // ...wherever the tag stands
        {"日本AWB_TAG_CCT: 5\nAWB_TAG_C: 6\n", "AWB_TAG_C", "6\n"},       // positions count characters
        {"é:5\n", "", std::nullopt},
        {":5\n", "", "5\n"},  // the empty default tag
        // values the interpreter's int() refuses are handed on as they are
        {"AWB_TAG_DATE: 2026-12-08\n", "AWB_TAG_DATE", "2026-12-08\n"},
        {"AWB_TAG_DATE: \n", "AWB_TAG_DATE", "\n"},
        {"AWB_TAG_DATE: 5.0\n", "AWB_TAG_DATE", "5.0\n"},
        {"AWB_TAG_DATE: 0x10\n", "AWB_TAG_DATE", "0x10\n"},
        {"AWB_TAG_DATE: 5K\n", "AWB_TAG_DATE", "5K\n"},
    };
    for (const Example& e : examples) {
        CAPTURE(e.text);
        CHECK(last_value(e.text, e.tag) == e.value);
    }
}

// Each line also as code units one and two bytes wide where it fits, as the interpreter holds it.
void check_widths(uview line, uview tag, const std::optional<ustring>& expected) {
    char32_t widest = 0;
    for (char32_t c : line) widest = std::max(widest, c);
    if (widest < 0x100) {
        std::vector<std::uint8_t> narrow(line.begin(), line.end());
        CHECK(s(tag_value(narrow.data(), narrow.size(), tag)) == s(expected));
    }
    if (widest < 0x10000) {
        std::vector<std::uint16_t> wide(line.begin(), line.end());
        CHECK(s(tag_value(wide.data(), wide.size(), tag)) == s(expected));
    }
}

TEST_CASE("the tag rule agrees with its plain statement on generated lines, in every code unit width") {
    const std::vector<std::string> tags{"AWB_TAG_P_D",  "AWB_TAG_P_DF", "AWB_TAG_CCT",
                                        "AWB_TAG_DATE", "标签",         ""};
    std::vector<std::string> pieces(tags);
    for (const char* piece : {" ", "|", ":", "\t", "-", "+", "0", "7", "12", "99999999999999999999", "é",
                              "日", "\r", "x", "AWB_TAG_P_", "_", "．", "５", "1_000"}) {
        pieces.emplace_back(piece);
    }
    pieces.emplace_back(std::string(1, '\0'));
    test::Pieces draw(pieces, 2026);
    for (int n = 0; n < 20000; ++n) {
        ustring line = draw.text(12) + (n % 2 ? U"\n" : U"");
        ustring tag = u(tags[static_cast<std::size_t>(n) % tags.size()]);
        std::optional<ustring> expected = stated_rule(line, tag);
        CAPTURE(s(line));
        CHECK(s(tag_value(line, tag)) == s(expected));
        check_widths(line, tag, expected);
    }
}

TEST_CASE("the index of colons lists every line that can carry a tag") {
    test::Pieces draw(
        {"AWB_TAG_CCT", "AWB_TAG_P_D", ":", " ", "|", "5", "日", "x", "AWB_", std::string(70, 'y')}, 7);
    std::vector<ustring> lines;
    TagLineIndex index;
    for (std::uint32_t i = 0; i < 3000; ++i) {
        lines.push_back(draw.text(8));
        index.add(i, lines.back().data(), lines.back().size());
    }
    for (uview tag :
         {uview(U"AWB_TAG_CCT"), uview(U"AWB_TAG_P_D"), uview(U""), uview(U"x"), uview(U"yyyy")}) {
        REQUIRE(TagLineIndex::covers(tag));
        std::vector<std::uint32_t> listed = index.candidates(tag);
        CHECK(std::is_sorted(listed.begin(), listed.end()));
        for (std::uint32_t i = 0; i < lines.size(); ++i) {
            bool carries = tag_value(lines[i], tag).has_value();
            if (carries) CHECK(std::find(listed.begin(), listed.end(), i) != listed.end());
        }
    }
    CHECK_FALSE(TagLineIndex::covers(ustring(TagLineIndex::kWidth, U'x')));
    CHECK_FALSE(TagLineIndex::covers(U"A:B"));
    // Values the interpreter's int() reads the same; the others are left to it.
    CHECK((plain_integer(U"5123\n") == 5123 && plain_integer(U"-7\r\n") == -7 && plain_integer(U"+0") == 0));
    for (uview other : {U"", U"-", U"5_000", U"1e3", U"52 ", U"1234567890123456789", U"٣"}) {
        CHECK_FALSE(plain_integer(other).has_value());
    }
}

}  // namespace
}  // namespace awb
