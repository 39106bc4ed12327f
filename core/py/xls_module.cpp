// awb_desk._xls: the core's workbook writer driven from Python, for the checks against xlwt and
// the benchmark: a workbook model, its styles, cells and saves, and the model of a workbook read
// by xlrd. Thin: every rule is the core's.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "awb/analysis_workbook.hpp"
#include "awb/xls_workbook.hpp"
#include "cell_values.hpp"
#include "strings.hpp"
#include "workbook_copy.hpp"

namespace py = pybind11;
using namespace awb;

namespace {

// Attributes of a plain struct set from keyword arguments, each by its name.
template <class Target>
using Members = std::vector<std::pair<const char*, int Target::*>>;

template <class Target>
void set_from(Target& target, const py::kwargs& values, const Members<Target>& members) {
    for (auto [key, value] : values) {
        std::string name = py::cast<std::string>(key);
        bool known = false;
        for (auto [member_name, member] : members) {
            if (name == member_name) {
                target.*member = py::cast<int>(value);
                known = true;
            }
        }
        if (!known) throw py::type_error("unknown attribute " + name);
    }
}

const Members<xls::Font> kFont{{"height", &xls::Font::height},
                               {"italic", &xls::Font::italic},
                               {"struck_out", &xls::Font::struck_out},
                               {"outline", &xls::Font::outline},
                               {"shadow", &xls::Font::shadow},
                               {"colour_index", &xls::Font::colour_index},
                               {"bold", &xls::Font::bold},
                               {"weight", &xls::Font::weight},
                               {"escapement", &xls::Font::escapement},
                               {"underline", &xls::Font::underline},
                               {"family", &xls::Font::family},
                               {"charset", &xls::Font::charset}};
const Members<xls::Alignment> kAlignment{
    {"horz", &xls::Alignment::horz}, {"vert", &xls::Alignment::vert}, {"dire", &xls::Alignment::dire},
    {"orie", &xls::Alignment::orie}, {"rota", &xls::Alignment::rota}, {"wrap", &xls::Alignment::wrap},
    {"shri", &xls::Alignment::shri}, {"inde", &xls::Alignment::inde}, {"merg", &xls::Alignment::merg}};
const Members<xls::Borders> kBorders{
    {"left", &xls::Borders::left},
    {"right", &xls::Borders::right},
    {"top", &xls::Borders::top},
    {"bottom", &xls::Borders::bottom},
    {"diag", &xls::Borders::diag},
    {"left_colour", &xls::Borders::left_colour},
    {"right_colour", &xls::Borders::right_colour},
    {"top_colour", &xls::Borders::top_colour},
    {"bottom_colour", &xls::Borders::bottom_colour},
    {"diag_colour", &xls::Borders::diag_colour},
    {"need_diag1", &xls::Borders::need_diag1},
    {"need_diag2", &xls::Borders::need_diag2},
};
const Members<xls::Pattern> kPattern{{"pattern", &xls::Pattern::pattern},
                                     {"pattern_fore_colour", &xls::Pattern::fore_colour},
                                     {"pattern_back_colour", &xls::Pattern::back_colour}};
const Members<xls::Protection> kProtection{{"cell_locked", &xls::Protection::cell_locked},
                                           {"formula_hidden", &xls::Protection::formula_hidden}};
const Members<xls::RowFormat> kRow{{"height", &xls::RowFormat::height},
                                   {"has_default_height", &xls::RowFormat::has_default_height},
                                   {"height_mismatch", &xls::RowFormat::height_mismatch},
                                   {"level", &xls::RowFormat::level},
                                   {"collapse", &xls::RowFormat::collapse},
                                   {"hidden", &xls::RowFormat::hidden},
                                   {"space_above", &xls::RowFormat::space_above},
                                   {"space_below", &xls::RowFormat::space_below}};
const Members<xls::Column> kColumn{
    {"width", &xls::Column::width},       {"hidden", &xls::Column::hidden},
    {"level", &xls::Column::level},       {"collapse", &xls::Column::collapse},
    {"user_set", &xls::Column::user_set}, {"best_fit", &xls::Column::best_fit}};
const Members<xls::SheetView> kView{{"visibility", &xls::SheetView::visibility},
                                    {"selected", &xls::SheetView::selected},
                                    {"sheet_visible", &xls::SheetView::sheet_visible},
                                    {"show_grid", &xls::SheetView::show_grid},
                                    {"normal_magn", &xls::SheetView::normal_magn},
                                    {"row_default_height", &xls::SheetView::row_default_height}};

template <class Part>
xls::Styles::Id part(xls::Workbook& book, const py::kwargs& values, const Members<Part>& members,
                     xls::Styles::Id (xls::Styles::*make)(const Part&)) {
    Part made;
    set_from(made, values, members);
    return (book.styles().*make)(made);
}

PyObject* fast(const py::object& sequence) {
    PyObject* items = PySequence_Fast(sequence.ptr(), "expected a sequence");
    if (!items) throw py::error_already_set();
    return items;
}

long index_of(PyObject* item) {
    long value = PyLong_AsLong(item);
    if (value == -1 && PyErr_Occurred()) throw py::error_already_set();
    return value;
}

// A sheet's row plan: for each cell in the order written, its column, the field it takes and its
// XF index.
struct RowPlan {
    std::size_t sheet;
    std::vector<xls::PlannedCell> cells;
    RowPlan(std::size_t sheet_index, const py::object& cols, const py::object& fields, const py::object& xfs)
        : sheet(sheet_index) {
        auto c = py::reinterpret_steal<py::object>(fast(cols));
        auto f = py::reinterpret_steal<py::object>(fast(fields));
        auto x = py::reinterpret_steal<py::object>(fast(xfs));
        Py_ssize_t n = PySequence_Fast_GET_SIZE(c.ptr());
        if (PySequence_Fast_GET_SIZE(f.ptr()) != n || PySequence_Fast_GET_SIZE(x.ptr()) != n) {
            throw py::value_error("columns, fields and styles differ in number");
        }
        for (Py_ssize_t i = 0; i < n; ++i) {
            cells.push_back({index_of(PySequence_Fast_GET_ITEM(c.ptr(), i)),
                             static_cast<std::size_t>(index_of(PySequence_Fast_GET_ITEM(f.ptr(), i))),
                             static_cast<std::uint16_t>(index_of(PySequence_Fast_GET_ITEM(x.ptr(), i)))});
        }
    }
};

}  // namespace

