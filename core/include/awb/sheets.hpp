// The workbook's seven sheets and what its cells can take. Plain C++, no interpreter objects.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
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

// What a workbook with some of the seven sheets but not all is told: the error's message, and the
// engineer's line about it.
std::string missing_sheets_message(const SheetChoice& choice);
std::string missing_sheets_note(const std::string& workbook, const SheetChoice& choice);

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
