#include "awb/xls_styles.hpp"

#include <array>

#include "xls_bytes.hpp"

namespace awb::xls {
namespace {

using Key = std::vector<std::int64_t>;

// The built-in number formats by their exact text (the first is in lower case, so "General"
// itself is a format of the workbook's own).
struct BuiltInFormat {
    uview text;
    std::uint16_t index;
};
constexpr std::array<BuiltInFormat, 36> kBuiltInFormats{{
    {U"general", 0},
    {U"0", 1},
    {U"0.00", 2},
    {U"#,##0", 3},
    {U"#,##0.00", 4},
    {U"\"$\"#,##0_);(\"$\"#,##0)", 5},
    {U"\"$\"#,##0_);[Red](\"$\"#,##0)", 6},
    {U"\"$\"#,##0.00_);(\"$\"#,##0.00)", 7},
    {U"\"$\"#,##0.00_);[Red](\"$\"#,##0.00)", 8},
    {U"0%", 9},
    {U"0.00%", 10},
    {U"0.00E+00", 11},
    {U"# ?/?", 12},
    {U"# ?\?/?\?", 13},
    {U"M/D/YY", 14},
    {U"D-MMM-YY", 15},
    {U"D-MMM", 16},
    {U"MMM-YY", 17},
    {U"h:mm AM/PM", 18},
    {U"h:mm:ss AM/PM", 19},
    {U"h:mm", 20},
    {U"h:mm:ss", 21},
    {U"M/D/YY h:mm", 22},
    {U"_(#,##0_);(#,##0)", 37},
    {U"_(#,##0_);[Red](#,##0)", 38},
    {U"_(#,##0.00_);(#,##0.00)", 39},
    {U"_(#,##0.00_);[Red](#,##0.00)", 40},
    {U"_(\"$\"* #,##0_);_(\"$\"* (#,##0);_(\"$\"* \"-\"_);_(@_)", 41},
    {U"_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)", 42},
    {U"_(\"$\"* #,##0.00_);_(\"$\"* (#,##0.00);_(\"$\"* \"-\"??_);_(@_)", 43},
    {U"_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)", 44},
    {U"mm:ss", 45},
    {U"[h]:mm:ss", 46},
    {U"mm:ss.0", 47},
    {U"##0.0E+0", 48},
    {U"@", 49},
}};

constexpr std::uint16_t kFontRecord = 0x0031;
constexpr std::uint16_t kFormatRecord = 0x041E;
constexpr std::uint16_t kXfRecord = 0x00E0;
constexpr std::uint16_t kStyleRecord = 0x0293;
constexpr std::array<std::uint16_t, 5> kDefaultFontIndexes{0, 1, 2, 3, 5};  // index 4 is never used
constexpr std::uint16_t kFirstNewFont = 6;
constexpr int kBoldWeight = 0x02BC;
constexpr std::size_t kStyleXfs = 16;

Key key_of(const Font& f) {
    Key key{f.height, f.italic, f.struck_out, f.outline,   f.shadow, f.colour_index,
            f.bold,   f.weight, f.escapement, f.underline, f.family, f.charset};
    key.push_back(static_cast<std::int64_t>(f.name.size()));
    key.insert(key.end(), f.name.begin(), f.name.end());
    return key;
}

void append(Key& key, const Alignment& a) {
    key.insert(key.end(), {a.horz, a.vert, a.dire, a.orie, a.rota, a.wrap, a.shri, a.inde, a.merg});
}
void append(Key& key, const Borders& b) {
    key.insert(key.end(), {b.left, b.right, b.top, b.bottom, b.diag, b.left_colour, b.right_colour,
                           b.top_colour, b.bottom_colour, b.diag_colour, b.need_diag1, b.need_diag2});
}
void append(Key& key, const Pattern& p) { key.insert(key.end(), {p.pattern, p.fore_colour, p.back_colour}); }
void append(Key& key, const Protection& p) { key.insert(key.end(), {p.cell_locked, p.formula_hidden}); }

std::uint32_t bits(int value, std::uint32_t mask, int shift) {
    return (static_cast<std::uint32_t>(value) & mask) << shift;
}

std::string font_record(Font& f) {
    std::string data;
    std::uint32_t options = 0;
    if (f.bold) {
        options |= 0x01;
        f.weight = kBoldWeight;
    }
    if (f.italic) options |= 0x02;
    if (f.underline != 0) options |= 0x04;
    if (f.struck_out) options |= 0x08;
    if (f.outline) options |= 0x10;
    if (f.shadow) options |= 0x20;
    bytes::u16(data, f.height);
    bytes::u16(data, options);
    bytes::u16(data, f.colour_index);
    bytes::u16(data, f.weight);
    bytes::u16(data, f.escapement);
    bytes::u8(data, f.underline);
    bytes::u8(data, f.family);
    bytes::u8(data, f.charset);
    bytes::u8(data, 0);
    bytes::text8(data, f.name);
    std::string out;
    bytes::record(out, kFontRecord, data);
    return out;
}

}  // namespace

Styles::Styles(Merge merge) : merge_(merge) {
    for (std::uint16_t index : kDefaultFontIndexes) {
        Id id = font(Font{});
        font_of_object_[id] = index;
        font_of_value_[key_of(Font{})] = index;
    }
    for (const BuiltInFormat& format : kBuiltInFormats) formats_.emplace(ustring(format.text), format.index);
    Style collection_default = style();
    add(collection_default);
    default_xf_ = xfs_.front();
}

Styles::Id Styles::font(const Font& value) {
    fonts_.push_back(value);
    return static_cast<Id>(fonts_.size() - 1);
}
Styles::Id Styles::alignment(const Alignment& value) {
    alignments_.push_back(value);
    return static_cast<Id>(alignments_.size() - 1);
}
Styles::Id Styles::borders(const Borders& value) {
    borders_list_.push_back(value);
    return static_cast<Id>(borders_list_.size() - 1);
}
Styles::Id Styles::pattern(const Pattern& value) {
    patterns_.push_back(value);
    return static_cast<Id>(patterns_.size() - 1);
}
Styles::Id Styles::protection(const Protection& value) {
    protections_.push_back(value);
    return static_cast<Id>(protections_.size() - 1);
}

Styles::Style Styles::style() {
    Style s;
    s.font = font(Font{});
    s.alignment = alignment(Alignment{});
    s.borders = borders(Borders{});
    s.pattern = pattern(Pattern{});
    s.protection = protection(Protection{});
    return s;
}

std::uint16_t Styles::font_index(Id font) {
    auto known = font_of_object_.find(font);
    if (known != font_of_object_.end()) return known->second;
    auto index = static_cast<std::uint16_t>(kFirstNewFont + font_slots_.size());
    if (merge_ != Merge::kByObject) {
        Key key = key_of(fonts_.at(font));
        auto same = font_of_value_.find(key);
        if (same != font_of_value_.end()) return font_of_object_[font] = same->second;
        font_of_value_.emplace(std::move(key), index);
    }
    font_of_object_[font] = index;
    font_slots_.push_back(font);
    return index;
}

std::uint16_t Styles::format_index(const ustring& format) {
    auto known = formats_.find(format);
    if (known != formats_.end()) return known->second;
    auto index = static_cast<std::uint16_t>(kFirstUserFormat + user_formats_.size());
    formats_.emplace(format, index);
    user_formats_.push_back(format);
    return index;
}

std::uint16_t Styles::add(const Style& style) {
    Xf xf{0, format_index(style.num_format), style.alignment, style.borders, style.pattern, style.protection};
    xf.font_index = font_index(style.font);
    std::array<std::uint32_t, 6> objects{xf.font_index, xf.format_index, xf.alignment,
                                         xf.borders,    xf.pattern,      xf.protection};
    auto known = xf_of_objects_.find(objects);
    if (known != xf_of_objects_.end()) return known->second;
    Key values;
    if (merge_ == Merge::kByValue) {
        values = {xf.font_index, xf.format_index};
        append(values, alignments_.at(xf.alignment));
        append(values, borders_list_.at(xf.borders));
        append(values, patterns_.at(xf.pattern));
        append(values, protections_.at(xf.protection));
        auto same = xf_of_value_.find(values);
        if (same != xf_of_value_.end()) return xf_of_objects_[objects] = same->second;
    }
    std::size_t index = kFirstCellXf + xfs_.size();
    if (index >= kXfLimit) throw Refusal("More than 4094 XFs (styles)");
    auto xf_index = static_cast<std::uint16_t>(index);
    if (merge_ == Merge::kByValue) xf_of_value_.emplace(std::move(values), xf_index);
    xf_of_objects_.emplace(std::move(objects), xf_index);
    xfs_.push_back(xf);
    return xf_index;
}

std::uint16_t Styles::default_cell_xf() {
    if (!has_default_cell_style_) {
        default_cell_style_ = style();
        has_default_cell_style_ = true;
    }
    return add(default_cell_style_);
}

std::string Styles::xf_record(const Xf& xf, bool style_xf) {
    const Alignment& a = alignments_.at(xf.alignment);
    Borders& b = borders_list_.at(xf.borders);
    const Pattern& p = patterns_.at(xf.pattern);
    const Protection& pr = protections_.at(xf.protection);
    // A border without a line is written without a colour (and stays so).
    if (b.left == 0) b.left_colour = 0;
    if (b.right == 0) b.right_colour = 0;
    if (b.top == 0) b.top_colour = 0;
    if (b.bottom == 0) b.bottom_colour = 0;
    if (b.diag == 0) b.diag_colour = 0;
    std::string data;
    bytes::u16(data, xf.font_index);
    bytes::u16(data, xf.format_index);
    bytes::u16(data, style_xf ? 0xFFF5 : bits(pr.cell_locked, 1, 0) | bits(pr.formula_hidden, 1, 1));
    bytes::u8(data, bits(a.horz, 7, 0) | bits(a.wrap, 1, 3) | bits(a.vert, 7, 4));
    bytes::u8(data, static_cast<std::uint32_t>(a.rota));
    bytes::u8(data, bits(a.inde, 0xF, 0) | bits(a.shri, 1, 4) | bits(a.merg, 1, 5) | bits(a.dire, 3, 6));
    bytes::u8(data, style_xf ? 0xF4 : 0xF8);
    bytes::u32(data, bits(b.left, 0xF, 0) | bits(b.right, 0xF, 4) | bits(b.top, 0xF, 8) |
                         bits(b.bottom, 0xF, 12) | bits(b.left_colour, 0x7F, 16) |
                         bits(b.right_colour, 0x7F, 23) | bits(b.need_diag1, 1, 30) |
                         bits(b.need_diag2, 1, 31));
    bytes::u32(data, bits(b.top_colour, 0x7F, 0) | bits(b.bottom_colour, 0x7F, 7) |
                         bits(b.diag_colour, 0x7F, 14) | bits(b.diag, 0xF, 21) | bits(p.pattern, 0x3F, 26));
    bytes::u16(data, bits(p.fore_colour, 0x7F, 0) | bits(p.back_colour, 0x7F, 7));
    std::string out;
    bytes::record(out, kXfRecord, data);
    return out;
}

std::string Styles::records() {
    std::string out;
    for (Id id = 0; id < kDefaultFontIndexes.size(); ++id) out += font_record(fonts_.at(id));
    for (Id id : font_slots_) out += font_record(fonts_.at(id));
    for (std::size_t i = 0; i < user_formats_.size(); ++i) {
        std::string data;
        bytes::u16(data, static_cast<std::uint32_t>(kFirstUserFormat + i));
        bytes::text16(data, user_formats_[i]);
        bytes::record(out, kFormatRecord, data);
    }
    for (std::size_t i = 0; i < kStyleXfs; ++i) out += xf_record(default_xf_, true);
    for (const Xf& xf : xfs_) out += xf_record(xf, false);
    std::string style;
    bytes::u16(style, 0x8000);
    bytes::u8(style, 0x00);
    bytes::u8(style, 0xFF);
    bytes::record(out, kStyleRecord, style);
    return out;
}

}  // namespace awb::xls
