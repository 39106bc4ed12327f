#include "issue_notes.hpp"

#include <algorithm>
#include <array>

#include "awb/capture_list.hpp"

namespace awb::console {
namespace {

bool same_picture_name(uview listed, uview picture) {
    if (listed == picture) return true;
    std::size_t dot = picture.rfind(U'.');
    return dot != uview::npos && listed.size() == picture.size() &&
           listed.substr(0, dot) == picture.substr(0, dot) &&
           equal_ignoring_case(listed.substr(dot), picture.substr(dot));
}

}  // namespace

bool lists_picture(uview line, uview picture) {
    ustring name = remove_chars(picture, U" ");
    return !name.empty() && same_picture_name(listed_picture(line), name);
}

ustring issue_key(uview picture_name) {
    return ustring(before_first(before_first(picture_name, U"_"), U"."));
}

std::optional<std::size_t> find_issue_line(const std::vector<ustring>& lines, uview picture, CaseMap upper) {
    auto found = std::find_if(lines.begin(), lines.end(),
                              [&](const ustring& line) { return lists_picture(line, picture); });
    if (found == lines.end()) {
        ustring name = remove_chars(picture, U" ");
        found = std::find_if(lines.begin(), lines.end(), [&](const ustring& line) {
            return !name.empty() && same_ignoring_case(listed_picture(line), name, upper);
        });
    }
    if (found == lines.end()) {
        ustring key = issue_key(picture);
        found = std::find_if(lines.begin(), lines.end(),
                             [&](const ustring& line) { return contains(line, key); });
    }
    if (found == lines.end()) return std::nullopt;
    return static_cast<std::size_t>(found - lines.begin());
}

ustring clean_issue_note(uview line, uview digits) {
    std::size_t colon = line.rfind(U':');
    ustring note(colon == uview::npos ? line : line.substr(colon + 1));
    static constexpr std::array<uview, 9> kRemoved{U"\r", U"\n", U" ", U"-", U".jpg",
                                                   U":",  U"_",  U":", U"、"};
    for (uview part : kRemoved) note = replace_all(note, part, U"");
    note = replace_all(note, U"，", U",");
    note = replace_all(note, U",", U"");
    return remove_chars(note, digits);
}

ShownNote shown_issue_note(const std::vector<ustring>& lines, uview picture, uview digits, CaseMap upper) {
    std::optional<std::size_t> found = find_issue_line(lines, picture, upper);
    ustring note = found ? clean_issue_note(lines[*found], digits) : ustring(kNoIssueNote);
    return {note, U"\n问题:" + (found ? echo(note) : note)};
}

}  // namespace awb::console
