// The console summary of one recorded picture: a head with the colour temperature and light
// value, a line per light source with its gains and probabilities, and a foot with the
// algorithm's gains.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "awb/tables.hpp"

namespace awb::console {

inline constexpr const char* kSummaryRule =
    "|----------------------------------------------------------------|";

// The four lines of the head.
std::vector<std::string> summary_head(std::int64_t colour_temperature, std::int64_t light_value);

// The line of one light source, or an empty text when it has none: the light source was not
// evaluated (STA green gain 0) or its probability is below 1.
std::string summary_line(const LightSource& source, std::int64_t probability,
                         const std::array<std::int64_t, kSummaryGainSlots>& gains,
                         std::int64_t weight);

// The two lines of the foot.
std::vector<std::string> summary_foot(std::int64_t red, std::int64_t green, std::int64_t blue);

}  // namespace awb::console
