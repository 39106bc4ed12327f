#include "awb/text.hpp"

#include <algorithm>

namespace awb {

ustring from_utf8(std::string_view text) {
    ustring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        char32_t cp;
        std::size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c >> 5) == 0x6) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c >> 4) == 0xE) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c >> 3) == 0x1E) {
            cp = c & 0x07;
            len = 4;
        } else {
            cp = 0xFFFD;
            len = 1;
        }
        if (i + len > text.size()) {
            out.push_back(0xFFFD);
            break;
        }
        for (std::size_t k = 1; k < len; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        out.push_back(cp);
        i += len;
    }
    return out;
}

std::string to_utf8(uview text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t cp : text) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

ustring remove_chars(uview text, uview chars) {
    ustring out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (chars.find(c) == uview::npos) out.push_back(c);
    }
    return out;
}

ustring replace_all(uview text, uview from, uview to) {
    ustring out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        std::size_t hit = from.empty() ? uview::npos : text.find(from, pos);
        if (hit == uview::npos) {
            out.append(text.substr(pos));
            return out;
        }
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
}

uview before_first(uview text, uview mark) {
    std::size_t hit = text.find(mark);
    return hit == uview::npos ? text : text.substr(0, hit);
}

uview head(uview text, std::ptrdiff_t count) {
    auto size = static_cast<std::ptrdiff_t>(text.size());
    if (count < 0) count = size + count < 0 ? 0 : size + count;
    if (count > size) count = size;
    return text.substr(0, static_cast<std::size_t>(count));
}

namespace {

char32_t ascii_lower(char32_t c) { return (c >= U'A' && c <= U'Z') ? c + (U'a' - U'A') : c; }

bool same_ignoring_case(char32_t a, char32_t b) { return ascii_lower(a) == ascii_lower(b); }

}  // namespace

bool equal_ignoring_case(uview text, uview other) {
    return text.size() == other.size() &&
           std::equal(text.begin(), text.end(), other.begin(), same_ignoring_case);
}

std::size_t find_ignoring_case(uview text, uview part) {
    auto hit = std::search(text.begin(), text.end(), part.begin(), part.end(), same_ignoring_case);
    return hit == text.end() && !part.empty() ? uview::npos : static_cast<std::size_t>(hit - text.begin());
}

std::string one_line(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

ustring echo(uview text) {
    if (text.size() <= kEchoLength) return ustring(text);
    return ustring(text.substr(0, kEchoLength)) + U"…";
}

std::string error_in_own_words(const std::string& type, const std::string& message) {
    return one_line(message.empty() ? type : type + ": " + message);
}

}  // namespace awb
