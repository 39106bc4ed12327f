#include "settling.hpp"

namespace awb::console {
namespace {

bool same(const TextLook& a, const TextLook& b) { return a.size == b.size && a.mtime_ns == b.mtime_ns; }

}  // namespace

Settling text_settling(const std::vector<TextLook>& looks, bool complete, bool fresh) {
    if (looks.empty()) return Settling::kWait;
    const TextLook& last = looks.back();
    if (complete && !fresh && looks.size() == 2 && same(looks[0], looks[1])) return Settling::kSettled;
    std::size_t still = looks.size() - 1;  // the first look of the last run of equal ones
    while (still > 0 && same(looks[still - 1], last)) --still;
    if (complete && looks.size() > 2 && last.at - looks[still].at >= kQuietSeconds) return Settling::kSettled;
    if (last.at - looks.front().at >= kLongestWait) return Settling::kStillWriting;
    return Settling::kWait;
}

bool text_looks_cut(uview tail, bool empty, bool colour_statistics_beside) {
    if (colour_statistics_beside) return false;
    if (empty) return true;
    if (tail.empty() || tail.back() == U'\n' || tail.back() == U'\r') return false;
    std::size_t end = tail.find_last_of(U"\r\n");
    uview last_line = end == uview::npos ? tail : tail.substr(end + 1);
    return last_line.find(U':') != uview::npos;
}

}  // namespace awb::console
