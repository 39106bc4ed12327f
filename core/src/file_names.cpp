#include "awb/file_names.hpp"

#include <cstdio>

namespace awb {
namespace {

bool is_surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

}  // namespace

char32_t ascii_upper(char32_t c) { return (c >= U'a' && c <= U'z') ? c - (U'a' - U'A') : c; }

ustring without_case(uview name, CaseMap upper) {
    ustring out(name);
    for (char32_t& c : out) c = upper(c);
    return out;
}

bool same_ignoring_case(uview name, uview other, CaseMap upper) {
    if (name.size() != other.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != other[i] && upper(name[i]) != upper(other[i])) return false;
    }
    return true;
}

std::optional<ustring> same_name_in(const std::vector<ustring>& names, uview wanted, CaseMap upper) {
    for (const ustring& name : names) {
        if (same_ignoring_case(name, wanted, upper)) return name;
    }
    return std::nullopt;
}

bool is_text(uview name) {
    for (char32_t c : name) {
        if (is_surrogate(c)) return false;
    }
    return true;
}

ustring readable_name(uview name, const std::optional<OtherReading>& reading) {
    ustring out;
    for (char32_t c : name) {
        if (!is_surrogate(c)) {
            out.push_back(c);
            continue;
        }
        char code[8];
        bool byte = c >= 0xDC80 && c <= 0xDCFF;
        std::snprintf(code, sizeof code, byte ? "\\x%02X" : "\\u%04X",
                      byte ? unsigned(c - 0xDC00) : unsigned(c));
        out += from_utf8(code);
    }
    if (reading) out += U" (按 " + from_utf8(reading->encoding) + U" 读作 " + reading->name + U")";
    return out;
}

}  // namespace awb