PYBIND11_MODULE(_xls, m) {
    m.doc() = "The core's workbook writer, driven from Python for its checks and benchmark.";
    py::register_exception<xls::Refusal>(m, "Refusal", PyExc_ValueError);

    py::class_<xls::Styles::Style>(m, "Style");
    py::class_<RowPlan>(m, "RowPlan")
        .def(py::init<std::size_t, const py::object&, const py::object&, const py::object&>(),
             py::arg("sheet"), py::arg("cols"), py::arg("fields"), py::arg("xfs"));

    py::class_<xls::Sheet>(m, "Sheet")
        .def_property_readonly("name", [](const xls::Sheet& s) { return py_::to_str(s.name()); })
        .def("write",
             [](xls::Sheet& s, std::int64_t r, std::int64_t c, py::handle value, std::uint16_t xf) {
                 s.write(r, c, py_::value_of(value, s.workbook().dates_1904 != 0), xf);
             })
        .def("set_blanks", &xls::Sheet::set_blanks)
        .def("write_merge",
             [](xls::Sheet& s, std::int64_t r1, std::int64_t r2, std::int64_t c1, std::int64_t c2,
                py::handle value, std::uint16_t xf) {
                 s.write_merge(r1, r2, c1, c2, py_::value_of(value, s.workbook().dates_1904 != 0), xf);
             })
        .def("row",
             [](xls::Sheet& s, std::int64_t r, py::kwargs values) {
                 xls::Row& row = s.row(r);
                 if (values.contains("xf")) {
                     s.set_row_xf(r, values["xf"].cast<std::uint16_t>());
                     PyDict_DelItemString(values.ptr(), "xf");
                 }
                 set_from(row.format, values, kRow);
             })
        .def("col",
             [](xls::Sheet& s, std::int64_t c, py::kwargs values) {
                 xls::Column& column = s.col(c);
                 if (values.contains("xf")) {
                     column.xf = values["xf"].cast<std::uint16_t>();
                     PyDict_DelItemString(values.ptr(), "xf");
                 }
                 if (values.contains("width")) {
                     s.set_col_width(c, values["width"].cast<std::int64_t>());
                     PyDict_DelItemString(values.ptr(), "width");
                 }
                 set_from(column, values, kColumn);
             })
        .def("view", [](xls::Sheet& s, py::kwargs values) { set_from(s.view, values, kView); });

    py::class_<xls::Workbook>(m, "Workbook")
        .def(py::init([](int merge) { return new xls::Workbook(static_cast<xls::Merge>(merge)); }),
             py::arg("merge") = 0)
        .def("add_sheet", &xls::Workbook::add_sheet, py::arg("name"), py::arg("overwrite_ok") = false,
             py::return_value_policy::reference_internal)
        .def("sheet", &xls::Workbook::sheet, py::return_value_policy::reference_internal)
        .def_property_readonly("sheet_count", &xls::Workbook::sheet_count)
        .def_property("active_sheet", &xls::Workbook::active_sheet, &xls::Workbook::set_active_sheet)
        .def_readwrite("dates_1904", &xls::Workbook::dates_1904)
        .def("font",
             [](xls::Workbook& b, py::kwargs values) {
                 xls::Font font;
                 if (values.contains("name")) {
                     font.name = py_::to_ustring(values["name"]);
                     PyDict_DelItemString(values.ptr(), "name");
                 }
                 set_from(font, values, kFont);
                 return b.styles().font(font);
             })
        .def("alignment",
             [](xls::Workbook& b, py::kwargs v) { return part(b, v, kAlignment, &xls::Styles::alignment); })
        .def("borders",
             [](xls::Workbook& b, py::kwargs v) { return part(b, v, kBorders, &xls::Styles::borders); })
        .def("pattern",
             [](xls::Workbook& b, py::kwargs v) { return part(b, v, kPattern, &xls::Styles::pattern); })
        .def("protection",
             [](xls::Workbook& b, py::kwargs v) { return part(b, v, kProtection, &xls::Styles::protection); })
        // The XF index of a style of these objects (fresh default ones for those not given).
        .def(
            "style",
            [](xls::Workbook& b, py::handle num_format, std::optional<xls::Styles::Id> font,
               std::optional<xls::Styles::Id> alignment, std::optional<xls::Styles::Id> borders,
               std::optional<xls::Styles::Id> pattern, std::optional<xls::Styles::Id> protection) {
                xls::Styles::Style style = b.styles().style();
                style.num_format = py_::to_ustring(num_format);
                style.font = font.value_or(style.font);
                style.alignment = alignment.value_or(style.alignment);
                style.borders = borders.value_or(style.borders);
                style.pattern = pattern.value_or(style.pattern);
                style.protection = protection.value_or(style.protection);
                return b.styles().add(style);
            },
            py::arg("num_format") = "General", py::arg("font") = py::none(),
            py::arg("alignment") = py::none(), py::arg("borders") = py::none(),
            py::arg("pattern") = py::none(), py::arg("protection") = py::none())
        .def("default_xf", [](xls::Workbook& b) { return b.styles().default_cell_xf(); })
        // Cells of one row in the order given: columns, values as write() takes them, XF indexes.
        .def("write_cells",
             [](xls::Workbook& b, std::size_t sheet, std::int64_t r, const py::object& cols,
                const py::object& values, const py::object& xfs) {
                 py_::RowFields row(b);
                 row.add_sequence(values);
                 std::vector<xls::Field> fields = row.fields();
                 py::list order;
                 for (std::size_t i = 0; i < fields.size(); ++i) order.append(i);
                 b.sheet(sheet).write_row(r, RowPlan(sheet, cols, order, xfs).cells, fields);
             })
        // Row `r` of each plan's sheet, its cells taking the fields given.
        .def("write_planned",
             [](xls::Workbook& b, const std::vector<const RowPlan*>& plans, std::int64_t r,
                const py::object& values) {
                 py_::RowFields row(b);
                 row.add_sequence(values);
                 std::vector<xls::Field> fields = row.fields();
                 for (const RowPlan* plan : plans) b.sheet(plan->sheet).write_row(r, plan->cells, fields);
             })
        // The XF index of one of the tools' row styles (given at its first use).
        .def("xf", [](xls::Workbook& b, const xls::Styles::Style& style) { return b.styles().add(style); })
        .def("row_styles",
             [](xls::Workbook& b, const std::string& tool) {
                 RowStyles styles =
                     tool == "batch" ? batch_row_styles(b.styles()) : console_row_styles(b.styles());
                 return py::make_tuple(styles.plain, styles.red, styles.date);
             })
        .def("stream", [](xls::Workbook& b) { return py::bytes(b.stream()); })
        .def("save", [](xls::Workbook& b) { return py::bytes(b.save()); })
        // The file written piece by piece to a binary stream (its write()).
        .def("save_to",
             [](xls::Workbook& b, const py::object& stream) {
                 py::object write = stream.attr("write");
                 b.save_to([&](std::string_view part) {
                     write(py::memoryview::from_memory(part.data(), static_cast<py::ssize_t>(part.size())));
                 });
             })
        .def("seal_rows", &xls::Workbook::seal_rows);

    // A new analysis workbook, with the batch's wide name column or the console's name written
    // ahead in a row.
    m.def(
        "create_analysis_workbook",
        [](bool widen, std::optional<std::int64_t> row, py::handle name) {
            std::optional<PrewrittenName> prewritten;
            if (row) prewritten = PrewrittenName{*row, xls::CellValue::of(py_::to_ustring(name))};
            return create_analysis_workbook(widen, prewritten).release();
        },
        py::arg("widen_name_column"), py::arg("prewrite_row") = py::none(), py::arg("name") = "",
        py::return_value_policy::take_ownership);

    // The writer's model of a workbook read by xlrd with formatting, as xlutils' copy makes it.
    m.def(
        "copy_of", [](py::handle book) { return awb::py_::model_of(book).release(); },
        py::return_value_policy::take_ownership);
}
