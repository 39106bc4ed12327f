#include "rules.hpp"

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

bool name_in_cell(uview cell, uview name, const std::function<bool(char32_t)>& is_alnum) {
    if (name.empty()) return false;
    for (std::size_t at = cell.find(name); at != uview::npos; at = cell.find(name, at + 1)) {
        std::size_t after = at + name.size();
        bool open_before = at == 0 || !is_alnum(cell[at - 1]);
        bool open_after = after == cell.size() || !is_alnum(cell[after]);
        if (open_before && open_after) return true;
    }
    return false;
}

}  // namespace awb::console
