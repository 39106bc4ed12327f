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
            sheet.write(prewritten->row, 0, xls::CellValue::of(prewritten->name), styles.default_cell_xf());
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

}  // namespace awb
