#include "picture_rows.hpp"

#include "awb/tables.hpp"

namespace awb::console {
namespace {

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

uview picture_stem(uview picture) {
    std::size_t dot = picture.rfind(U'.');
    return dot == uview::npos ? picture : picture.substr(0, dot);
}

std::optional<std::size_t> find_picture_row(const std::vector<ustring>& cells, uview picture,
                                            const std::function<bool(char32_t)>& is_alnum, CaseMap upper) {
    uview stem = picture_stem(picture);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if ((!picture.empty() && cells[i] == picture) || (!stem.empty() && cells[i] == stem)) return i;
    }
    std::vector<ustring> folded;
    folded.reserve(cells.size());
    for (const ustring& cell : cells) folded.push_back(without_case(cell, upper));
    ustring name = without_case(picture, upper);
    ustring word = without_case(stem, upper);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if ((!name.empty() && folded[i] == name) || (!word.empty() && folded[i] == word)) return i;
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (stem_in_cell(folded[i], word, is_alnum)) return i;
    }
    return std::nullopt;
}

std::size_t picture_row(std::optional<std::size_t> found, std::size_t previous, std::size_t rows) {
    if (found) return *found;
    return previous == 0 ? rows : previous;
}

}  // namespace awb::console
