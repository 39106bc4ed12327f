// Reading the analysis workbook once into memory for the row writers: its writable copy and
// what its seven sheets hold.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "awb/sheets.hpp"
#include "awb/tables.hpp"
#include "namespace.hpp"

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

// A workbook held in memory while it is edited: its writable copy and what its seven sheets
// hold. The sheets are found by their names T, WF, F, CWF, D, DF, S wherever they stand among
// the user's own; only a workbook with none of those names is taken by position (0 to 6).
struct Book {
    py::object writable;
    std::vector<SheetRows> sheets;                     // in light-source order
    std::array<std::size_t, kSheetCount> positions{};  // each light source's sheet in the workbook
    py::dict styles;                                   // the writers' cell styles, made once per workbook
    // During a run, the rows of the seven sheets below these were handed to the workbook's
    // writer for good at a save (flush_rows): they cannot be written again in this copy.
    std::array<std::size_t, kSheetCount> flushed_below{};

    SheetRows& sheet(std::size_t light_source);
    py::object sheet_writer(std::size_t light_source) const;  // the writable copy's sheet
    void note_row(std::size_t light_source, std::size_t row, py::handle name);
    std::size_t pictures() const;  // picture rows of the first sheet
    // At a run's checkpoint the seven sheets' rows are handed to the writer for good, kept as
    // the records it made of them (its flush_row_data): each save makes records of the rows
    // added since only. A sheet whose flush fails keeps its rows (what the flush wrote is taken
    // back); an error in taking it back goes on up.
    void flush_rows();
    bool row_flushed(std::size_t light_source, std::size_t row) const {
        return row < flushed_below.at(light_source);
    }
};

// Reads the workbook at `path` with its formatting. One that holds what a save cannot carry
// over is first kept aside (see keep_extras_aside). A workbook with some of the seven sheets but
// not all raises ValueError noted with the missing ones; one with fewer than seven sheets and
// none of the names, IndexError noted so (awb::too_few_sheets_note).
Book read_book(const Namespace& ns, py::handle path);

}  // namespace awb::py_
