#include "workbook_copy.hpp"

#include "errors.hpp"
#include "strings.hpp"

namespace awb::py_ {
namespace {

int int_of(py::handle object, const char* name) { return object.attr(name).cast<int>(); }

// Fields filled from attributes of the same object, by name.
template <class Target>
struct Field {
    const char* name;
    int Target::*member;
};

template <class Target, std::size_t N>
void fill(Target& target, py::handle source, const Field<Target> (&fields)[N]) {
    for (const Field<Target>& field : fields) target.*field.member = int_of(source, field.name);
}

constexpr Field<xls::SheetView> kViewFields[] = {
    {"show_formulas", &xls::SheetView::show_formulas},
    {"show_grid_lines", &xls::SheetView::show_grid},
    {"show_sheet_headers", &xls::SheetView::show_headers},
    {"panes_are_frozen", &xls::SheetView::panes_frozen},
    {"show_zero_values", &xls::SheetView::show_zero_values},
    {"automatic_grid_line_colour", &xls::SheetView::auto_colour_grid},
    {"columns_from_right_to_left", &xls::SheetView::cols_right_to_left},
    {"show_outline_symbols", &xls::SheetView::show_outline},
    {"remove_splits_if_pane_freeze_is_removed", &xls::SheetView::remove_splits},
    {"sheet_selected", &xls::SheetView::selected},
    {"sheet_visible", &xls::SheetView::sheet_visible},
    {"show_in_page_break_preview", &xls::SheetView::page_preview},
    {"first_visible_rowx", &xls::SheetView::first_visible_row},
    {"first_visible_colx", &xls::SheetView::first_visible_col},
    {"gridline_colour_index", &xls::SheetView::grid_colour},
    {"cooked_page_break_preview_mag_factor", &xls::SheetView::preview_magn},
    {"cooked_normal_view_mag_factor", &xls::SheetView::normal_magn},
    {"default_row_height_mismatch", &xls::SheetView::row_default_height_mismatch},
    {"default_row_hidden", &xls::SheetView::row_default_hidden},
    {"default_additional_space_above", &xls::SheetView::row_default_space_above},
    {"default_additional_space_below", &xls::SheetView::row_default_space_below},
    {"visibility", &xls::SheetView::visibility},
};

constexpr Field<xls::RowFormat> kRowFields[] = {
    {"height", &xls::RowFormat::height},
    {"has_default_height", &xls::RowFormat::has_default_height},
    {"height_mismatch", &xls::RowFormat::height_mismatch},
    {"outline_level", &xls::RowFormat::level},
    {"outline_group_starts_ends", &xls::RowFormat::collapse},
    {"hidden", &xls::RowFormat::hidden},
    {"additional_space_above", &xls::RowFormat::space_above},
    {"additional_space_below", &xls::RowFormat::space_below},
};

constexpr Field<xls::ReadFont> kFontFields[] = {
    {"height", &xls::ReadFont::height},
    {"italic", &xls::ReadFont::italic},
    {"struck_out", &xls::ReadFont::struck_out},
    {"outline", &xls::ReadFont::outline},
    {"colour_index", &xls::ReadFont::colour_index},
    {"bold", &xls::ReadFont::bold},
    {"weight", &xls::ReadFont::weight},
    {"escapement", &xls::ReadFont::escapement},
    {"underline_type", &xls::ReadFont::underline_type},
    {"family", &xls::ReadFont::family},
    {"character_set", &xls::ReadFont::character_set},
};

constexpr Field<xls::Alignment> kAlignmentFields[] = {
    {"hor_align", &xls::Alignment::horz},      {"vert_align", &xls::Alignment::vert},
    {"text_direction", &xls::Alignment::dire}, {"rotation", &xls::Alignment::rota},
    {"text_wrapped", &xls::Alignment::wrap},   {"shrink_to_fit", &xls::Alignment::shri},
    {"indent_level", &xls::Alignment::inde},
};

constexpr Field<xls::Borders> kBorderFields[] = {
    {"left_line_style", &xls::Borders::left},
    {"right_line_style", &xls::Borders::right},
    {"top_line_style", &xls::Borders::top},
    {"bottom_line_style", &xls::Borders::bottom},
    {"diag_line_style", &xls::Borders::diag},
    {"left_colour_index", &xls::Borders::left_colour},
    {"right_colour_index", &xls::Borders::right_colour},
    {"top_colour_index", &xls::Borders::top_colour},
    {"bottom_colour_index", &xls::Borders::bottom_colour},
    {"diag_colour_index", &xls::Borders::diag_colour},
    {"diag_down", &xls::Borders::need_diag1},
    {"diag_up", &xls::Borders::need_diag2},
};

constexpr Field<xls::Pattern> kPatternFields[] = {
    {"fill_pattern", &xls::Pattern::pattern},
    {"pattern_colour_index", &xls::Pattern::fore_colour},
    {"background_colour_index", &xls::Pattern::back_colour},
};

constexpr Field<xls::Protection> kProtectionFields[] = {
    {"cell_locked", &xls::Protection::cell_locked},
    {"formula_hidden", &xls::Protection::formula_hidden},
};

xls::ReadXf xf_of(py::handle xf, const py::dict& formats) {
    xls::ReadXf read;
    read.font_index = xf.attr("font_index").cast<std::size_t>();
    read.format = to_ustring(formats[xf.attr("format_key")].attr("format_str"));
    fill(read.alignment, xf.attr("alignment"), kAlignmentFields);
    fill(read.borders, xf.attr("border"), kBorderFields);
    fill(read.pattern, xf.attr("background"), kPatternFields);
    fill(read.protection, xf.attr("protection"), kProtectionFields);
    return read;
}

// One row's cells from xlrd's row lists: types and XF indexes as arrays, values as a list.
std::vector<xls::ReadCell> cells_of(py::handle types, py::handle values, py::handle xfs) {
    py::buffer_info type_buffer = py::reinterpret_borrow<py::buffer>(types).request();
    py::buffer_info xf_buffer = py::reinterpret_borrow<py::buffer>(xfs).request();
    auto count = static_cast<std::size_t>(type_buffer.size);
    if (type_buffer.itemsize != 1 || xf_buffer.itemsize != 2 ||
        static_cast<std::size_t>(xf_buffer.size) < count || !PyList_Check(values.ptr()) ||
        static_cast<std::size_t>(PyList_GET_SIZE(values.ptr())) < count) {
        raise(PyExc_TypeError, "unexpected row data of the read workbook");
    }
    const auto* type = static_cast<const std::uint8_t*>(type_buffer.ptr);
    const auto* xf = static_cast<const std::int16_t*>(xf_buffer.ptr);
    std::vector<xls::ReadCell> cells(count);
    for (std::size_t c = 0; c < count; ++c) {
        xls::ReadCell& cell = cells[c];
        cell.type = static_cast<xls::ReadType>(type[c]);
        cell.xf_index = xf[c];
        PyObject* value = PyList_GET_ITEM(values.ptr(), static_cast<Py_ssize_t>(c));
        if (cell.type == xls::kText) {
            cell.text = to_ustring(value);
        } else if (cell.type != xls::kEmpty && cell.type != xls::kBlankCell) {
            cell.number = py::handle(value).cast<double>();
        }
    }
    return cells;
}

xls::ReadSheet sheet_of(py::handle sheet) {
    xls::ReadSheet read;
    read.name = to_ustring(sheet.attr("name"));
    fill(read.view, sheet, kViewFields);
    py::object default_height = sheet.attr("default_row_height");
    if (!default_height.is_none()) read.view.row_default_height = default_height.cast<int>();
    if (sheet.attr("has_pane_record").cast<bool>()) {
        read.view.split_position_units_are_twips = true;
        read.view.active_pane = int_of(sheet, "split_active_pane");
        read.view.horz_split_pos = int_of(sheet, "horz_split_pos");
        read.view.horz_split_first_visible = int_of(sheet, "horz_split_first_visible");
        read.view.vert_split_pos = int_of(sheet, "vert_split_pos");
        read.view.vert_split_first_visible = int_of(sheet, "vert_split_first_visible");
    }
    for (py::handle range : sheet.attr("merged_cells")) {
        std::array<int, 4>& bounds = read.merged.emplace_back();
        for (std::size_t i = 0; i < bounds.size(); ++i) bounds[i] = range[py::int_(i)].cast<int>();
    }
    for (auto [index, info] : py::reinterpret_borrow<py::dict>(sheet.attr("colinfo_map"))) {
        read.columns[index.cast<int>()] = {int_of(info, "width"), int_of(info, "xf_index"),
                                           int_of(info, "hidden"), int_of(info, "outline_level")};
    }
    for (auto [index, info] : py::reinterpret_borrow<py::dict>(sheet.attr("rowinfo_map"))) {
        xls::ReadRowInfo& row = read.rows[index.cast<int>()];
        fill(row.format, info, kRowFields);
        row.has_default_xf_index = int_of(info, "has_default_xf_index");
        row.xf_index = int_of(info, "xf_index");
    }
    // xlrd keeps each row's types, values and XF indexes in lists of its own (the XF indexes
    // have no public accessor by row).
    py::list types = sheet.attr("_cell_types");
    py::list values = sheet.attr("_cell_values");
    py::list xfs = sheet.attr("_cell_xf_indexes");
    auto rows = sheet.attr("nrows").cast<std::size_t>();
    read.cells.reserve(rows);
    for (std::size_t r = 0; r < rows; ++r) read.cells.push_back(cells_of(types[r], values[r], xfs[r]));
    return read;
}

}  // namespace

xls::ReadBook read_book_of(py::handle book) {
    if (!book.attr("formatting_info").cast<bool>()) {
        raise(PyExc_ValueError, "the workbook must be read with formatting_info=True");
    }
    xls::ReadBook read;
    read.datemode = int_of(book, "datemode");
    for (py::handle font : book.attr("font_list")) {
        xls::ReadFont& f = read.fonts.emplace_back();
        fill(f, font, kFontFields);
        f.name = to_ustring(font.attr("name"));
    }
    py::dict formats = book.attr("format_map");
    for (py::handle xf : book.attr("xf_list")) read.xfs.push_back(xf_of(xf, formats));
    for (py::handle sheet : book.attr("sheets")()) read.sheets.push_back(sheet_of(sheet));
    return read;
}

std::unique_ptr<xls::Workbook> model_of(py::handle book) {
    xls::ReadBook read = read_book_of(book);
    try {
        return xls::copy_of(read);
    } catch (const xls::Refusal& refusal) {
        raise(PyExc_ValueError, refusal.what());
    }
}

}  // namespace awb::py_
