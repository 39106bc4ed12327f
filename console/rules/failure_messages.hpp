// A console command that fails is told on one line starting "操作失败:", in the engineer's terms:
// what the show or the clear was doing, and what the error was. The binding gathers the facts
// (it classifies the interpreter's exception and reads the module's names); the words are chosen
// here. Plain C++, no interpreter objects.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "awb/error_kind.hpp"

namespace awb::console {

// What a show or a clear is doing at the moment.
enum class Step {
    kDiscovery,       // finding the newest result and opening its AWB text
    kSettle,          // waiting for a result the simulator is still writing
    kLockWorkbook,    // waiting for another program to finish writing the workbook
    kCreateWorkbook,  // making the missing workbook
    kIssueNote,       // reading the capture list
    kOpenWorkbook,    // reading the workbook and taking its seven sheets
    kReadTags,        // reading the picture's values from its AWB text
    kCheckValues,     // making sure the AWB text held any of the values read
    kWriteRow,        // writing the picture's rows
    kSaveWorkbook,    // saving the workbook
    kSummary,         // printing what was recorded
    kClear,           // deleting the simulator's result files
};

// The results folder when it holds no result text: its path, whether it exists at all, and how
// many results the last clear left behind (they do not count).
struct EmptyResults {
    std::string folder;
    bool exists;
    std::size_t left_by_clear = 0;
};

struct FailureFacts {
    Step step = Step::kDiscovery;
    ErrorKind error;
    bool lock_timeout = false;  // the workbook lock was held by another program too long
    std::string detail;         // "Type: message", or the type's name when the message is empty
    std::string workbook;       // the workbook's path
    std::string text;           // the AWB text's path
    std::string capture_list;   // the capture list's path
    std::string picture;        // the picture of the show
    int wait_seconds = 0;       // how long a show waits for the workbook's lock
    // Asked only where the words need them (each may look at files or the error):
    std::function<std::optional<std::string>()> note;            // the error's first note
    std::function<std::optional<std::string>()> named_file;      // the file an OSError names
    std::function<std::optional<EmptyResults>()> empty_results;  // none when result texts exist
};

// The error of a show whose AWB text held none of the values read (`text`: the text's path).
std::string no_values(const std::string& text);

// A result the simulator is still writing: the line while the show waits for it, and the words
// when it gave up (`cut`: the text ends inside a tag's value with no colour statistics beside
// it, rather than still changing).
std::string waiting_for_result(const std::string& text, double most_seconds);
std::string still_being_written(const std::string& text, bool cut);

// The newest result's file name is no text in the system's encoding (`readable`: the name as
// awb::readable_name shows it).
std::string result_name_not_text(const std::string& readable);

// A clear that could not delete every result file: how many stayed, the first one and why.
std::string clear_left_files(std::size_t count, const std::string& first, const std::string& detail);

// The words after "操作失败: " for a failure.
std::string describe_failure(const FailureFacts& facts);

// The console's line of a failure: "操作失败: " and the words, line ends turned into blanks.
std::string failure_line(const std::string& words);

}  // namespace awb::console
