// What a failure of the batch's day's workbook or capture list means to the engineer: the note
// put on the error, which the tavrin command shows as its one line; and the error of a picture
// whose dump holds no value. Plain C++, no interpreter objects.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "awb/error_kind.hpp"

namespace awb::batch {

// The note on the error that stopped the day's workbook (awb::ErrorKind: its type's name and
// message, the interpreter's classes it belongs to, and the cause the core noted), if the batch
// has words of its own for it.
std::optional<std::string> workbook_failure_note(const std::string& workbook, const ErrorKind& failure);

// The capture list could not be read: a text that cannot be decoded (in any of the encodings
// `tried`), or another OSError.
std::string undecodable_capture_list_note(const std::string& list, const std::vector<std::string>& tried);
std::string unreadable_capture_list_note(const std::string& list, const std::string& message);

// The capture list does not exist, or holds no picture line (the workbook is left as it is):
// the note, and the error's own message for the latter.
std::string missing_capture_list_note(const std::string& list);
std::string no_picture_lines_note(const std::string& list);
std::string no_picture_lines_message(const std::string& list);

// A picture's dump holds none of the record's tags: the error that passes the picture over.
std::string no_debug_data_message(const std::string& dump);

}  // namespace awb::batch
