// Little-endian fields, BIFF8 records and texts, as the workbook writer packs them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "awb/text.hpp"
#include "awb/xls_styles.hpp"

namespace awb::xls::bytes {

inline void u8(std::string& out, std::uint32_t value) { out.push_back(static_cast<char>(value & 0xFF)); }
inline void u16(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}
inline void u32(std::string& out, std::uint32_t value) {
    u16(out, value & 0xFFFF);
    u16(out, value >> 16);
}
inline void f64(std::string& out, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    u32(out, static_cast<std::uint32_t>(bits));
    u32(out, static_cast<std::uint32_t>(bits >> 32));
}

inline constexpr std::uint16_t kContinue = 0x003C;
inline constexpr std::size_t kMaxRecordData = 0x2020;

// A record: type, length, data; data longer than a record holds goes on in CONTINUE records.
inline void record(std::string& out, std::uint16_t type, const std::string& data) {
    std::size_t at = 0;
    do {
        std::size_t piece = std::min(kMaxRecordData, data.size() - at);
        u16(out, at == 0 ? type : kContinue);
        u16(out, static_cast<std::uint32_t>(piece));
        out.append(data, at, piece);
        at += piece;
    } while (at < data.size());
}

// A text's characters as a BIFF8 string stores them: one byte each when every character is below
// 0x100 (flag 0), else UTF-16LE (flag 1); the count is of those units. Refusal for a lone
// surrogate, which UTF-16 cannot hold.
struct Units {
    std::string data;
    std::size_t count = 0;
    bool wide = false;
};
inline Units units_of(uview text) {
    Units units;
    for (char32_t c : text) {
        if (c > 0xFF) units.wide = true;
    }
    if (!units.wide) {
        units.data.reserve(text.size());
        for (char32_t c : text) units.data.push_back(static_cast<char>(c));
        units.count = text.size();
        return units;
    }
    units.data.reserve(text.size() * 2);
    for (char32_t c : text) {
        if (c >= 0xD800 && c <= 0xDFFF) throw Refusal("a lone surrogate cannot be written as UTF-16");
        if (c > 0xFFFF) {
            char32_t v = c - 0x10000;
            u16(units.data, 0xD800 + (v >> 10));
            u16(units.data, 0xDC00 + (v & 0x3FF));
            units.count += 2;
        } else {
            u16(units.data, c);
            ++units.count;
        }
    }
    return units;
}

// A string with a one-byte count (sheet and font names) or a two-byte one (formats, headers):
// the count, the flags byte, the characters.
inline void counted_text(std::string& out, uview text, bool two_byte_count) {
    std::size_t longest = two_byte_count ? 32767 : 255;
    if (text.size() > longest) throw Refusal("String longer than " + std::to_string(longest) + " characters");
    Units units = units_of(text);
    (two_byte_count ? u16 : u8)(out, static_cast<std::uint32_t>(units.count));
    u8(out, units.wide ? 1 : 0);
    out += units.data;
}
inline void text8(std::string& out, uview text) { counted_text(out, text, false); }
inline void text16(std::string& out, uview text) { counted_text(out, text, true); }

}  // namespace awb::xls::bytes
