// What a failure of the batch's day's workbook or capture list means to the engineer: the note
// put on the error, which the tavrin command shows as its one line. Plain C++, no interpreter
// objects.
#pragma once

#include <optional>
#include <string>

namespace awb::batch {

// The error that stopped the day's workbook: its type's name and message, and the interpreter's
// classes it belongs to.
struct WorkbookFailure {
    std::string type;
    std::string message;
    bool permission_error = false;
    bool index_error = false;
    bool os_error = false;
};
std::optional<std::string> workbook_failure_note(const std::string& workbook, const WorkbookFailure& failure);

// The capture list could not be read: a text that cannot be decoded (`encoding` is the one tried),
// or another OSError.
std::string undecodable_capture_list_note(const std::string& list, const std::string& encoding);
std::string unreadable_capture_list_note(const std::string& list, const std::string& message);

}  // namespace awb::batch
