// The analysis workbook in the writer's model: its creation (seven sheets, their title rows in
// the title style, the batch's wide name column, the console's picture name written ahead) and
// the cell styles of the tools' picture rows, each made of the objects the tools have always
// shared between them, so that the file is the one the tools wrote through xlwt. Plain C++.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "awb/tables.hpp"
#include "awb/xls_workbook.hpp"

namespace awb {

inline constexpr int kNameColumnWidth = 3840;  // 15 characters
inline constexpr int kTitleFillColour = 5;     // yellow in the standard palette
inline constexpr int kRowFillColour = 3;       // green: the console's picture rows
inline constexpr int kRedColour = 0x0A;
inline constexpr uview kDateFormat = U"YYYYMMDD";

// A picture name written ahead in column 0 of a row of every sheet, in the default style (a
// value as the writer takes it: a name that is not a text is written as what it is).
struct PrewrittenName {
    std::int64_t row;
    xls::CellValue name;
};

// A new analysis workbook: the seven sheets in light-source order, each with its title row in
// a title style of its own (a solid yellow fill, centred both ways).
std::unique_ptr<xls::Workbook> create_analysis_workbook(bool widen_name_column,
                                                        const std::optional<PrewrittenName>& prewritten);

// The styles of a picture row's cells: plain and red, left and vertically centred. The console's
// are filled green, and its name, date and empty cells take a "YYYYMMDD" style; the batch's have
// no fill and a black plain font. A style's XF index is given at its first use.
struct RowStyles {
    xls::Styles::Style plain;
    xls::Styles::Style red;
    xls::Styles::Style date;  // the console's
};
RowStyles batch_row_styles(xls::Styles& styles);
RowStyles console_row_styles(xls::Styles& styles);

// The two tools write a picture's row alike but for its cells after the values and its styles.
enum class Tool : std::uint8_t { kConsole, kBatch };

// What a cell of a picture row takes: one of the record's values (its slot is the column less
// one), the picture's name, its issue note, the row's date, or an empty text; and which of the
// tool's row styles it wears.
enum class RowField : std::uint8_t { kValue, kName, kIssueNote, kDate, kEmpty };
enum class RowStyle : std::uint8_t { kPlain, kRed, kDate, kDefault };
struct RowCell {
    std::size_t column;
    RowField field;
    RowStyle style;
};

// The row plan: a picture's row on sheet `sheet`, cell by cell in the order the tool writes it
// (the order its texts enter the string table). Both tools: the value columns, plain but for
// the two red probabilities (red_value_column), then the name in column 0. The batch then
// writes the issue note and the date, red, and leaves its name in the default style; the
// console writes its name, the two empty cells and the date in the "YYYYMMDD" style, then the
// note in red.
const std::vector<RowCell>& row_plan(Tool tool, std::size_t sheet);

// The XF index of each RowStyle in `book`, its styles made and added in the order their first
// cells are written (which decides their indexes): the batch's plain and red at once, as it
// always added them, the console's as its first row uses them.
using RowXfs = std::array<std::uint16_t, 4>;
RowXfs row_xfs(Tool tool, xls::Workbook& book);

// A picture row's fields as the writer takes them: the record's values of the sheet's layout,
// then the name, the issue note, the date and an empty text, at these places after the values.
inline constexpr std::size_t kFieldsAfterValues = 4;
std::size_t field_of(const RowCell& cell, std::size_t value_columns);

// The row plan of a sheet for the writer, its styles given by `xfs`.
std::vector<xls::PlannedCell> planned_cells(Tool tool, std::size_t sheet, const RowXfs& xfs);

}  // namespace awb
