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

// A show recorded in the workbook, as its history entry will hold it.
struct RecordedShow {
    py::object workbook;
    py::object picture;
    py::object result_path;
    py::object issues;
    py::dict values;  // by tag, as the debug text names them
};
RecordedShow recorded_show(const py_::Namespace& ns, const std::vector<SheetRecord>& sheets,
                           py::handle issues);

// Appends the recorded show to the workbook's history and, for a picture shown before, prints
// the line comparing it with its previous show. A history that cannot be opened or written is
// told in one line naming it (its trace goes to the error log); the show stands as the
// workbook has it. The history has its own locking: this is called once the workbook's lock is
// released, so that a history held by another program never keeps the workbook from others.
void remember_show(const py_::Namespace& ns, RecordedShow show);

// While a HeldShow lives, the console's command holds the workbook's lock around
// Create_Lumvik_DATA: the show that function records is kept here instead of written, and
// written by remember() once the command has released the lock. Create_Lumvik_DATA called on
// its own writes its history itself, after its own lock.
class HeldShow {
public:
    explicit HeldShow(const py_::Namespace& ns);
    ~HeldShow();  // a show not remembered (the command failed) is dropped
    void remember();
    HeldShow(const HeldShow&) = delete;
    HeldShow& operator=(const HeldShow&) = delete;

    // Create_Lumvik_DATA's way out: keeps `show` for the command holding the lock, or, when
    // none does, writes it now.
    static void remember_when_released(const py_::Namespace& ns, RecordedShow show);

private:
    const py_::Namespace& ns_;
};

}  // namespace awb::console
