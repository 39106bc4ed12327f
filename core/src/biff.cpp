#include "awb/biff.hpp"

#include "awb/workbook_files.hpp"

namespace awb {
namespace {

constexpr std::uint16_t kFormula = 0x0006;
constexpr std::uint16_t kSharedFormula = 0x04BC;
constexpr std::uint16_t kArrayFormula = 0x0221;
constexpr std::uint16_t kNote = 0x001C;
constexpr std::uint16_t kObject = 0x005D;
constexpr std::uint16_t kDrawing = 0x00EC;
constexpr std::uint16_t kHyperlink = 0x01B8;
constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kChartSubstream = 0x0020;  // BOF's substream type of a chart
// An OBJ record opens with its common data: sub-record type 0x0015, its length, then the
// object's type (0x05 a chart, 0x19 a comment; pictures, shapes and controls have others).
constexpr std::uint16_t kCommonObjectData = 0x0015;
constexpr std::uint16_t kChartObject = 0x05;
constexpr std::uint16_t kCommentObject = 0x19;

std::uint16_t word_at(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

bool WorkbookExtras::any() const {
    for (bool kind : found) {
        if (kind) return true;
    }
    return false;
}

WorkbookExtras scan_workbook_stream(const std::uint8_t* data, std::size_t size) {
    WorkbookExtras extras;
    auto note = [&](Extra kind) { extras.found[static_cast<std::size_t>(kind)] = true; };
    bool objects = false;
    bool drawing_records = false;
    std::size_t at = 0;
    while (at + 4 <= size) {
        std::uint16_t type = word_at(data + at);
        std::size_t length = word_at(data + at + 2);
        const std::uint8_t* body = data + at + 4;
        if (at + 4 + length > size) break;
        switch (type) {
        case kFormula:
        case kSharedFormula:
        case kArrayFormula:
            note(Extra::kFormulas);
            break;
        case kNote:
            note(Extra::kComments);
            break;
        case kHyperlink:
            note(Extra::kHyperlinks);
            break;
        case kDrawing:
            drawing_records = true;
            break;
        case kBof:
            if (length >= 4 && word_at(body + 2) == kChartSubstream) note(Extra::kCharts);
            break;
        case kObject:
            objects = true;
            if (length >= 6 && word_at(body) == kCommonObjectData) {
                std::uint16_t object = word_at(body + 4);
                if (object == kChartObject) {
                    note(Extra::kCharts);
                } else if (object != kCommentObject) {
                    note(Extra::kDrawings);
                }
            } else {
                note(Extra::kDrawings);
            }
            break;
        default:
            break;
        }
        at += 4 + length;
    }
    if (drawing_records && !objects) note(Extra::kDrawings);
    return extras;
}

std::string extras_line(const std::string& workbook, const WorkbookExtras& extras) {
    std::string found, plain, lost;
    for (const ExtraKind& kind : kExtraKindTable) {
        if (!extras.has(kind.kind)) continue;
        std::string name = to_utf8(kind.name);
        for (std::string* list : {&found, kind.values_kept ? &plain : &lost}) {
            *list += (list->empty() ? "" : "、") + name;
        }
    }
    std::string change = plain.empty() ? "" : plain + "只保留数值";
    if (!lost.empty()) change += (change.empty() ? "" : ", ") + lost + "将消失";
    return "工作簿 " + workbook + " 含有" + found + ", 保存后" + change;
}

std::string original_kept_line(const std::string& extras_line, const std::string& copy) {
    return extras_line + "; 原件已备份到 " + copy;
}

std::string original_not_kept_note(const std::string& extras_line, const std::string& reason) {
    return extras_line + "; 原件无法备份到 " + to_utf8(kBackupFolder) + " (" + reason + "), 未写入任何内容";
}

}  // namespace awb
