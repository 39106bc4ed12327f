// What a workbook holds beyond cell values and formats, read from the records of its BIFF
// workbook stream. A workbook is edited by reading its values and formats and writing them
// anew, so these things do not survive a save: formulas keep only their results, the rest is
// dropped. Plain C++, no interpreter objects.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "awb/text.hpp"

namespace awb {

enum class Extra : std::size_t { kFormulas, kComments, kCharts, kDrawings, kHyperlinks };
inline constexpr std::size_t kExtraKinds = 5;

// Each kind, in the words a message uses, and whether a save keeps its values.
struct ExtraKind {
    Extra kind;
    uview name;
    bool values_kept;  // formulas: their results stay as plain values
};
inline constexpr std::array<ExtraKind, kExtraKinds> kExtraKindTable{{
    {Extra::kFormulas, U"公式", true},
    {Extra::kComments, U"批注", false},
    {Extra::kCharts, U"图表", false},
    {Extra::kDrawings, U"图片和图形", false},
    {Extra::kHyperlinks, U"超链接", false},
}};

struct WorkbookExtras {
    std::array<bool, kExtraKinds> found{};
    bool has(Extra kind) const { return found[static_cast<std::size_t>(kind)]; }
    bool any() const;
};

// Walks the records of a BIFF workbook stream (type and length, two little-endian bytes each,
// then the data) and notes formulas (FORMULA, SHRFMLA, ARRAY), comments (NOTE), charts (a chart
// substream's BOF: a chart sheet or an embedded chart), pictures and other drawn objects (an OBJ
// that is neither a comment's nor a chart's, or drawing records without any OBJ) and hyperlinks
// (HLINK). A stream cut short ends the walk.
WorkbookExtras scan_workbook_stream(const std::uint8_t* data, std::size_t size);

// What the engineer is told about a workbook holding extras before it is first rewritten:
// "工作簿 <path> 含有公式、批注, 保存后公式只保留数值, 批注将消失", followed by where the original was
// copied, or why it could not be (then nothing is written).
std::string extras_line(const std::string& workbook, const WorkbookExtras& extras);
std::string original_kept_line(const std::string& extras_line, const std::string& copy);
std::string original_not_kept_note(const std::string& extras_line, const std::string& reason);

}  // namespace awb
