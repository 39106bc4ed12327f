// Reading the analysis workbook once into memory for the row writers: the writer's model of it
// and what its seven sheets hold.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "awb/analysis_workbook.hpp"
#include "awb/sheets.hpp"
#include "awb/tables.hpp"
#include "cell_values.hpp"
#include "namespace.hpp"
#include "record.hpp"

namespace awb::py_ {

// Column 0 of one sheet, row by row, as a reader of the file sees it, and the sheet's row
// count (rows up to the last one holding a value).
struct SheetRows {
    std::vector<py::object> names;
    std::size_t count() const { return names.size(); }

    // The first picture row (from 1) whose name equals `name`, as the interpreter's == tells.
    // A text is found through an index of the sheet's texts (awb::FirstRows), made at the first
    // search and kept up to date by set().
    std::optional<std::size_t> find(py::handle name);
    void set(std::size_t row, py::handle name);  // row `row` is named `name` now

private:
    FirstRows first_rows_;
};

// A workbook held in memory while it is edited: the writer's model of it (what a save writes)
// and what its seven sheets hold. The sheets are found by their names T, WF, F, CWF, D, DF, S
// wherever they stand among the user's own; only a workbook with none of those names is taken by
// position (0 to 6).
struct Book {
    std::unique_ptr<xls::Workbook> model;
    std::vector<SheetRows> sheets;                     // in light-source order
    std::array<std::size_t, kSheetCount> positions{};  // each light source's sheet in the workbook

    SheetRows& sheet(std::size_t light_source);
    xls::Sheet& sheet_writer(std::size_t light_source) { return model->sheet(positions.at(light_source)); }
    std::size_t pictures() const;  // picture rows of the first sheet
    // A picture's row on a sheet as the writer takes it (awb::field_of): the record's values of
    // the sheet's layout, the name, the issue note, the date and an empty text. Converting them
    // is what may fail; writing them then cannot, but for the refusals checked before.
    RowFields picture_fields(std::size_t light_source, const RecordValues& values, py::handle name,
                             py::handle issues, py::handle date) const;
    // Writes a picture's row on a sheet by the tool's row plan (awb::row_plan).
    void write_picture_row(Tool tool, std::size_t light_source, std::size_t row, const RowFields& fields,
                           py::handle name);

private:
    // The tool's row plans in this workbook, with its row styles made at the first row written.
    std::optional<std::array<std::vector<xls::PlannedCell>, kSheetCount>> plans_;
};

// Reads the workbook at `path` with its formatting into the writer's model, as xlutils' copy
// made it writable. One that holds what a save cannot carry over is first kept aside (see
// keep_extras_aside). A workbook with some of the seven sheets but
// not all raises ValueError noted with the missing ones; one with fewer than seven sheets and
// none of the names, IndexError noted so (awb::too_few_sheets_note).
Book read_book(const Namespace& ns, py::handle path);

}  // namespace awb::py_
