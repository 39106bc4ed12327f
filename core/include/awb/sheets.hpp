// The workbook's seven sheets and what its cells can take. Plain C++, no interpreter objects.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "awb/tables.hpp"
#include "awb/text.hpp"

namespace awb {

// Each light source's sheet, found among the workbook's sheet names: by name (T, WF, F, CWF, D,
// DF, S, the first sheet of that name) wherever it stands among the user's own; only a workbook
// with none of those names is taken by position (its first seven sheets).
struct SheetChoice {
    enum class Kind {
        kFound,    // `positions` holds each light source's sheet
        kTooFew,   // no sheet has a light source's name, and there are fewer than seven
        kMissing,  // some of the names are there, not all
    };
    Kind kind = Kind::kFound;
    std::array<std::size_t, kSheetCount> positions{};
    std::string present;  // the codes found, ", " between them
    std::string missing;  // the codes not found
};
SheetChoice choose_sheets(const std::vector<ustring>& sheet_names);

// The first row (from 1) of each text in column 0 of a sheet, kept up to date as rows are written,
// so that a picture's row is found without going through the column. Texts only: a name of any
// other kind is found by comparing it with each row's.
class FirstRows {
public:
    bool built() const { return built_; }
    // Made from the column, row by row: the text of each row, none where the cell holds no text.
    void build(const std::vector<std::optional<ustring>>& texts);
    void drop();  // made again when next needed
    std::optional<std::size_t> find(const ustring& text) const;
    // Row `row` held `old` and holds `text` now. When `old` first stood there, the index is
    // dropped.
    void set(std::size_t row, const std::optional<ustring>& old, const std::optional<ustring>& text);

private:
    std::unordered_map<ustring, std::size_t> first_;
    bool built_ = false;
};

// Why a choice holds no seven sheets, in the engineer's words: "缺少工作表 S (有 T, WF, F, CWF, D,
// DF)", or "少于七个工作表 (应为 T, WF, F, CWF, D, DF, S)"; empty for a choice that found them.
std::string sheets_problem(const SheetChoice& choice);

// What a workbook with some of the seven sheets but not all is told: the error's message, and the
// engineer's line about it.
std::string missing_sheets_message(const SheetChoice& choice);
std::string missing_sheets_note(const std::string& workbook, const SheetChoice& choice);

// A workbook with fewer than seven sheets and none of their names: sheets_problem's words, and
// the note on its IndexError, by which the tools tell that cause from any other IndexError.
std::string too_few_sheets();
std::string too_few_sheets_note(const std::string& workbook);
bool tells_too_few_sheets(const std::string& note);

// The highest row and longest text a workbook cell can take, and the message of a row or a text
// beyond them.
inline constexpr std::size_t kLastRow = 65535;
inline constexpr std::size_t kLongestText = 32767;
std::optional<std::string> row_refusal(std::size_t row);
std::optional<std::string> text_refusal(std::size_t length);

// A cell of this type (as a reader of the file gives it: 0 empty, 6 blank) holds a value; rows at
// the end of a sheet with no such cell are not counted.
inline bool holds_value(int cell_type) {
    constexpr int kEmpty = 0;
    constexpr int kBlank = 6;
    return cell_type != kEmpty && cell_type != kBlank;
}

}  // namespace awb
