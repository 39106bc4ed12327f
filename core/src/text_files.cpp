#include "awb/text_files.hpp"

namespace awb {

std::string_view encoding_of_mark(std::string_view head) {
    auto starts_with = [&](std::string_view mark) { return head.substr(0, mark.size()) == mark; };
    if (starts_with("\xEF\xBB\xBF")) return "utf-8-sig";
    if (starts_with("\xFF\xFE") || starts_with("\xFE\xFF")) return "utf-16";
    return {};
}

std::string undecodable_text(const std::string& path, const std::string& encoding) {
    return path + " 不是 " + encoding + " 编码的文本";
}

std::string undecodable_dump_note(const std::string& path, const std::string& encoding,
                                  const std::string& why) {
    return undecodable_text(path, encoding) + ", 无法解码 (" + why + ")";
}

ustring missing_dump_line(uview path) { return U"exif文件不存在： " + echo(path); }

}  // namespace awb
