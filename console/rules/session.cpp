#include "session.hpp"

#include <algorithm>

#include "result_names.hpp"

namespace awb::console {

Command command_of(uview line) {
    if (line == U"-q" || line == U"q") return Command::kQuit;
    if (line == U"-r" || line == U"r") return Command::kClear;
    return Command::kShow;
}

const char* prompt_after(Command command) {
    return command == Command::kClear ? "请输入参数: " : "输入参数: ";
}

std::vector<ustring> show_lines(uview awb_text, uview picture, uview workbook) {
    return {U"数据照片:" + picture_label(awb_text, picture),
            U"回写路径:" + replace_all(workbook, U"\\", U"/")};
}

ResultsPattern split_results_pattern(uview pattern) {
    constexpr std::ptrdiff_t kFiles = 5;  // "*.txt"
    auto size = static_cast<std::ptrdiff_t>(pattern.size());
    std::ptrdiff_t cut = size - kFiles;
    // A negative start counts from the end, as a slice's does, and stops at the text's start.
    std::ptrdiff_t start = cut >= 0 ? cut : std::max<std::ptrdiff_t>(size + cut, 0);
    return {ustring(head(pattern, cut)), ustring(pattern.substr(static_cast<std::size_t>(start)))};
}

std::optional<ustring> listed_result_name(uview path) {
    std::size_t first = path.find(U'\\');
    if (first == uview::npos) return std::nullopt;
    return ustring(before_first(path.substr(first + 1), U"\\"));
}

}  // namespace awb::console
