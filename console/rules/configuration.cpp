#include "configuration.hpp"

namespace awb::console {

std::optional<ustring> config_value(uview line) {
    std::size_t first = line.find(U'=');
    if (first == uview::npos) return std::nullopt;
    return ustring(before_first(line.substr(first + 1), U"="));
}

std::optional<ustring> configured_folder(uview line) { return config_value(remove_chars(line, U"\r\n")); }

ustring folder_missing(uview folder) {
    return ustring(folder) + U" 文件夹不存在! 请在Config.ini配置文件中填写正确的Path路径和用户名后再重试！";
}

UserFiles user_files(uview home, uview sep) {
    ustring at_home(home);
    return {at_home + U"rawfilename.txt", at_home + U"log.txt",
            at_home + U"Desktop" + ustring(sep) + U"Corvane.xls", at_home + U"log.old.txt"};
}

ustring results_root(uview raw_folder) {
    return replace_all(ustring(raw_folder) + U"\\Results", U"\\", U"/") + U"/";
}

}  // namespace awb::console
