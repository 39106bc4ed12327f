// The console summary of one recorded picture: a head with the colour temperature and light
// value, a line per light source with its gains and probabilities, and a foot with the
// algorithm's gains; and the values of a show its history entry holds, and compares with the
// picture's previous show. Plain C++, no interpreter objects.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "awb/tables.hpp"

namespace awb::console {

inline constexpr const char* kSummaryRule =
    "|----------------------------------------------------------------|";

// What the summary shows of one sheet's record: its light source's probability, the weight
// ("P2") and the gains.
struct SheetSummary {
    std::int64_t probability;
    std::int64_t weight;
    std::array<std::int64_t, kGainSlots.size()> gains;
};

// The summary of a recorded picture, sheet k being light source k: the head with the colour
// temperature and light value, the line of each light source that has one, and the foot with
// the algorithm's gains of the last sheet.
std::vector<std::string> summary_lines(std::int64_t colour_temperature, std::int64_t light_value,
                                       const std::vector<SheetSummary>& sheets);

// The four lines of the head.
std::vector<std::string> summary_head(std::int64_t colour_temperature, std::int64_t light_value);

// The line of one light source, or an empty text when it has none: the light source was not
// evaluated (STA green gain 0) or its probability is below 1.
std::string summary_line(const LightSource& source, std::int64_t probability,
                         const std::array<std::int64_t, kSummaryGainSlots>& gains, std::int64_t weight);

// The two lines of the foot.
std::vector<std::string> summary_foot(std::int64_t red, std::int64_t green, std::int64_t blue);

// One value of the comparison with the picture's previous show: its label, then and now.
struct Change {
    const char* label;
    std::int64_t before;
    std::int64_t now;
};

// A value of a show as its history entry holds it: named by its tag as the debug text names it
// (the light source's code after a per-light-source tag), taken from record slot or gain slot
// `slot` of sheet `sheet`. A tag of the whole picture is taken once, from the first sheet, and
// where a record slot and a gain slot share a tag, the record's is taken.
struct ShowValue {
    ustring tag;
    std::size_t sheet;
    bool gain;
    std::size_t slot;
};
std::vector<ShowValue> show_values(std::size_t sheets);

// The values the comparison shows, by their tags: colour temperature, light value and the final
// red and blue gains.
struct Compared {
    const char* label;
    uview tag;
};
inline constexpr std::array<Compared, 4> kCompared{{
    {"CT", kRecordSlots[0].tag},
    {"LV", kRecordSlots[1].tag},
    {"R", kGainSlots[kAlgorithmGainSlot].tag},
    {"B", kGainSlots[kAlgorithmGainSlot + 2].tag},
}};
using ComparedValues = std::array<std::optional<std::int64_t>, kCompared.size()>;

// The changes of the compared values between two shows; none when a value of either is missing
// or not a whole number (a history edited by hand).
std::optional<std::vector<Change>> compared_changes(const ComparedValues& before, const ComparedValues& now);

// The line after the summary of a picture shown before: "与上次(HH:MM:SS)相比: CT 5123→5311
// (+188), LV 158→158 (0), ..." with the time of the previous show, or "与上次(HH:MM:SS)相同"
// when no stored value of the show changed.
std::string comparison_line(const std::string& previous_time, bool unchanged,
                            const std::vector<Change>& changes);

}  // namespace awb::console
