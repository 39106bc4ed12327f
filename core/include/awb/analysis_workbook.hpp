// The analysis workbook in the writer's model: its creation (seven sheets, their title rows in
// the title style, the batch's wide name column, the console's picture name written ahead) and
// the cell styles of the tools' picture rows, each made of the objects the tools have always
// shared between them, so that the file is the one the tools wrote through xlwt. Plain C++.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "awb/tables.hpp"
#include "awb/xls_workbook.hpp"

namespace awb {

inline constexpr int kNameColumnWidth = 3840;  // 15 characters
inline constexpr int kTitleFillColour = 5;     // yellow in the standard palette
inline constexpr int kRowFillColour = 3;       // green: the console's picture rows
inline constexpr int kRedColour = 0x0A;
inline constexpr uview kDateFormat = U"YYYYMMDD";

// A picture name written ahead in column 0 of a row of every sheet, in the default style.
struct PrewrittenName {
    std::int64_t row;
    ustring name;
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

}  // namespace awb
