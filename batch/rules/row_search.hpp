// The batch row writer's decisions: which row a picture gets on each sheet, and its date cell.
// Plain C++, no interpreter objects.
#pragma once

#include <cstddef>
#include <optional>

#include "awb/text.hpp"

namespace awb::batch {

// One sheet as the row search sees it: its row count (the title row included) and the first
// picture row (from 1) whose column-0 value equals the picture's dump name, if any.
struct SheetMatch {
    std::size_t rows;
    std::optional<std::size_t> match;
};

// The row search, sheet after sheet in light-source order. A counter is shared by the search
// and the value columns and carries over from sheet to sheet; a name found on one sheet keeps
// its row for the later sheets that lack it; a picture found on no sheet so far goes below a
// sheet's last row; a sheet without any row (not even a title) gets the row after the previous
// sheet's last value column.
class BatchRowSearch {
public:
    // The row as known before the sheet's record is read.
    std::size_t search(const SheetMatch& sheet);
    // The sheet's record was read, and the sheet has `value_columns` value columns: its row
    // after all.
    std::size_t settle(std::size_t value_columns);

private:
    std::size_t counter_ = 0;
    bool is_add_ = true;
    std::size_t row_ = 0;
};

// The text of the date cell: the record's date slot as text, cleaned of line ends and blanks
// (the interpreter's int() makes it a number).
ustring clean_date_text(uview text);

}  // namespace awb::batch
