#include "awb/text_files.hpp"

namespace awb {

std::string_view encoding_of_mark(std::string_view head) {
    auto starts_with = [&](std::string_view mark) { return head.substr(0, mark.size()) == mark; };
    if (starts_with("\xEF\xBB\xBF")) return "utf-8-sig";
    if (starts_with("\xFF\xFE") || starts_with("\xFE\xFF")) return "utf-16";
    return {};
}

std::vector<std::string> text_encodings(std::string_view head, const std::string& system) {
    std::string_view marked = encoding_of_mark(head);
    if (!marked.empty()) return {std::string(marked)};
    std::vector<std::string> tried{"utf-8"};
    if (!system.empty() && system != tried.front()) tried.push_back(system);
    return tried;
}

std::string undecodable_text(const std::string& path, const std::vector<std::string>& tried) {
    std::string encodings;
    for (const std::string& encoding : tried) encodings += (encodings.empty() ? "" : " 或 ") + encoding;
    return path + " 不是 " + encodings + " 编码的文本";
}

ustring missing_dump_line(uview path) { return U"exif文件不存在： " + echo(path); }

}  // namespace awb
