// A workbook read from a file (its values and formats, as a reader with formatting gives them)
// made into the writer's model the way xlutils' copy makes it into an xlwt workbook: each cell
// written anew with a style of its XF's attributes (styles told apart by their values), the
// columns' widths and formats where a cell of theirs is met, the rows' heights and formats,
// merged ranges, how each sheet shows and whether it is hidden. Saving the model gives the bytes
// xlwt gives for the copy. Plain C++: the reading is the caller's.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "awb/xls_workbook.hpp"

namespace awb::xls {

// A font as the reader gives it.
struct ReadFont {
    int height = 200, italic = 0, struck_out = 0, outline = 0, colour_index = 0x7FFF, bold = 0, weight = 400;
    int escapement = 0, underline_type = 0, family = 0, character_set = 1;
    ustring name = U"Arial";
};

// An XF record as the reader gives it: its font, its number format's text and its groups.
struct ReadXf {
    std::size_t font_index = 0;
    ustring format = U"General";
    Alignment alignment;  // horz, vert, dire, rota, wrap, shri and inde as read; orie and merg as made
    Borders borders;
    Pattern pattern;
    Protection protection;
};

struct ReadColumn {
    int width = 0, xf_index = -1, hidden = 0, outline_level = 0;
};

struct ReadRowInfo {
    RowFormat format;
    int has_default_xf_index = 0, xf_index = -1;
};

// A cell: its type as the reader numbers them, its value and its XF (-1: none of its own).
enum ReadType : std::uint8_t {
    kEmpty = 0,
    kText = 1,
    kNumber = 2,
    kDate = 3,
    kBoolean = 4,
    kError = 5,
    kBlankCell = 6
};
struct ReadCell {
    ReadType type = kEmpty;
    double number = 0;  // a number, a date, a truth value or an error code
    ustring text;
    int xf_index = -1;
};

struct ReadSheet {
    ustring name;
    SheetView view;  // how it shows as read (`sheet_visible`: it is the sheet shown on opening)
    std::vector<std::array<int, 4>> merged;  // first row, row past the last, first column, past the last
    std::map<int, ReadColumn> columns;
    std::map<int, ReadRowInfo> rows;
    std::vector<std::vector<ReadCell>> cells;  // row by row, every row as long as the widest
};

struct ReadBook {
    int datemode = 0;
    std::vector<ReadFont> fonts;
    std::vector<ReadXf> xfs;
    std::vector<ReadSheet> sheets;
};

// The XF a cell of the file takes: its own, else its row's, else its column's, else 15.
int cell_xf(const ReadSheet& sheet, std::size_t row, std::size_t col);

// The writer's model of a read workbook (Refusal for what xlutils' copy refuses: an empty or
// repeated sheet name, one over 31 characters, an XF or a cell xlwt cannot take).
std::unique_ptr<Workbook> copy_of(const ReadBook& book);

}  // namespace awb::xls
