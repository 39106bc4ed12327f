// The value columns of the batch's tuning history, after the time, the picture, its dump and its
// issue note: named as the console names them, a tag of the whole picture once (as read for the
// first light source), a tag of one light source with its code, in sheet and then record-slot
// order; then the picture's final R, G and B gains. Plain C++, no interpreter objects.
#pragma once

#include <cstddef>
#include <vector>

#include "awb/text.hpp"

namespace awb::batch {

// A value column taken from the record: the sheet (light source) and the record slot it comes
// from, and its tag.
struct HistoryColumn {
    std::size_t sheet;
    std::size_t slot;
    ustring tag;
};
std::vector<HistoryColumn> history_record_columns();

// The tags of the three gain columns that end the row.
std::vector<ustring> history_gain_tags();

}  // namespace awb::batch
