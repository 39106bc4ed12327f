// The cell styles of a workbook as its writer keeps them: fonts, number formats and XF records,
// each cell style made of a font, a number format, an alignment, borders, a fill and a protection.
// The writer numbers them the way xlwt 1.3 does (so that a file is byte for byte what xlwt
// writes): five default fonts (indexes 0 to 3 and 5), then each new font from 6; built-in number
// formats by their exact text, others from 164 in first-use order; 16 style XFs, then the cell
// XFs from 0x10 in first-use order. Plain C++, no interpreter objects.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "awb/text.hpp"

namespace awb::xls {

// A refusal of the writer: an index, a text or a style a workbook cannot take. The messages are
// xlwt's own, so that the engineer reads what the tools said before.
class Refusal : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// The attribute groups of a cell style, with xlwt's defaults. Values are kept as given (a border
// colour under no line stays what it was set to): two styles count as equal by their values as
// given, and only the bytes written take the file's own forms.
struct Font {
    int height = 200;  // twips: 10 points
    int italic = 0;
    int struck_out = 0;
    int outline = 0;
    int shadow = 0;
    int colour_index = 0x7FFF;
    int bold = 0;
    int weight = 400;
    int escapement = 0;
    int underline = 0;
    int family = 0;
    int charset = 1;
    ustring name = U"Arial";
};

struct Alignment {
    int horz = 0;  // general
    int vert = 2;  // bottom
    int dire = 0;
    int orie = 0;
    int rota = 0;
    int wrap = 0;
    int shri = 0;
    int inde = 0;
    int merg = 0;
    static constexpr int kLeft = 1, kCentre = 2, kVertCentre = 1;
};

struct Borders {
    int left = 0, right = 0, top = 0, bottom = 0, diag = 0;  // no line
    int left_colour = 0x40, right_colour = 0x40, top_colour = 0x40, bottom_colour = 0x40, diag_colour = 0x40;
    int need_diag1 = 0, need_diag2 = 0;
};

struct Pattern {
    int pattern = 0;  // no fill; 1 = solid
    int fore_colour = 0x40;
    int back_colour = 0x41;
    static constexpr int kSolid = 1;
};

struct Protection {
    int cell_locked = 1;
    int formula_hidden = 0;
};

// What tells two cell styles apart: the objects they are made of (a fresh workbook: two styles
// built alike are still two styles), fonts by their values and the rest by their objects, or
// every part by its values (a workbook copied from a read one).
enum class Merge { kByObject = 0, kFontsByValue = 1, kByValue = 2 };

// The limit of a workbook's cell styles: XF indexes are 12 bits, 0xFFF a sentinel.
inline constexpr std::uint32_t kXfLimit = 0xFFF;
inline constexpr std::uint16_t kFirstCellXf = 0x10;
inline constexpr std::uint16_t kFirstUserFormat = 164;

class Styles {
public:
    using Id = std::uint32_t;  // one attribute object of the collection

    // A cell style: its number format and the objects of its five groups. Two styles that share
    // an object share it as xlwt styles share a Python object.
    struct Style {
        ustring num_format = U"General";
        Id font = 0, alignment = 0, borders = 0, pattern = 0, protection = 0;
    };

    explicit Styles(Merge merge);

    Id font(const Font& value);
    Id alignment(const Alignment& value);
    Id borders(const Borders& value);
    Id pattern(const Pattern& value);
    Id protection(const Protection& value);
    // A style of fresh default objects (what a new XFStyle is).
    Style style();

    // The XF index of a style, given it on first use (xlwt's add_style). Refusal past 4094.
    std::uint16_t add(const Style& style);
    // The default style every cell written without one takes (xlwt's module-level default):
    // its XF is given at its first use, like any other.
    std::uint16_t default_cell_xf();

    // FONT, FORMAT, XF and STYLE records of the workbook globals, in the order written. Writing
    // them settles the objects as xlwt's writing does: a bold font's weight becomes 700, and a
    // border colour under no line becomes 0 (later styles made of these objects compare so).
    std::string records();

private:
    struct Xf {
        std::uint16_t font_index, format_index;
        Id alignment, borders, pattern, protection;
    };
    std::uint16_t font_index(Id font);
    std::uint16_t format_index(const ustring& format);
    std::string xf_record(const Xf& xf, bool style_xf);

    Merge merge_;
    std::vector<Font> fonts_;
    std::vector<Alignment> alignments_;
    std::vector<Borders> borders_list_;
    std::vector<Pattern> patterns_;
    std::vector<Protection> protections_;

    std::unordered_map<Id, std::uint16_t> font_of_object_;
    std::map<std::vector<std::int64_t>, std::uint16_t> font_of_value_;
    std::vector<Id> font_slots_;  // the object written for each font index from 6
    std::map<ustring, std::uint16_t> formats_;
    std::vector<ustring> user_formats_;  // from 164
    std::map<std::array<std::uint32_t, 6>, std::uint16_t> xf_of_objects_;
    std::map<std::vector<std::int64_t>, std::uint16_t> xf_of_value_;
    std::vector<Xf> xfs_;  // from 0x10
    Xf default_xf_{};
    bool has_default_cell_style_ = false;
    Style default_cell_style_;
};

}  // namespace awb::xls
