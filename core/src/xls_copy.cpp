#include "awb/xls_copy.hpp"

#include <set>

namespace awb::xls {
namespace {

// A style of the read XF's attributes, made of objects of its own (xlutils makes one per XF).
Styles::Style style_of(Styles& styles, const ReadBook& book, const ReadXf& xf) {
    const ReadFont& read = book.fonts.at(xf.font_index);
    Font font;
    font.height = read.height;
    font.italic = read.italic;
    font.struck_out = read.struck_out;
    font.outline = read.outline;
    font.shadow = read.outline;  // as the copy has it: the outline flag stands for the shadow too
    font.colour_index = read.colour_index;
    font.bold = read.bold;
    font.weight = read.weight;
    font.escapement = read.escapement;
    font.underline = read.underline_type;
    font.family = read.family;
    font.charset = read.character_set;
    font.name = read.name;
    Styles::Style style;
    style.num_format = xf.format;
    style.font = styles.font(font);
    style.alignment = styles.alignment(xf.alignment);
    style.borders = styles.borders(xf.borders);
    style.pattern = styles.pattern(xf.pattern);
    style.protection = styles.protection(xf.protection);
    return style;
}

// The copy's styles, one per read XF, each given its XF index in the new workbook at first use.
class CopiedStyles {
public:
    CopiedStyles(Styles& styles, const ReadBook& book) : styles_(styles) {
        for (const ReadXf& xf : book.xfs) list_.push_back(style_of(styles, book, xf));
    }
    std::uint16_t xf(int read_index) {
        // An index of -1 takes the last XF, as a list index does.
        std::size_t at = read_index < 0 ? list_.size() - static_cast<std::size_t>(-read_index)
                                        : static_cast<std::size_t>(read_index);
        return styles_.add(list_.at(at));
    }

private:
    Styles& styles_;
    std::vector<Styles::Style> list_;
};

CellValue value_of(const ReadCell& cell) {
    switch (cell.type) {
    case kText:
        return CellValue::of(cell.text);
    case kBlankCell:
        return CellValue{};
    default:  // numbers and dates, and truth values and error codes, which xlrd gives as numbers
        return CellValue::of(cell.number);
    }
}

void copy_sheet(Workbook& out, const ReadSheet& read, CopiedStyles& styles) {
    Sheet& sheet = out.add_sheet(read.name, true);
    // Each merged range by its top-left cell (a later range of the same corner wins), and every
    // cell a range covers.
    std::map<std::pair<int, int>, std::array<int, 4>> corners;
    std::set<std::pair<int, int>> covered;
    for (const std::array<int, 4>& range : read.merged) {
        corners[{range[0], range[2]}] = range;
        for (int r = range[0]; r < range[1]; ++r) {
            for (int c = range[2]; c < range[3]; ++c) covered.insert({r, c});
        }
    }
    SheetView view = read.view;
    view.sheet_visible = 0;
    sheet.view = view;
    std::set<int> columns_set;
    for (std::size_t r = 0; r < read.cells.size(); ++r) {
        auto row = static_cast<std::int64_t>(r);
        Row& written = sheet.row(row);
        auto info = read.rows.find(static_cast<int>(r));
        if (info != read.rows.end()) {
            written.format = info->second.format;
            if (info->second.has_default_xf_index) sheet.set_row_xf(row, styles.xf(info->second.xf_index));
        }
        const std::vector<ReadCell>& cells = read.cells[r];
        for (std::size_t c = 0; c < cells.size(); ++c) {
            auto col = static_cast<std::int64_t>(c);
            auto column = read.columns.find(static_cast<int>(c));
            if (column != read.columns.end() && columns_set.insert(static_cast<int>(c)).second) {
                sheet.set_col_width(col, column->second.width);
                Column& made = sheet.col(col);
                made.xf = styles.xf(column->second.xf_index);
                made.hidden = column->second.hidden;
                made.level = column->second.outline_level;
            }
            const ReadCell& cell = cells[c];
            if (cell.type == kEmpty) continue;
            std::uint16_t xf = styles.xf(cell_xf(read, r, c));
            std::pair<int, int> at{static_cast<int>(r), static_cast<int>(c)};
            auto corner = corners.find(at);
            if (corner != corners.end()) {
                const std::array<int, 4>& range = corner->second;
                sheet.write_merge(row, row + range[1] - range[0] - 1, col, col + range[3] - range[2] - 1,
                                  value_of(cell), xf);
                continue;
            }
            if (covered.count(at)) continue;  // written with its range
            switch (cell.type) {
            case kText:
                sheet.set_text(row, col, cell.text, xf);
                break;
            case kNumber:
            case kDate:
                sheet.set_number(row, col, cell.number, xf);
                break;
            case kBlankCell:
                sheet.set_blank(row, col, xf);
                break;
            case kBoolean:
                sheet.set_boolean(row, col, cell.number != 0, xf);
                break;
            default:
                sheet.set_error(row, col, static_cast<int>(cell.number), xf);
                break;
            }
        }
    }
}

}  // namespace

int cell_xf(const ReadSheet& sheet, std::size_t row, std::size_t col) {
    int own = sheet.cells.at(row).at(col).xf_index;
    if (own > -1) return own;
    auto info = sheet.rows.find(static_cast<int>(row));
    if (info != sheet.rows.end() && info->second.xf_index > -1) return info->second.xf_index;
    auto column = sheet.columns.find(static_cast<int>(col));
    if (column != sheet.columns.end()) return column->second.xf_index == -1 ? 15 : column->second.xf_index;
    return 15;
}

std::unique_ptr<Workbook> copy_of(const ReadBook& book) {
    auto out = std::make_unique<Workbook>(Merge::kByValue);
    out->dates_1904 = book.datemode;
    CopiedStyles styles(out->styles(), book);
    for (std::size_t k = 0; k < book.sheets.size(); ++k) {
        const ReadSheet& sheet = book.sheets[k];
        if (sheet.name.empty()) throw Refusal("Empty sheet name will result in invalid Excel file!");
        if (sheet.name.size() > 31) {
            throw Refusal("Sheet name cannot be more than 31 characters long, supplied name was " +
                          std::to_string(sheet.name.size()) + " characters long!");
        }
        copy_sheet(*out, sheet, styles);
        // The sheet shown on opening: the last one the file marks so.
        if (sheet.view.sheet_visible) {
            out->set_active_sheet(k);
            out->sheet(k).view.sheet_visible = 1;
        }
    }
    return out;
}

}  // namespace awb::xls
