#include "awb/sheets.hpp"

#include <algorithm>

namespace awb {

SheetChoice choose_sheets(const std::vector<ustring>& sheet_names) {
    SheetChoice choice;
    for (std::size_t k = 0; k < kSheetCount; ++k) {
        uview code = kLightSources[k].code;
        auto found = std::find(sheet_names.begin(), sheet_names.end(), code);
        std::string& list = found != sheet_names.end() ? choice.present : choice.missing;
        list += (list.empty() ? "" : ", ") + to_utf8(code);
        if (found != sheet_names.end())
            choice.positions[k] = static_cast<std::size_t>(found - sheet_names.begin());
    }
    if (choice.missing.empty()) return choice;
    if (!choice.present.empty()) {
        choice.kind = SheetChoice::Kind::kMissing;
        return choice;
    }
    if (sheet_names.size() < kSheetCount) {
        choice.kind = SheetChoice::Kind::kTooFew;
        return choice;
    }
    for (std::size_t k = 0; k < kSheetCount; ++k) choice.positions[k] = k;
    return choice;
}

void FirstRows::build(const std::vector<std::optional<ustring>>& texts) {
    first_.clear();
    for (std::size_t row = 1; row < texts.size(); ++row) {
        if (texts[row]) first_.emplace(*texts[row], row);
    }
    built_ = true;
}

void FirstRows::drop() {
    first_.clear();
    built_ = false;
}

std::optional<std::size_t> FirstRows::find(const ustring& text) const {
    auto found = first_.find(text);
    if (found == first_.end()) return std::nullopt;
    return found->second;
}

void FirstRows::set(std::size_t row, const std::optional<ustring>& old, const std::optional<ustring>& text) {
    if (!built_ || row == 0) return;
    if (old && find(*old) == row) {
        drop();  // a text's first row changes
    } else if (text) {
        std::optional<std::size_t> first = find(*text);
        if (!first || *first > row) first_[*text] = row;
    }
}

std::string missing_sheets_message(const SheetChoice& choice) { return "missing sheets: " + choice.missing; }

std::string sheets_problem(const SheetChoice& choice) {
    switch (choice.kind) {
    case SheetChoice::Kind::kMissing:
        return "缺少工作表 " + choice.missing + " (有 " + choice.present + ")";
    case SheetChoice::Kind::kTooFew:
        return too_few_sheets();
    case SheetChoice::Kind::kFound:
        break;
    }
    return {};
}

std::string missing_sheets_note(const std::string& workbook, const SheetChoice& choice) {
    return "工作簿 " + workbook + " " + sheets_problem(choice) +
           ", 未写入任何内容; 请补上这些工作表, 或移走它后重试";
}

std::string too_few_sheets() {
    std::string codes;
    for (const LightSource& source : kLightSources)
        codes += (codes.empty() ? "" : ", ") + to_utf8(source.code);
    return "少于七个工作表 (应为 " + codes + ")";
}

namespace {
// The note's words around the workbook's path.
const char kTooFewBefore[] = "工作簿 ";
std::string too_few_after() { return " " + too_few_sheets() + ", 请移走它后重试"; }
}  // namespace

std::string too_few_sheets_note(const std::string& workbook) {
    return kTooFewBefore + workbook + too_few_after();
}

bool tells_too_few_sheets(const std::string& note) {
    const std::string before = kTooFewBefore, after = too_few_after();
    return note.size() >= before.size() + after.size() && note.compare(0, before.size(), before) == 0 &&
           note.compare(note.size() - after.size(), after.size(), after) == 0;
}

std::optional<std::string> row_refusal(std::size_t row) {
    if (row <= kLastRow) return std::nullopt;
    return "工作簿已满: .xls 工作表最多 65536 行, 本行(第 " + std::to_string(row + 1) + " 行)无法写入";
}

std::optional<std::string> text_refusal(std::size_t length) {
    if (length <= kLongestText) return std::nullopt;
    return std::string("文本过长: .xls 单元格最多 32767 个字符");
}

}  // namespace awb
