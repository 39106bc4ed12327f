// The shared string table, and the date numbers of cells.
#include <cmath>

#include "awb/xls_workbook.hpp"
#include "xls_bytes.hpp"

namespace awb::xls {
namespace {

constexpr std::uint16_t kSst = 0x00FC;
constexpr std::size_t kPiece = bytes::kMaxRecordData;

// The table's records as they are cut: the first piece opens with the two counts (eight bytes),
// each later piece is a CONTINUE record.
class Pieces {
public:
    Pieces() : current_(8, '\0') {}
    std::size_t room() const { return kPiece - current_.size(); }
    // A part that must not be split: in a new piece when it does not fit in this one.
    void atom(std::string_view part) {
        if (room() < part.size()) next();
        current_ += part;
    }
    // Characters that may be split: as many as fit (whole UTF-16 units), the rest after the
    // flags byte again in the next piece.
    void characters(std::string_view chars, bool wide) {
        std::size_t at = 0;
        while (at < chars.size()) {
            std::size_t room_left = room();
            std::size_t tail = chars.size() - at;
            bool more = room_left < tail;
            std::size_t take = !more ? tail : (wide ? room_left & ~std::size_t{1} : room_left);
            current_.append(chars.substr(at, take));
            if (more) {
                next();
                current_.push_back(wide ? '\1' : '\0');
            }
            at += take;
        }
    }
    std::string finish(std::uint32_t uses, std::uint32_t unique) {
        next();
        std::string out;
        bytes::u16(out, kSst);
        bytes::u16(out, static_cast<std::uint32_t>(first_.size()));
        bytes::u32(out, uses);
        bytes::u32(out, unique);
        out.append(first_, 8, std::string::npos);
        out += continues_;
        return out;
    }

private:
    void next() {
        if (!started_) {
            first_ = std::move(current_);
            started_ = true;
        } else {
            bytes::u16(continues_, bytes::kContinue);
            bytes::u16(continues_, static_cast<std::uint32_t>(current_.size()));
            continues_ += current_;
        }
        current_.clear();
    }
    std::string current_;
    std::string first_;
    std::string continues_;
    bool started_ = false;
};

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

std::uint32_t SharedStrings::add(uview text) {
    if (text.size() > kLongestText) throw Refusal("String longer than 32767 characters");
    bytes::Units units = bytes::units_of(text);
    units.data.insert(units.data.begin(), units.wide ? '\1' : '\0');
    std::string& key = units.data;
    ++uses_;
    auto [at, fresh] = index_.try_emplace(std::move(key), static_cast<std::uint32_t>(entries_.size()));
    if (fresh) {
        entries_.push_back({&at->first, static_cast<std::uint32_t>(units.count), 1});
    } else {
        ++entries_[at->second].uses;
    }
    return at->second;
}

void SharedStrings::remove(std::uint32_t index) {
    Entry& entry = entries_.at(index);
    if (entry.uses > 0) --entry.uses;
    if (uses_ > 0) --uses_;
}

std::string SharedStrings::records() const {
    Pieces pieces;
    std::string atom;
    for (const Entry& entry : entries_) {
        std::string_view units = entry.uses == 0 ? std::string_view("\0", 1) : std::string_view(*entry.units);
        bool wide = units[0] == '\1';
        std::uint32_t count = entry.uses == 0 ? 0 : entry.count;
        // The count, the flags and the first character stay together.
        std::size_t first = std::min(units.size() - 1, std::size_t{wide ? 2u : 1u});
        atom.clear();
        bytes::u16(atom, count);
        atom.append(units.substr(0, 1 + first));
        pieces.atom(atom);
        pieces.characters(units.substr(1 + first), wide);
    }
    return pieces.finish(uses_, static_cast<std::uint32_t>(entries_.size()));
}

double excel_date(int year, int month, int day, int hour, int minute, int second, bool dates_1904) {
    std::int64_t epoch = dates_1904 ? days_from_civil(1904, 1, 1) : days_from_civil(1899, 12, 31);
    std::int64_t seconds =
        (days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - epoch) * 86400 +
        hour * 3600 + minute * 60 + second;
    std::int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    double date = static_cast<double>(days) + static_cast<double>(seconds - days * 86400) / 86400.0;
    // The 1900 workbook counts a 29 February 1900 that never was.
    if (!dates_1904 && date > 59) date += 1;
    return date;
}

double excel_time(int hour, int minute, int second) {
    return static_cast<double>(hour * 3600 + minute * 60 + second) / 86400.0;
}

ustring SharedStrings::text(std::uint32_t index) const {
    const std::string& units = *entries_.at(index).units;
    auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(units[i])); };
    ustring text;
    if (units[0] != '\1') {  // one byte a character
        for (std::size_t i = 1; i < units.size(); ++i) text.push_back(byte(i));
        return text;
    }
    for (std::size_t i = 1; i + 1 < units.size(); i += 2) {
        char32_t unit = byte(i) | byte(i + 1) << 8;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < units.size()) {  // a surrogate pair
            char32_t low = byte(i + 2) | byte(i + 3) << 8;
            if (low >= 0xDC00 && low < 0xE000) {
                text.push_back(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        text.push_back(unit);
    }
    return text;
}

}  // namespace awb::xls
