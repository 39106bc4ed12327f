// The console summary of a recorded picture, and the line comparing it with its previous show.
#include <doctest/doctest.h>

#include <algorithm>
#include <limits>

#include "summary.hpp"
#include "test_support.hpp"

namespace awb::console {
namespace {

const std::string kRule = "|" + std::string(64, '-') + "|";
const std::string kTitles = "|      STA_GAIN      |  SPAT_GAIN  |  EQV_GAIN   | PROB EQV_P P2 |";

using Gains = std::array<std::int64_t, kSummaryGainSlots>;

std::string line_of(const char* code, std::int64_t probability, const Gains& gains, std::int64_t weight) {
    for (const LightSource& source : kLightSources) {
        if (source.code == test::u(code)) return summary_line(source, probability, gains, weight);
    }
    FAIL("no light source " << code);
    return {};
}

TEST_CASE("the summary's head, a line per evaluated light source, and the foot") {
    CHECK(summary_head(5000, 120) ==
          std::vector<std::string>{"                           CT=5000   LV=120", kRule, kTitles, kRule});
    CHECK(summary_head(2800, -3)[0] == "                           CT=2800   LV=-3");
    CHECK(line_of("WF", 5, {410, 256, 770, 415, 256, 765, 420, 256, 760, 10, 12}, 9) ==
          "|  WF:5: 410 256 770 | 415 256 765 | 420 256 760 |  10  12  09   |");
    CHECK(line_of("D", 87, {512, 256, 640, 520, 256, 630, 530, 256, 620, 90, 85}, 7) ==
          "|  D:87: 512 256 640 | 520 256 630 | 530 256 620 |  90  85  07   |");
    // A wide value widens the line; nothing is cut.
    CHECK(line_of("DF", 4, {1024, 256, 480, 500, 256, 470, 510, 256, 460, 70, 60}, 100) ==
          "|  DF:4: 1024 256 480 | 500 256 470 | 510 256 460 |  70  60  100   |");
    CHECK(line_of("S", 1, {0, 256, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0) ==
          "|   S:1:   0 256   0 |   0   0   0 |   0   0   0 |   0   0  00   |");
    CHECK(line_of("CWF", 1, {-5, -256, 7, 0, 0, 0, 0, 0, 0, 0, 0}, -1) ==
          "| CWF:1:  -5 -256   7 |   0   0   0 |   0   0   0 |   0   0  -1   |");
    // No line: not evaluated (STA green gain 0), or a probability below 1.
    CHECK(line_of("F", 3, {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 1).empty());
    CHECK(line_of("CWF", -2, {450, 256, 700, 1, 1, 1, 1, 1, 1, 1, 1}, 1).empty());
    CHECK(line_of("T", 0, {1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0}, 0).empty());
    CHECK(summary_foot(64, 256, 1024) ==
          std::vector<std::string>{kRule, "                            R:064 G:256 B:1024"});
    CHECK(summary_foot(0, 0, 0)[1] == "                            R:000 G:000 B:000");
    // The whole summary: sheet k is light source k, the foot from the last sheet's algorithm gains.
    std::vector<SheetSummary> sheets(kSheetCount, SheetSummary{0, 0, {}});
    sheets[4] = {87, 7, {512, 256, 640, 520, 256, 630, 530, 256, 620, 90, 85}};
    sheets.back().gains = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 64, 256, 1024};
    CHECK(summary_lines(5000, 120, sheets) ==
          std::vector<std::string>{"                           CT=5000   LV=120", kRule, kTitles, kRule,
                                   "|  D:87: 512 256 640 | 520 256 630 | 530 256 620 |  90  85  07   |",
                                   kRule, "                            R:064 G:256 B:1024"});
}

TEST_CASE("the line comparing a show with the picture's previous one") {
    std::vector<Change> changes{{"CT", 5123, 5311}, {"LV", 158, 158}, {"R", 612, 598}, {"B", 519, 530}};
    CHECK(comparison_line("14:02:31", false, changes) ==
          "与上次(14:02:31)相比: CT 5123→5311 (+188), LV 158→158 (0), R 612→598 (-14), B 519→530 (+11)");
    CHECK(comparison_line("14:02:31", true, changes) == "与上次(14:02:31)相同");
    std::optional<std::vector<Change>> compared =
        compared_changes({5123, 158, 612, 519}, {5311, 158, 598, 530});
    REQUIRE(compared);
    CHECK(comparison_line("14:02:31", false, *compared) == comparison_line("14:02:31", false, changes));
    CHECK_FALSE(compared_changes({5123, 158, 612, std::nullopt}, {5311, 158, 598, 530}));
    CHECK_FALSE(compared_changes({5123, 158, 612, 519}, {std::nullopt, 158, 598, 530}));

    // The values a history entry holds: whole-picture tags once, a record slot before a gain slot
    // of the same tag.
    const std::vector<ShowValue> values = show_values(kSheetCount);
    CHECK(values.size() == 10 + 11 * 7 + 9 * 7 + 3);
    auto find = [&](const char* tag) {
        return std::find_if(values.begin(), values.end(),
                            [&](const ShowValue& v) { return v.tag == test::u(tag); });
    };
    CHECK(find("AWB_TAG_CCT")->sheet == 0);
    CHECK_FALSE(find("AWB_TAG_DAYLIGHT_PROB_CWF")->gain);
    CHECK(find("AWB_TAG_DAYLIGHT_PROB_CWF")->sheet == 3);
    CHECK(find("AWB_TAG_STA_GAIN_G_S")->slot == kStaGreenSlot);
    CHECK(find("AWB_TAG_GAIN_B")->sheet == 0);
    constexpr auto lowest = std::numeric_limits<std::int64_t>::min();
    constexpr auto highest = std::numeric_limits<std::int64_t>::max();
    CHECK(comparison_line("00:00:00", false, {{"CT", lowest, highest}, {"LV", highest, lowest}}) ==
          "与上次(00:00:00)相比: CT -9223372036854775808→9223372036854775807 (+18446744073709551615), "
          "LV 9223372036854775807→-9223372036854775808 (-18446744073709551615)");
}

}  // namespace
}  // namespace awb::console
