#include "row_search.hpp"

namespace awb::batch {

std::size_t BatchRowSearch::search(const SheetMatch& sheet) {
    if (sheet.match) {
        counter_ = *sheet.match;
        row_ = *sheet.match;
        is_add_ = false;
    } else if (sheet.rows > 1) {
        counter_ = sheet.rows - 1;
    }
    if (is_add_) row_ = sheet.rows;
    return row_;
}

std::size_t BatchRowSearch::settle(std::size_t value_columns) {
    if (row_ == 0) row_ = counter_ + 1;
    counter_ = value_columns;
    return row_;
}

ustring clean_date_text(uview text) { return remove_chars(text, U"\r\n "); }

}  // namespace awb::batch
