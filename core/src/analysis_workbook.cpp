#include "awb/analysis_workbook.hpp"

namespace awb {
namespace {

xls::Styles::Id left_centred(xls::Styles& styles) {
    xls::Alignment alignment;
    alignment.horz = xls::Alignment::kLeft;
    alignment.vert = xls::Alignment::kVertCentre;
    return styles.alignment(alignment);
}

xls::Styles::Id solid(xls::Styles& styles, int colour) {
    xls::Pattern fill;
    fill.pattern = xls::Pattern::kSolid;
    fill.fore_colour = colour;
    return styles.pattern(fill);
}

// A style whose font is red and not bold (a fresh style with that font of its own).
xls::Styles::Style red_style(xls::Styles& styles) {
    xls::Styles::Style red = styles.style();
    xls::Font font;
    font.colour_index = kRedColour;
    red.font = styles.font(font);
    return red;
}

}  // namespace

std::unique_ptr<xls::Workbook> create_analysis_workbook(bool widen_name_column,
                                                        const std::optional<PrewrittenName>& prewritten) {
    auto book = std::make_unique<xls::Workbook>(xls::Merge::kByObject);
    xls::Styles& styles = book->styles();
    for (const LightSource& source : kLightSources) {
        xls::Sheet& sheet = book->add_sheet(source.code, true);
        xls::Styles::Style title = styles.style();
        title.pattern = solid(styles, kTitleFillColour);
        xls::Alignment centred;
        centred.horz = xls::Alignment::kCentre;
        centred.vert = xls::Alignment::kVertCentre;
        title.alignment = styles.alignment(centred);
        if (widen_name_column) sheet.set_col_width(0, kNameColumnWidth);
        const Layout& layout = layout_of(source);
        for (std::size_t column = 0; column < layout.titles.size(); ++column) {
            sheet.write(0, static_cast<std::int64_t>(column),
                        xls::CellValue::of(ustring(layout.titles[column])), styles.add(title));
        }
        if (prewritten) {
            sheet.write(prewritten->row, 0, prewritten->name, styles.default_cell_xf());
        }
    }
    return book;
}

RowStyles batch_row_styles(xls::Styles& styles) {
    xls::Styles::Id alignment = left_centred(styles);
    RowStyles row;
    row.plain = styles.style();
    row.plain.alignment = alignment;
    xls::Font black;
    black.colour_index = 0;
    row.plain.font = styles.font(black);
    row.red = red_style(styles);
    row.red.alignment = alignment;
    row.date = row.red;
    return row;
}

RowStyles console_row_styles(xls::Styles& styles) {
    xls::Styles::Id fill = solid(styles, kRowFillColour);
    xls::Styles::Id alignment = left_centred(styles);
    RowStyles row;
    row.plain = styles.style();
    row.date = styles.style();
    row.date.num_format = ustring(kDateFormat);
    row.red = red_style(styles);
    for (xls::Styles::Style* style : {&row.plain, &row.date, &row.red}) {
        style->pattern = fill;
        style->alignment = alignment;
    }
    return row;
}

namespace {

std::vector<RowCell> plan_of(Tool tool, std::size_t sheet) {
    const Layout& layout = layout_of(kLightSources.at(sheet));
    std::vector<RowCell> cells;
    for (std::size_t column = 1; column <= layout.value_columns; ++column) {
        cells.push_back(
            {column, RowField::kValue, red_value_column(sheet, column) ? RowStyle::kRed : RowStyle::kPlain});
    }
    if (tool == Tool::kBatch) {
        cells.push_back({0, RowField::kName, RowStyle::kDefault});
        cells.push_back({layout.tail_column(kIssueNote), RowField::kIssueNote, RowStyle::kRed});
        cells.push_back({layout.tail_column(kDate), RowField::kDate, RowStyle::kRed});
    } else {
        cells.push_back({0, RowField::kName, RowStyle::kDate});
        cells.push_back({layout.tail_column(kColourEngine), RowField::kEmpty, RowStyle::kDate});
        cells.push_back({layout.tail_column(kDate), RowField::kDate, RowStyle::kDate});
        cells.push_back({layout.tail_column(kChange), RowField::kEmpty, RowStyle::kDate});
        cells.push_back({layout.tail_column(kIssueNote), RowField::kIssueNote, RowStyle::kRed});
    }
    return cells;
}

template <Tool tool>
const std::vector<std::vector<RowCell>>& plans() {
    static const std::vector<std::vector<RowCell>> made = [] {
        std::vector<std::vector<RowCell>> all;
        for (std::size_t k = 0; k < kSheetCount; ++k) all.push_back(plan_of(tool, k));
        return all;
    }();
    return made;
}

}  // namespace

const std::vector<RowCell>& row_plan(Tool tool, std::size_t sheet) {
    return tool == Tool::kBatch ? plans<Tool::kBatch>().at(sheet) : plans<Tool::kConsole>().at(sheet);
}

RowXfs row_xfs(Tool tool, xls::Workbook& book) {
    xls::Styles& styles = book.styles();
    RowXfs xfs{};
    auto at = [&](RowStyle style) -> std::uint16_t& { return xfs[static_cast<std::size_t>(style)]; };
    if (tool == Tool::kBatch) {
        RowStyles made = batch_row_styles(styles);
        at(RowStyle::kPlain) = styles.add(made.plain);
        at(RowStyle::kRed) = at(RowStyle::kDate) = styles.add(made.red);
    } else {
        RowStyles made = console_row_styles(styles);
        at(RowStyle::kPlain) = styles.add(made.plain);
        at(RowStyle::kRed) = styles.add(made.red);
        at(RowStyle::kDate) = styles.add(made.date);
    }
    at(RowStyle::kDefault) = styles.default_cell_xf();
    return xfs;
}

std::size_t field_of(const RowCell& cell, std::size_t value_columns) {
    switch (cell.field) {
    case RowField::kValue:
        return cell.column - 1;
    case RowField::kName:
        return value_columns;
    case RowField::kIssueNote:
        return value_columns + 1;
    case RowField::kDate:
        return value_columns + 2;
    case RowField::kEmpty:
        break;
    }
    return value_columns + 3;
}

std::vector<xls::PlannedCell> planned_cells(Tool tool, std::size_t sheet, const RowXfs& xfs) {
    std::size_t value_columns = layout_of(kLightSources.at(sheet)).value_columns;
    std::vector<xls::PlannedCell> cells;
    for (const RowCell& cell : row_plan(tool, sheet)) {
        cells.push_back({static_cast<std::int64_t>(cell.column), field_of(cell, value_columns),
                         xfs[static_cast<std::size_t>(cell.style)]});
    }
    return cells;
}

}  // namespace awb
