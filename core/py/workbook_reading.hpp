// Reading the analysis workbook once into memory for the row writers: its writable copy and
// what its seven sheets hold.
#pragma once

#include <array>
#include <vector>

#include "awb/tables.hpp"
#include "namespace.hpp"

namespace awb::py_ {

// Column 0 of one sheet, row by row, as a reader of the file sees it, and the sheet's row
// count (rows up to the last one holding a value).
struct SheetRows {
    std::vector<py::object> names;
    std::size_t count() const { return names.size(); }
};

// A workbook held in memory while it is edited: its writable copy and what its seven sheets
// hold. The sheets are found by their names T, WF, F, CWF, D, DF, S wherever they stand among
// the user's own; only a workbook with none of those names is taken by position (0 to 6).
struct Book {
    py::object writable;
    std::vector<SheetRows> sheets;                     // in light-source order
    std::array<std::size_t, kSheetCount> positions{};  // each light source's sheet in the workbook
    py::dict styles;                                   // the writers' cell styles, made once per workbook

    SheetRows& sheet(std::size_t light_source);
    py::object sheet_writer(std::size_t light_source) const;  // the writable copy's sheet
    void note_row(std::size_t light_source, std::size_t row, py::handle name);
    std::size_t pictures() const;  // picture rows of the first sheet
};

// Reads the workbook at `path` with its formatting. One that holds what a save cannot carry
// over is first kept aside (see keep_extras_aside). A workbook with some of the seven sheets but
// not all raises ValueError noted with the missing ones; one with fewer than seven sheets and
// none of the names, IndexError.
Book read_book(const Namespace& ns, py::handle path);

}  // namespace awb::py_
