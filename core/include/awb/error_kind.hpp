// What an error from the interpreter is, as the tools' rules read it: its type's name and
// message, the interpreter's classes it belongs to (a class counts for its bases too: a
// FileNotFoundError is an OSError, a UnicodeDecodeError a UnicodeError and a ValueError), and
// the causes the core notes on an error of its own. Plain C++, no interpreter objects.
#pragma once

#include <string>

namespace awb {

struct ErrorKind {
    bool value_error = false;
    bool unicode_error = false;
    bool unicode_decode_error = false;
    bool overflow_error = false;
    bool index_error = false;
    bool os_error = false;
    bool file_not_found = false;
    bool permission_error = false;
    bool too_few_sheets = false;  // a workbook read with fewer than seven sheets (see too_few_sheets_note)
    int error_number = 0;         // an OSError's errno
    std::string type;
    std::string message;
};

}  // namespace awb
