// The tables of the AWB record and of the analysis workbook. Each exists here once, as data;
// the record builder, the workbook writers and the console summary all read them.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "awb/text.hpp"

namespace awb {

// The seven light sources, in sheet order: a code's index is its sheet index, and its
// probability sits in record slot index + 2. Reduced sheets leave out the per-light-source
// columns from the day-locus offset to the weight.
struct LightSource {
    uview code;
    bool reduced;
};
inline constexpr std::array<LightSource, 7> kLightSources{{
    {U"T", false},
    {U"WF", false},
    {U"F", true},
    {U"CWF", true},
    {U"D", true},
    {U"DF", true},
    {U"S", false},
}};
inline constexpr std::size_t kSheetCount = kLightSources.size();

// The AWB debug record: slot i of the record array, the tag it is read from (a prefix
// followed by the light-source code where `per_light_source`), and the workbook column
// title of the value. The date (slot 20) has no value column of its own.
struct RecordSlot {
    uview tag;
    bool per_light_source;
    uview title;
    bool on_reduced_sheets;
};
inline constexpr std::array<RecordSlot, 21> kRecordSlots{{
    {U"AWB_TAG_CCT", false, U"CT", true},
    {U"AWB_TAG_ALGO_SCENE_LV", false, U"LV", true},
    {U"AWB_TAG_P_T", false, U"T", true},
    {U"AWB_TAG_P_WF", false, U"WF", true},
    {U"AWB_TAG_P_F", false, U"F", true},
    {U"AWB_TAG_P_CWF", false, U"CWF", true},
    {U"AWB_TAG_P_D", false, U"D", true},
    {U"AWB_TAG_P_DF", false, U"DF", true},
    {U"AWB_TAG_P_S", false, U"S", true},
    {U"AWB_TAG_DAYLIGHT_PROB_", true, U"DAYLIGHT_PROB", true},
    {U"AWB_TAG_EQV_DAYLIGHT_PROB_", true, U"EQV_DAYLIGHT_PROB", true},
    {U"AWB_TAG_DAY_LOCUS_OFFSET_", true, U"DAY_LOCUS_OFFSET", false},
    {U"AWB_TAG_GM_OFFSET_", true, U"GM_OFFSET", false},
    {U"AWB_TAG_GM_OFFSET_THR_", true, U"GM_OFFSET_THR", false},
    {U"AWB_TAG_NEW_OFFSET_", true, U"NEW_OFFSET", false},
    {U"AWB_TAG_OFFSET_RATIO_", true, U"OFFSET_RATIO", false},
    {U"AWB_TAG_RATIO_OFFSET_", true, U"RATIO_OFFSET", false},
    {U"AWB_TAG_IS_ABOVE_DAY_LOCUS_", true, U"IS_ABOVE", false},
    {U"AWB_TAG_LUT_OFFSET_", true, U"LUT_OFFSET", false},
    {U"AWB_TAG_WEIGHT_", true, U"P2", false},
    {U"AWB_TAG_DATE", false, U"", false},
}};
inline constexpr std::size_t kRecordSize = 100;  // slots of the record array
inline constexpr std::size_t kDateSlot = 20;
inline constexpr std::size_t kWeightSlot = 19;  // "P2"
inline constexpr std::size_t kFirstProbabilitySlot = 2;

// The order in which the builder reads the record's tags (slot numbers); the values are
// stored in slot order only after the last read.
inline constexpr std::array<std::size_t, 21> kRecordReadOrder{0, 1,  2,  3,  4,  5,  6,  7,  8,  11, 16,
                                                              9, 10, 14, 12, 13, 17, 15, 18, 19, 20};

// The console's gain array: slot i, its tag (prefix + code where `per_light_source`),
// read in slot order.
struct GainSlot {
    uview tag;
    bool per_light_source;
};
inline constexpr std::array<GainSlot, 14> kGainSlots{{
    {U"AWB_TAG_STA_GAIN_R_", true},
    {U"AWB_TAG_STA_GAIN_G_", true},
    {U"AWB_TAG_STA_GAIN_B_", true},
    {U"AWB_TAG_SPAT_GAIN_R_", true},
    {U"AWB_TAG_SPAT_GAIN_G_", true},
    {U"AWB_TAG_SPAT_GAIN_B_", true},
    {U"AWB_TAG_EQV_GAIN_R_", true},
    {U"AWB_TAG_EQV_GAIN_G_", true},
    {U"AWB_TAG_EQV_GAIN_B_", true},
    {U"AWB_TAG_DAYLIGHT_PROB_", true},
    {U"AWB_TAG_EQV_DAYLIGHT_PROB_", true},
    {U"AWB_TAG_GAIN_R", false},
    {U"AWB_TAG_GAIN_G", false},
    {U"AWB_TAG_GAIN_B", false},
}};
inline constexpr std::size_t kStaGreenSlot = 1;        // 0 = the light source was not evaluated
inline constexpr std::size_t kSummaryGainSlots = 11;   // slots shown per light source
inline constexpr std::size_t kAlgorithmGainSlot = 11;  // R, G, B of the algorithm's result

// Column 0 and the four columns after the values, the same on every sheet.
inline constexpr uview kNameTitle = U"File Name";
inline constexpr std::array<uview, 4> kTailTitles{U"Color Egine", U"Date", U"修改", U"问题描述"};
enum TailColumn : std::size_t { kColourEngine = 0, kDate = 1, kChange = 2, kIssueNote = 3 };
// The issue note the console records for a picture the capture list does not hold.
inline constexpr uview kNoIssueNote = U"无";

// One sheet layout: its titles, and where the value and tail columns stand.
struct Layout {
    std::vector<uview> titles;
    std::size_t value_columns;  // columns 1..value_columns hold record slots 0..value_columns-1
    std::size_t tail_column(TailColumn which) const { return value_columns + 1 + which; }
};
const Layout& full_layout();
const Layout& reduced_layout();
inline const Layout& layout_of(const LightSource& source) {
    return source.reduced ? reduced_layout() : full_layout();
}

// `Data_num`, the batch's bound of a sheet's value columns: two past its last one (the layout's
// titles less three: 22 for the full layout, 13 for the reduced). A new process holds 21 until
// it makes a workbook; the batch's row writer writes a full sheet's values to its last column
// ("P2") whatever `Data_num` holds.
inline constexpr std::size_t kDataNumBeforeAnyWorkbook = 21;
inline std::size_t data_num(const Layout& layout) { return layout.value_columns + 2; }

// Value columns drawn in the red font: the probability of "D" and that of the sheet's own
// light source.
inline constexpr std::size_t kDaylightProbabilityColumn = 7;
inline constexpr std::size_t own_probability_column(std::size_t sheet) { return sheet + 3; }
inline constexpr bool red_value_column(std::size_t sheet, std::size_t column) {
    return column == kDaylightProbabilityColumn || column == own_probability_column(sheet);
}

}  // namespace awb
