// Helpers of the unit tests: texts in UTF-8 for readable failures, and a seeded generator of
// texts made of given pieces.
#pragma once

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "awb/text.hpp"

namespace awb::test {

inline ustring u(const std::string& utf8) { return from_utf8(utf8); }
inline std::string s(uview text) { return to_utf8(text); }
inline std::string s(const ustring& text) { return to_utf8(text); }
inline std::optional<std::string> s(const std::optional<ustring>& text) {
    if (!text) return std::nullopt;
    return to_utf8(*text);
}

// Texts joined from up to `most` pieces drawn from `pieces`, the same on every run.
class Pieces {
public:
    Pieces(std::vector<std::string> pieces, unsigned seed) : pieces_(std::move(pieces)), random_(seed) {}
    ustring text(std::size_t most) {
        std::uniform_int_distribution<std::size_t> count(0, most);
        std::uniform_int_distribution<std::size_t> which(0, pieces_.size() - 1);
        std::string out;
        for (std::size_t n = count(random_); n > 0; --n) out += pieces_[which(random_)];
        return from_utf8(out);
    }
    const std::string& any() {
        return pieces_[std::uniform_int_distribution<std::size_t>(0, pieces_.size() - 1)(random_)];
    }
    std::mt19937& random() { return random_; }

private:
    std::vector<std::string> pieces_;
    std::mt19937 random_;
};

}  // namespace awb::test
