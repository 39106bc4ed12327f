#include "workbook_reading.hpp"

#include <algorithm>

#include "awb/biff.hpp"
#include "awb/sheets.hpp"
#include "errors.hpp"
#include "file_safety.hpp"
#include "strings.hpp"
#include "text_files.hpp"
#include "workbook_copy.hpp"

namespace awb::py_ {
namespace {

bool row_holds_value(py::handle row_types) {
    for (py::handle type : row_types) {
        if (holds_value(type.cast<int>())) return true;
    }
    return false;
}

// A name as the index of a sheet's texts takes it: only a text can equal a text.
std::optional<ustring> text_in(py::handle name) {
    if (!PyUnicode_CheckExact(name.ptr())) return std::nullopt;
    return to_ustring(name);
}

// Column 0 of a sheet read with formatting, counted the way a plain read counts rows: blank
// cells that only carry a format do not make a row.
SheetRows rows_of(py::handle sheet) {
    auto count = sheet.attr("nrows").cast<std::size_t>();
    while (count > 0 && !row_holds_value(sheet.attr("row_types")(count - 1))) --count;
    SheetRows rows;
    rows.names.reserve(count);
    if (count > 0) {
        for (py::handle name : sheet.attr("col_values")(0, 0, count)) {
            rows.names.push_back(py::reinterpret_borrow<py::object>(name));
        }
    }
    return rows;
}

// Each light source's sheet (awb::choose_sheets).
std::array<std::size_t, kSheetCount> seven_sheets(py::handle path, const py::object& readable) {
    std::vector<ustring> names;
    for (py::handle name : readable.attr("sheet_names")()) names.push_back(to_ustring(name));
    SheetChoice choice = choose_sheets(names);
    switch (choice.kind) {
    case SheetChoice::Kind::kFound:
        return choice.positions;
    case SheetChoice::Kind::kTooFew:
        // An IndexError, as callers have long caught it; its note names the cause.
        raise_noted(PyExc_IndexError, "list index out of range", too_few_sheets_note(text_of(path)));
    case SheetChoice::Kind::kMissing:
        break;
    }
    raise_noted(PyExc_ValueError, missing_sheets_message(choice), missing_sheets_note(text_of(path), choice));
}

// What the workbook stream of a file's bytes holds that a save cannot carry over.
WorkbookExtras extras_of(const py::object& data) {
    py::module_ compdoc = py::module_::import("xlrd.compdoc");
    py::object stream = data;
    std::size_t base = 0;
    std::size_t size = py::len(data);
    if (py::object(data[py::slice(0, 8, 1)]).equal(compdoc.attr("SIGNATURE"))) {
        py::object document =
            compdoc.attr("CompDoc")(data, py::arg("logfile") = py::module_::import("io").attr("StringIO")());
        for (const char* name : {"Workbook", "Book"}) {
            py::tuple located = document.attr("locate_named_stream")(name);
            if (!located[0].is_none() && py::len(located[0]) != 0) {
                stream = located[0];
                base = located[1].cast<std::size_t>();
                size = located[2].cast<std::size_t>();
                break;
            }
        }
    }
    py::buffer_info bytes = py::buffer(stream).request();
    auto total = static_cast<std::size_t>(bytes.size * bytes.itemsize);
    if (base > total) return {};
    return scan_workbook_stream(static_cast<const std::uint8_t*>(bytes.ptr) + base,
                                std::min(size, total - base));
}

}  // namespace

Book read_book(const Namespace& ns, py::handle path) {
    py::object data = read_bytes(ns, path);
    py::object xlrd = ns.get(globals::xlrd);
    // xlrd tells what it finds odd in a file (its size, say) on the console; a workbook it
    // reads is read all the same, and the engineer is told only what matters to the tools.
    py::object quiet = py::module_::import("io").attr("StringIO")();
    py::object readable =
        py::len(data) != 0
            ? xlrd.attr("open_workbook")(py::arg("file_contents") = data, py::arg("logfile") = quiet,
                                         py::arg("formatting_info") = true)
            : xlrd.attr("open_workbook")(path, py::arg("logfile") = quiet,
                                         py::arg("formatting_info") = true);  // says it is empty
    Book book;
    book.positions = seven_sheets(path, readable);
    py::list sheets = readable.attr("sheets")();
    for (std::size_t position : book.positions) book.sheets.push_back(rows_of(sheets[position]));
    book.model = model_of(readable);
    keep_extras_aside(ns, path, data, extras_of(data));
    return book;
}

SheetRows& Book::sheet(std::size_t light_source) {
    if (light_source >= sheets.size()) raise(PyExc_IndexError, "list index out of range");
    return sheets[light_source];
}

std::size_t Book::pictures() const {
    return sheets.empty() || sheets[0].count() == 0 ? 0 : sheets[0].count() - 1;
}

RowFields Book::picture_fields(std::size_t light_source, const RecordValues& values, py::handle name,
                               py::handle issues, py::handle date) const {
    RowFields fields(*model);
    std::size_t value_columns = layout_of(kLightSources.at(light_source)).value_columns;
    for (std::size_t slot = 0; slot < value_columns; ++slot) fields.add(values.slots.at(slot));
    for (py::handle after : {name, issues, date}) fields.add(after);
    fields.add(py::str(""));
    return fields;
}

void Book::write_picture_row(Tool tool, std::size_t light_source, std::size_t row, const RowFields& fields,
                             py::handle name) {
    if (!plans_) {
        RowXfs xfs = row_xfs(tool, *model);
        plans_.emplace();
        for (std::size_t k = 0; k < kSheetCount; ++k) (*plans_)[k] = planned_cells(tool, k, xfs);
    }
    try {
        sheet_writer(light_source)
            .write_row(static_cast<std::int64_t>(row), plans_->at(light_source), fields.fields());
    } catch (const xls::Refusal& refusal) {
        raise(PyExc_ValueError, refusal.what());
    }
    sheet(light_source).set(row, name);
}

std::optional<std::size_t> SheetRows::find(py::handle name) {
    if (!PyUnicode_CheckExact(name.ptr())) {  // compared the long way, as the interpreter would
        for (std::size_t row = 1; row < names.size(); ++row) {
            if (names[row].equal(name)) return row;
        }
        return std::nullopt;
    }
    if (!first_rows_.built()) {
        std::vector<std::optional<ustring>> texts;
        texts.reserve(names.size());
        for (const py::object& held : names) texts.push_back(text_in(held));
        first_rows_.build(texts);
    }
    return first_rows_.find(to_ustring(name));
}

void SheetRows::set(std::size_t row, py::handle name) {
    if (row > names.size()) first_rows_.drop();  // rows left empty between: made again when needed
    if (row >= names.size()) names.resize(row + 1, py::str(""));
    py::object& held = names[row];
    if (first_rows_.built()) first_rows_.set(row, text_in(held), text_in(name));
    held = py::reinterpret_borrow<py::object>(name);
}

}  // namespace awb::py_
