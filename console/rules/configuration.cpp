#include "configuration.hpp"

namespace awb::console {

std::optional<ustring> config_value(uview line) {
    std::size_t first = line.find(U'=');
    if (first == uview::npos) return std::nullopt;
    return ustring(before_first(line.substr(first + 1), U"="));
}

ustring results_root(uview raw_folder) {
    return replace_all(ustring(raw_folder) + U"\\Results", U"\\", U"/") + U"/";
}

}  // namespace awb::console
