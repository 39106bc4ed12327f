// The console's tuning history: every show appended to the history database beside the
// workbook (the package's `awb_desk.history` module does the database work), and the line that
// compares a picture shown before with its previous show.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "console.hpp"
#include "record.hpp"

namespace awb::console {

// What one sheet's row of a show gets: its row, the picture name as it stands then, and the
// record and gains built for the sheet's light source.
struct SheetRecord {
    std::size_t row;
    py::object name;
    py_::RecordValues record;
    std::array<std::int64_t, kGainSlots.size()> gains;
};

// Appends the recorded show to the workbook's history and, for a picture shown before, prints
// the line comparing it with its previous show. A history that cannot be opened or written is
// told in one line (its trace goes to the error log); the show stands as the workbook has it.
void remember_show(const py_::Namespace& ns, const std::vector<SheetRecord>& sheets, py::handle issues);

}  // namespace awb::console
