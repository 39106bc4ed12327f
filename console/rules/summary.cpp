#include "summary.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <set>

namespace awb::console {
namespace {

template <class... Args>
std::string format(const char* pattern, Args... args) {
    int size = std::snprintf(nullptr, 0, pattern, args...);
    std::string out(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(out.data(), out.size(), pattern, args...);
    out.resize(static_cast<std::size_t>(size));
    return out;
}

// now - before with its sign ("+188", "-14", "0"), exact for any two 64-bit values.
std::string signed_difference(std::int64_t before, std::int64_t now) {
    bool up = now >= before;
    auto magnitude = up ? static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(before)
                        : static_cast<std::uint64_t>(before) - static_cast<std::uint64_t>(now);
    if (magnitude == 0) return "0";
    return (up ? "+" : "-") + std::to_string(magnitude);
}

}  // namespace

std::vector<std::string> summary_head(std::int64_t colour_temperature, std::int64_t light_value) {
    return {
        format("                           CT=%" PRId64 "   LV=%" PRId64, colour_temperature, light_value),
        kSummaryRule,
        "|      STA_GAIN      |  SPAT_GAIN  |  EQV_GAIN   | PROB EQV_P P2 |",
        kSummaryRule,
    };
}

std::string summary_line(const LightSource& source, std::int64_t probability,
                         const std::array<std::int64_t, kSummaryGainSlots>& gains, std::int64_t weight) {
    if (gains[kStaGreenSlot] == 0 || probability < 1) return {};
    std::string title = to_utf8(source.code) + format(":%" PRId64 ":", probability);
    std::string line = format("|%7s ", title.c_str());
    for (std::size_t j = 0; j < gains.size(); ++j) {
        line += format("%3s ", format("%" PRId64, gains[j]).c_str());
        if (j == 2 || j == 5 || j == 8) line += "| ";
    }
    line += format("%5s", format(" %02" PRId64 "   |", weight).c_str());
    return line;
}

std::vector<std::string> summary_foot(std::int64_t red, std::int64_t green, std::int64_t blue) {
    return {
        kSummaryRule,
        format("                            R:%03" PRId64 " G:%03" PRId64 " B:%03" PRId64, red, green, blue),
    };
}

std::vector<std::string> summary_lines(std::int64_t colour_temperature, std::int64_t light_value,
                                       const std::vector<SheetSummary>& sheets) {
    std::vector<std::string> lines = summary_head(colour_temperature, light_value);
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        std::array<std::int64_t, kSummaryGainSlots> shown{};
        std::copy_n(sheets[k].gains.begin(), shown.size(), shown.begin());
        std::string line = summary_line(kLightSources[k], sheets[k].probability, shown, sheets[k].weight);
        if (!line.empty()) lines.push_back(std::move(line));
    }
    const auto& gains = sheets.back().gains;
    for (std::string& line : summary_foot(gains[kAlgorithmGainSlot], gains[kAlgorithmGainSlot + 1],
                                          gains[kAlgorithmGainSlot + 2])) {
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<ShowValue> show_values(std::size_t sheets) {
    std::vector<ShowValue> values;
    std::set<ustring> taken;
    auto put = [&](uview tag, bool per_light_source, std::size_t sheet, bool gain, std::size_t slot) {
        ustring name = per_light_source ? ustring(tag) + ustring(kLightSources[sheet].code) : ustring(tag);
        if (taken.insert(name).second) values.push_back({std::move(name), sheet, gain, slot});
    };
    for (std::size_t k = 0; k < sheets; ++k) {
        for (std::size_t s = 0; s < kRecordSlots.size(); ++s) {
            put(kRecordSlots[s].tag, kRecordSlots[s].per_light_source, k, false, s);
        }
        for (std::size_t s = 0; s < kGainSlots.size(); ++s)
            put(kGainSlots[s].tag, kGainSlots[s].per_light_source, k, true, s);
    }
    return values;
}

std::optional<std::vector<Change>> compared_changes(const ComparedValues& before, const ComparedValues& now) {
    std::vector<Change> changes;
    for (std::size_t i = 0; i < kCompared.size(); ++i) {
        if (!before[i] || !now[i]) return std::nullopt;
        changes.push_back({kCompared[i].label, *before[i], *now[i]});
    }
    return changes;
}

std::string comparison_line(const std::string& previous_time, bool unchanged,
                            const std::vector<Change>& changes) {
    std::string line = "与上次(" + previous_time + ")";
    if (unchanged) return line + "相同";
    line += "相比: ";
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const Change& c = changes[i];
        if (i > 0) line += ", ";
        line += format("%s %" PRId64 "→%" PRId64 " (", c.label, c.before, c.now) +
                signed_difference(c.before, c.now) + ")";
    }
    return line;
}

}  // namespace awb::console
