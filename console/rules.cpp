#include "rules.hpp"

#include "awb/capture_list.hpp"

namespace awb::console {

ustring picture_name_from_result(uview result_name) {
    auto cut_at = [&](std::size_t at) {
        std::ptrdiff_t end = at == uview::npos ? -1 : static_cast<std::ptrdiff_t>(at);
        return ustring(head(result_name, end)) + ustring(kPictureExtension);
    };
    ustring picture = cut_at(result_name.find(kCameraMarkers[0]));
    for (std::size_t m = 1; m < kCameraMarkers.size(); ++m) {
        std::size_t at = result_name.find(kCameraMarkers[m]);
        if (at != uview::npos) picture = cut_at(at);
    }
    return picture;
}

ustring awb_text_of(uview result_path) {
    std::size_t at = result_path.find(kColourStatsSuffix);
    if (at == uview::npos) return ustring(result_path);
    return ustring(result_path.substr(0, at)) + ustring(kAwbTextSuffix);
}

std::optional<ustring> config_value(uview line) {
    std::size_t first = line.find(U'=');
    if (first == uview::npos) return std::nullopt;
    return ustring(before_first(line.substr(first + 1), U"="));
}

namespace {

bool same_picture_name(uview listed, uview picture) {
    if (listed == picture) return true;
    std::size_t dot = picture.rfind(U'.');
    return dot != uview::npos && listed.size() == picture.size() &&
           listed.substr(0, dot) == picture.substr(0, dot) &&
           equal_ignoring_case(listed.substr(dot), picture.substr(dot));
}

// `stem` stands in `cell` with no letter or digit right before it, and the end of the cell,
// "." or a blank right after it. An empty stem stands nowhere.
bool stem_in_cell(uview cell, uview stem, const std::function<bool(char32_t)>& is_alnum) {
    if (stem.empty()) return false;
    for (std::size_t at = cell.find(stem); at != uview::npos; at = cell.find(stem, at + 1)) {
        std::size_t after = at + stem.size();
        bool open_before = at == 0 || !is_alnum(cell[at - 1]);
        bool closed_after = after == cell.size() || cell[after] == U'.' || cell[after] == U' ';
        if (open_before && closed_after) return true;
    }
    return false;
}

}  // namespace

bool lists_picture(uview line, uview picture) {
    ustring name = remove_chars(picture, U" ");
    return !name.empty() && same_picture_name(listed_picture(line), name);
}

ustring issue_key(uview picture_name) {
    return ustring(before_first(before_first(picture_name, U"_"), U"."));
}

ustring clean_issue_note(uview line, uview digits) {
    std::size_t colon = line.rfind(U':');
    ustring note(colon == uview::npos ? line : line.substr(colon + 1));
    static constexpr std::array<uview, 9> kRemoved{
        U"\r", U"\n", U" ", U"-", U".jpg", U":", U"_", U":", U"、"};
    for (uview part : kRemoved) note = replace_all(note, part, U"");
    note = replace_all(note, U"，", U",");
    note = replace_all(note, U",", U"");
    return remove_chars(note, digits);
}

uview picture_stem(uview picture) {
    std::size_t dot = picture.rfind(U'.');
    return dot == uview::npos ? picture : picture.substr(0, dot);
}

std::optional<std::size_t> find_picture_row(const std::vector<ustring>& cells, uview picture,
                                            const std::function<bool(char32_t)>& is_alnum) {
    uview stem = picture_stem(picture);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if ((!picture.empty() && cells[i] == picture) || (!stem.empty() && cells[i] == stem)) return i;
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (stem_in_cell(cells[i], stem, is_alnum)) return i;
    }
    return std::nullopt;
}

}  // namespace awb::console
