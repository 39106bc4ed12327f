// The workbook model and its workbook stream, record for record as xlwt 1.3 writes it.
#include "awb/xls_workbook.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "xls_bytes.hpp"

namespace awb::xls {
namespace {

using bytes::record;
using bytes::u16;
using bytes::u32;
using bytes::u8;

constexpr std::uint16_t kBof = 0x0809, kEof = 0x000A;
constexpr std::uint16_t kRow = 0x0208, kLabelSst = 0x00FD, kBlank = 0x0201, kMulBlank = 0x00BE;
constexpr std::uint16_t kRk = 0x027E, kMulRk = 0x00BD, kNumberRecord = 0x0203, kBoolErr = 0x0205;
constexpr std::uint16_t kColInfo = 0x007D, kDimensions = 0x0200, kMergedCells = 0x00E5;
constexpr std::uint16_t kWindow2 = 0x023E, kScl = 0x00A0, kPane = 0x0041, kGuts = 0x0080;
constexpr std::uint16_t kDefaultRowHeight = 0x0225, kWsBool = 0x0081, kBoundSheet = 0x0085;
constexpr std::size_t kMergedPerRecord = 0x403;
constexpr std::array<int, 7> kErrorCodes{0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A};

std::string str(uview text) { return to_utf8(text); }

std::string word_record(std::uint16_t type, std::uint32_t value) {
    std::string data, out;
    u16(data, value);
    record(out, type, data);
    return out;
}

std::string bof(std::uint16_t substream) {
    std::string data, out;
    u16(data, 0x0600);
    u16(data, substream);
    u16(data, 0x0DBB);
    u16(data, 0x07CC);
    u32(data, 0);
    u32(data, 6);
    record(out, kBof, data);
    return out;
}

std::string eof() {
    std::string out;
    record(out, kEof, {});
    return out;
}

// What a number cell is written as: an RK value (an integer of 30 bits, or one hundredth of one)
// when it reads back exactly, else a NUMBER.
std::optional<std::int32_t> rk_of(double number) {
    constexpr double kLimit = 0x20000000;
    if (number >= -kLimit && number < kLimit) {
        double whole = std::trunc(number);
        if (whole == number) return static_cast<std::int32_t>(2 | (static_cast<std::int64_t>(whole) * 4));
    }
    double hundredfold = number * 100;
    if (hundredfold >= -kLimit && hundredfold < kLimit) {
        double rounded = std::nearbyint(hundredfold);
        if (rounded / 100.0 == number && rounded >= -kLimit && rounded < kLimit) {
            return static_cast<std::int32_t>(3 | (static_cast<std::int64_t>(rounded) * 4));
        }
    }
    return std::nullopt;
}

void cell_head(std::string& out, std::uint16_t type, std::uint16_t length, std::uint16_t row,
               std::uint16_t col) {
    u16(out, type);
    u16(out, length);
    u16(out, row);
    u16(out, col);
}

void number_record(std::string& out, std::uint16_t row, const Cell& cell) {
    cell_head(out, kNumberRecord, 14, row, cell.col);
    u16(out, cell.xf);
    bytes::f64(out, cell.number);
}

// The print settings and protection records, the same for every sheet the tools write.
const std::string& print_and_protection() {
    static const std::string records = [] {
        std::string out;
        for (std::uint16_t type : {0x002A, 0x002B})
            out += word_record(type, 0);  // PRINTHEADERS, PRINTGRIDLINES
        out += word_record(0x0082, 1);    // GRIDSET
        out += word_record(0x001B, 0);    // HORIZONTALPAGEBREAKS
        out += word_record(0x001A, 0);    // VERTICALPAGEBREAKS
        std::string header, footer;
        bytes::text16(header, U"&P");
        bytes::text16(footer, U"&F");
        record(out, 0x0014, header);
        record(out, 0x0015, footer);
        out += word_record(0x0083, 1);  // HCENTER
        out += word_record(0x0084, 0);  // VCENTER
        const std::pair<std::uint16_t, double> margins[] = {
            {0x0026, 0.3}, {0x0027, 0.3}, {0x0028, 0.61}, {0x0029, 0.37}};
        for (auto [type, margin] : margins) {
            std::string data;
            bytes::f64(data, margin);
            record(out, type, data);
        }
        std::string setup;
        for (std::uint32_t v : {9u, 100u, 1u, 1u, 1u, 0x83u, 300u, 300u}) u16(setup, v);
        bytes::f64(setup, 0.1);
        bytes::f64(setup, 0.1);
        u16(setup, 1);
        record(out, 0x00A1, setup);
        for (std::uint16_t type : {0x0012, 0x00DD, 0x0019, 0x0063, 0x0013}) out += word_record(type, 0);
        return out;
    }();
    return records;
}

const std::string& calc_settings() {
    static const std::string records = [] {
        std::string out = word_record(0x000D, 1) + word_record(0x000C, 100) + word_record(0x000F, 1) +
                          word_record(0x0011, 0);
        std::string delta;
        bytes::f64(delta, 0.001);
        record(out, 0x0010, delta);
        out += word_record(0x005F, 0);
        return out;
    }();
    return records;
}

Refusal column_refusal(std::int64_t col) {
    return Refusal("column index (" + std::to_string(col) + ") not an int in range(256)");
}

}  // namespace

Row& Sheet::row(std::int64_t index) {
    if (index < 0 || index >= kRows) {
        throw Refusal("row index was " + std::to_string(index) + ", not allowed by .xls format");
    }
    auto at = static_cast<std::size_t>(index);
    if (position_of_row_.size() <= at) position_of_row_.resize(at + 1, -1);
    std::int32_t& position = position_of_row_[at];
    if (position < 0) {
        position = static_cast<std::int32_t>(rows_.size());
        Row& made = rows_.emplace_back();
        made.index_ = static_cast<std::uint16_t>(index);
        made.position_ = static_cast<std::uint32_t>(position);
        last_used_row_ = std::max(last_used_row_, index);
        first_used_row_ = std::min(first_used_row_, index);
        return made;
    }
    Row& found = rows_[static_cast<std::size_t>(position)];
    touched(found);
    return found;
}

Column& Sheet::col(std::int64_t index) {
    if (index < 0 || index >= kColumns) throw column_refusal(index);
    auto at = static_cast<std::size_t>(index);
    if (position_of_col_.size() <= at) position_of_col_.resize(at + 1, -1);
    std::int32_t& position = position_of_col_[at];
    if (position < 0) {
        position = static_cast<std::int32_t>(cols_.size());
        Column& made = cols_.emplace_back();
        made.index = static_cast<std::uint8_t>(index);
        return made;
    }
    return cols_[static_cast<std::size_t>(position)];
}

void Sheet::set_col_width(std::int64_t index, std::int64_t width) {
    Column& column = col(index);
    if (width < 0 || width > 65535) {
        throw Refusal("column width (" + std::to_string(width) + ") not an int in range(65536)");
    }
    column.width = static_cast<int>(width);
}

void Sheet::touched(Row& row) {
    if (row.sealed_) thaw(row);
    if (row.position_ < encoded_rows_ && !row.changed_) {
        row.changed_ = true;
        ++changed_rows_;
    }
}

// A sealed row's cells read back from its records (the kinds a sealed row can hold).
void Sheet::thaw(Row& row) {
    row.cells_ = decoded(row);
    row.sealed_ = false;
}

std::vector<Cell> Sheet::decoded(const Row& row) const {
    std::size_t at = offsets_[row.position_];
    std::size_t end = row.position_ + 1 < offsets_.size() ? offsets_[row.position_ + 1] : encoded_.size();
    auto word = [&](std::size_t i) {
        return static_cast<std::uint16_t>(static_cast<std::uint8_t>(encoded_[i]) |
                                          static_cast<std::uint8_t>(encoded_[i + 1]) << 8);
    };
    auto dword = [&](std::size_t i) { return static_cast<std::uint32_t>(word(i) | word(i + 2) << 16); };
    auto rk = [](std::uint32_t value) {
        double number = static_cast<double>(static_cast<std::int32_t>(value) >> 2);
        return value & 1 ? number / 100.0 : number;
    };
    std::vector<Cell> cells;
    while (at + 4 <= end) {
        std::uint16_t type = word(at), length = word(at + 2);
        std::size_t data = at + 4;
        auto col = static_cast<std::uint8_t>(word(data + 2));
        switch (type) {
        case kRk:
            cells.push_back({col, Cell::Kind::kNumber, word(data + 4), 0, rk(dword(data + 6))});
            break;
        case kMulRk:
            for (std::size_t i = 0; 6 * i + 6 < length; ++i) {
                std::size_t cell = data + 4 + 6 * i;
                cells.push_back({static_cast<std::uint8_t>(col + i), Cell::Kind::kNumber, word(cell), 0,
                                 rk(dword(cell + 2))});
            }
            break;
        case kNumberRecord: {
            std::uint64_t bits = dword(data + 6) | static_cast<std::uint64_t>(dword(data + 10)) << 32;
            double number;
            std::memcpy(&number, &bits, sizeof number);
            cells.push_back({col, Cell::Kind::kNumber, word(data + 4), 0, number});
            break;
        }
        case kLabelSst:
            cells.push_back({col, Cell::Kind::kText, word(data + 4), dword(data + 6), 0});
            break;
        case kBlank:
            cells.push_back({col, Cell::Kind::kBlank, word(data + 4), 0, 0});
            break;
        case kMulBlank:
            for (std::size_t i = 0; 2 * i + 6 < length; ++i) {
                cells.push_back(
                    {static_cast<std::uint8_t>(col + i), Cell::Kind::kBlank, word(data + 4 + 2 * i), 0, 0});
            }
            break;
        case kBoolErr: {
            bool error = encoded_[data + 7] != 0;
            cells.push_back({col, error ? Cell::Kind::kError : Cell::Kind::kBoolean, word(data + 4),
                             static_cast<std::uint8_t>(encoded_[data + 6]), 0});
            break;
        }
        default:  // the ROW record
            break;
        }
        at = data + length;
    }
    std::sort(cells.begin(), cells.end(), [](const Cell& a, const Cell& b) { return a.col < b.col; });
    return cells;
}

std::vector<std::vector<CellValue>> Sheet::values() const {
    std::vector<std::pair<std::size_t, std::vector<Cell>>> held;  // rows holding a value
    std::size_t height = 0, width = 0;
    for (const Row& row : rows_) {
        std::vector<Cell> cells = row.sealed_ ? decoded(row) : row.cells_;
        cells.erase(std::remove_if(cells.begin(), cells.end(),
                                   [](const Cell& c) {
                                       return c.kind == Cell::Kind::kBlank || c.kind == Cell::Kind::kBlanks ||
                                              c.kind == Cell::Kind::kCovered;
                                   }),
                    cells.end());
        if (cells.empty()) continue;
        height = std::max<std::size_t>(height, row.index_ + 1u);
        width = std::max<std::size_t>(width, cells.back().col + 1u);
        held.emplace_back(row.index_, std::move(cells));
    }
    std::vector<std::vector<CellValue>> values(height, std::vector<CellValue>(width));
    for (const auto& [index, cells] : held) {
        for (const Cell& cell : cells) {
            CellValue& value = values[index][cell.col];
            switch (cell.kind) {
            case Cell::Kind::kNumber:
                value = CellValue::of(cell.number);
                break;
            case Cell::Kind::kText:
                value = CellValue::of(book_->strings().text(cell.index));
                break;
            case Cell::Kind::kBoolean:
                value = {CellValue::Kind::kBoolean, static_cast<double>(cell.index), {}};
                break;
            default:
                value = {CellValue::Kind::kError, static_cast<double>(cell.index), {}};
                break;
            }
        }
    }
    return values;
}

void Sheet::seal() {
    encode();
    for (Row& row : rows_) {
        bool merged = std::any_of(row.cells_.begin(), row.cells_.end(),
                                  [](const Cell& c) { return c.kind == Cell::Kind::kBlanks; });
        if (row.sealed_ || merged) continue;
        std::vector<Cell>().swap(row.cells_);
        row.sealed_ = true;
    }
}

void Sheet::bound(Row& row, std::int64_t col) {
    if (col < 0 || col >= kColumns) throw column_refusal(col);
    row.last_col_ = std::max<std::uint8_t>(row.last_col_, static_cast<std::uint8_t>(col));
    first_used_col_ = std::min(first_used_col_, col);
    last_used_col_ = std::max(last_used_col_, col);
}

Row& Sheet::cell_row(std::int64_t row_index, std::int64_t col) {
    Row& target = row(row_index);
    bound(target, col);
    return target;
}

void Sheet::insert(Row& row, const Cell& cell) {
    touched(row);
    if (row.cells_.empty()) row.cells_.reserve(std::max<std::size_t>(usual_cells_, 1));
    if (row.cells_.empty() || row.cells_.back().col < cell.col) {  // the usual case: left to right
        row.cells_.push_back(cell);
        usual_cells_ = row.cells_.size();
        return;
    }
    auto at = std::lower_bound(row.cells_.begin(), row.cells_.end(), cell.col,
                               [](const Cell& c, std::uint8_t k) { return c.col < k; });
    if (at != row.cells_.end() && at->col == cell.col) {
        if (!overwrite_ok_) {
            throw Refusal("Attempt to overwrite cell: sheetname='" + str(name_) +
                          "' rowx=" + std::to_string(row.index_) + " colx=" + std::to_string(cell.col));
        }
        if (at->kind == Cell::Kind::kText) book_->strings().remove(at->index);
        *at = cell;
        return;
    }
    row.cells_.insert(at, cell);
    usual_cells_ = row.cells_.size();
}

void Sheet::write(std::int64_t row_index, std::int64_t col, const CellValue& value, std::uint16_t xf) {
    switch (value.kind) {
    case CellValue::Kind::kNumber:
        return set_number(row_index, col, value.number, xf);
    case CellValue::Kind::kText:
        if (!value.text.empty()) return set_text(row_index, col, value.text, xf);
        return set_blank(row_index, col, xf);
    case CellValue::Kind::kBoolean:
        return set_boolean(row_index, col, value.number != 0, xf);
    case CellValue::Kind::kError:
        return set_error(row_index, col, static_cast<int>(value.number), xf);
    case CellValue::Kind::kBlank:
        break;
    }
    set_blank(row_index, col, xf);
}

void Sheet::write_row(std::int64_t row_index, const std::vector<PlannedCell>& plan,
                      const std::vector<Field>& fields) {
    Row& target = row(row_index);
    for (const PlannedCell& planned : plan) {
        const Field& field = fields.at(planned.field);
        bound(target, planned.col);
        auto col = static_cast<std::uint8_t>(planned.col);
        switch (field.kind) {
        case CellValue::Kind::kNumber:
            insert(target, {col, Cell::Kind::kNumber, planned.xf, 0, field.number});
            break;
        case CellValue::Kind::kText:
            if (!field.text.empty()) {
                insert(target, {col, Cell::Kind::kText, planned.xf, book_->strings().add(field.text), 0});
                break;
            }
            [[fallthrough]];
        case CellValue::Kind::kBlank:
            insert(target, {col, Cell::Kind::kBlank, planned.xf, 0, 0});
            break;
        case CellValue::Kind::kBoolean:
        case CellValue::Kind::kError:
            write(row_index, planned.col, {field.kind, field.number, {}}, planned.xf);
            break;
        }
    }
}

void Sheet::set_number(std::int64_t row_index, std::int64_t col, double value, std::uint16_t xf) {
    Row& target = cell_row(row_index, col);
    insert(target, {static_cast<std::uint8_t>(col), Cell::Kind::kNumber, xf, 0, value});
}

void Sheet::set_text(std::int64_t row_index, std::int64_t col, uview text, std::uint16_t xf) {
    Row& target = cell_row(row_index, col);
    std::uint32_t string = book_->strings().add(text);
    insert(target, {static_cast<std::uint8_t>(col), Cell::Kind::kText, xf, string, 0});
}

void Sheet::set_blank(std::int64_t row_index, std::int64_t col, std::uint16_t xf) {
    Row& target = cell_row(row_index, col);
    insert(target, {static_cast<std::uint8_t>(col), Cell::Kind::kBlank, xf, 0, 0});
}

void Sheet::set_boolean(std::int64_t row_index, std::int64_t col, bool value, std::uint16_t xf) {
    Row& target = cell_row(row_index, col);
    insert(target, {static_cast<std::uint8_t>(col), Cell::Kind::kBoolean, xf, value ? 1u : 0u, 0});
}

void Sheet::set_error(std::int64_t row_index, std::int64_t col, int code, std::uint16_t xf) {
    Row& target = cell_row(row_index, col);
    if (std::find(kErrorCodes.begin(), kErrorCodes.end(), code) == kErrorCodes.end()) {
        throw Refusal("Illegal error value (" + std::to_string(code) + ")");
    }
    insert(target,
           {static_cast<std::uint8_t>(col), Cell::Kind::kError, xf, static_cast<std::uint32_t>(code), 0});
}

void Sheet::set_blanks(std::int64_t row_index, std::int64_t first, std::int64_t last, std::uint16_t xf) {
    if (first < 0 || first > last || last >= kColumns) throw Refusal("blank columns out of order or range");
    Row& target = row(row_index);
    bound(target, first);
    bound(target, last);
    insert(target,
           {static_cast<std::uint8_t>(first), Cell::Kind::kBlanks, xf, static_cast<std::uint32_t>(last), 0});
    for (std::int64_t col = first + 1; col <= last; ++col) {
        insert(target, {static_cast<std::uint8_t>(col), Cell::Kind::kCovered, 0, 0, 0});
    }
}

void Sheet::set_row_xf(std::int64_t row_index, std::uint16_t xf) {
    Row& target = row(row_index);
    target.xf_ = xf;
    target.has_xf_ = true;
}

void Sheet::write_merge(std::int64_t r1, std::int64_t r2, std::int64_t c1, std::int64_t c2,
                        const CellValue& value, std::uint16_t xf) {
    if (!(0 <= c1 && c1 <= c2 && c2 < kColumns && 0 <= r1 && r1 <= r2 && r2 < kRows)) {
        throw Refusal("merged range out of order or range");
    }
    write(r1, c1, value, xf);
    if (c2 > c1) set_blanks(r1, c1 + 1, c2, xf);
    for (std::int64_t r = r1 + 1; r <= r2; ++r) set_blanks(r, c1, c2, xf);
    merged_.push_back({static_cast<std::uint16_t>(r1), static_cast<std::uint16_t>(r2),
                       static_cast<std::uint16_t>(c1), static_cast<std::uint16_t>(c2)});
}

// A row's ROW record and its cells: runs of adjacent RK numbers and of adjacent blanks become
// MULRK and MULBLANK records.
void Sheet::row_records(const Row& row, std::string& out) {
    const RowFormat& f = row.format;
    cell_head(out, kRow, 16, row.index_, 0);
    u16(out, row.last_col_ + 1u);
    u16(out, (static_cast<std::uint32_t>(f.height) & 0x7FFF) | ((f.has_default_height & 1u) << 15));
    u16(out, 0);
    u16(out, 0);
    u32(out, (f.level & 7u) | ((f.collapse & 1u) << 4) | ((f.hidden & 1u) << 5) |
                 ((f.height_mismatch & 1u) << 6) | ((row.has_xf_ ? 1u : 0u) << 7) | (1u << 8) |
                 ((row.xf_ & 0xFFFu) << 16) | ((f.space_above & 1u) << 28) | ((f.space_below & 1u) << 29));
    std::vector<const Cell*>& cells = scratch_cells_;
    cells.clear();
    for (const Cell& cell : row.cells_) {
        if (cell.kind != Cell::Kind::kCovered) cells.push_back(&cell);
    }
    const std::uint16_t r = row.index_;
    std::size_t i = 0;
    while (i < cells.size()) {
        const Cell& first = *cells[i];
        std::optional<std::int32_t> first_rk;
        if (first.kind == Cell::Kind::kNumber) {
            first_rk = rk_of(first.number);
            if (!first_rk) {
                number_record(out, r, first);
                ++i;
                continue;
            }
        } else if (first.kind != Cell::Kind::kBlank) {
            switch (first.kind) {
            case Cell::Kind::kText:
                cell_head(out, kLabelSst, 10, r, first.col);
                u16(out, first.xf);
                u32(out, first.index);
                break;
            case Cell::Kind::kBlanks: {
                std::uint32_t count = first.index - first.col + 1;
                cell_head(out, kMulBlank, static_cast<std::uint16_t>(2 * count + 6), r, first.col);
                for (std::uint32_t k = 0; k < count; ++k) u16(out, first.xf);
                u16(out, first.index);
                break;
            }
            default:  // a truth value or an error code
                cell_head(out, kBoolErr, 8, r, first.col);
                u16(out, first.xf);
                u8(out, first.index);
                u8(out, first.kind == Cell::Kind::kError ? 1 : 0);
                break;
            }
            ++i;
            continue;
        }
        // A run from cell i: adjacent cells of the same kind; a NUMBER ends a run of numbers
        // and is written after it.
        std::vector<std::pair<std::int32_t, std::uint16_t>>& run = scratch_run_;
        run.assign(1, {first_rk.value_or(0), first.xf});
        const Cell* ends_run = nullptr;
        std::size_t last_col = first.col;
        std::size_t next = i + 1;
        for (; next < cells.size(); ++next) {
            const Cell& cell = *cells[next];
            if (cell.col != last_col + 1 || cell.kind != first.kind) break;
            if (first.kind == Cell::Kind::kNumber) {
                std::optional<std::int32_t> rk = rk_of(cell.number);
                if (!rk) {
                    ends_run = &cell;
                    ++next;
                    break;
                }
                run.emplace_back(*rk, cell.xf);
            } else {
                run.emplace_back(0, cell.xf);
            }
            last_col = cell.col;
        }
        if (first.kind == Cell::Kind::kNumber) {
            if (run.size() == 1) {
                cell_head(out, kRk, 10, r, first.col);
                u16(out, first.xf);
                u32(out, static_cast<std::uint32_t>(run[0].first));
            } else {
                cell_head(out, kMulRk, static_cast<std::uint16_t>(6 * run.size() + 6), r, first.col);
                for (auto [rk, xf] : run) {
                    u16(out, xf);
                    u32(out, static_cast<std::uint32_t>(rk));
                }
                u16(out, static_cast<std::uint32_t>(last_col));
            }
        } else if (run.size() == 1) {
            cell_head(out, kBlank, 6, r, first.col);
            u16(out, first.xf);
        } else {
            cell_head(out, kMulBlank, static_cast<std::uint16_t>(2 * run.size() + 6), r, first.col);
            for (auto [unused, xf] : run) u16(out, xf);
            u16(out, static_cast<std::uint32_t>(last_col));
        }
        if (ends_run) number_record(out, r, *ends_run);
        i = next;
    }
}

// The rows changed since they were last encoded are encoded again in their places, and the rows
// added since after them.
void Sheet::encode() {
    if (changed_rows_ > 0) {
        std::string fresh;
        fresh.reserve(encoded_.size());
        std::vector<std::size_t> offsets;
        offsets.reserve(offsets_.size());
        for (std::size_t p = 0; p < encoded_rows_; ++p) {
            offsets.push_back(fresh.size());
            Row& row = rows_[p];
            if (row.changed_) {
                row_records(row, fresh);
                row.changed_ = false;
            } else {
                std::size_t end = p + 1 < offsets_.size() ? offsets_[p + 1] : encoded_.size();
                fresh.append(encoded_, offsets_[p], end - offsets_[p]);
            }
        }
        encoded_.swap(fresh);
        offsets_.swap(offsets);
        changed_rows_ = 0;
    }
    for (; encoded_rows_ < rows_.size(); ++encoded_rows_) {
        offsets_.push_back(encoded_.size());
        row_records(rows_[encoded_rows_], encoded_);
    }
}

Sheet::Parts Sheet::parts() {
    encode();

    Parts parts;
    std::string& head = parts.head;
    head = bof(0x0010) + calc_settings();
    if (!rows_.empty()) {
        int deepest = 0;
        for (const Row& row : rows_) deepest = std::max(deepest, row.format.level);
        row_levels_ = std::max(row_levels_, deepest + 1);
    }
    int col_levels = 0;
    if (!cols_.empty()) {
        int deepest = 0;
        for (const Column& column : cols_) deepest = std::max(deepest, column.level);
        col_levels = deepest + 1;
    }
    std::string data;
    for (std::uint32_t v :
         {0u, 0u, static_cast<std::uint32_t>(row_levels_), static_cast<std::uint32_t>(col_levels)}) {
        u16(data, v);
    }
    record(head, kGuts, data);
    data.clear();
    u16(data, (view.row_default_height_mismatch & 1u) | ((view.row_default_hidden & 1u) << 1) |
                  ((view.row_default_space_above & 1u) << 2) | ((view.row_default_space_below & 1u) << 3));
    u16(data, static_cast<std::uint32_t>(view.row_default_height));
    record(head, kDefaultRowHeight, data);
    head += word_record(kWsBool, 0x0C01);
    for (const Column& c : cols_) {
        data.clear();
        u16(data, c.index);
        u16(data, c.index);
        u16(data, static_cast<std::uint32_t>(c.width));
        u16(data, c.xf);
        u16(data, (c.hidden & 1u) | ((c.user_set & 1u) << 1) | ((c.best_fit & 1u) << 2) |
                      ((c.level & 7u) << 8) | ((c.collapse & 1u) << 12));
        u16(data, static_cast<std::uint32_t>(c.unused));
        record(head, kColInfo, data);
    }
    data.clear();
    bool empty = first_used_row_ > last_used_row_ || first_used_col_ > last_used_col_;
    u32(data, empty ? 0 : static_cast<std::uint32_t>(first_used_row_));
    u32(data, empty ? 0 : static_cast<std::uint32_t>(last_used_row_ + 1));
    u16(data, empty ? 0 : static_cast<std::uint32_t>(first_used_col_));
    u16(data, empty ? 0 : static_cast<std::uint32_t>(last_used_col_ + 1));
    u16(data, 0);
    record(head, kDimensions, data);
    head += print_and_protection();

    parts.rows = encoded_;

    std::string& tail = parts.tail;
    for (std::size_t i = merged_.size(); i > 0;) {  // the last range first
        std::size_t count = std::min(kMergedPerRecord, i);
        u16(tail, kMergedCells);
        u16(tail, static_cast<std::uint32_t>(8 * count + 2));
        u16(tail, static_cast<std::uint32_t>(count));
        for (std::size_t k = 0; k < count; ++k) {
            --i;
            for (std::uint16_t v : merged_[i]) u16(tail, v);
        }
    }
    const SheetView& v = view;
    std::uint32_t options =
        (v.show_formulas & 1u) | ((v.show_grid & 1u) << 1) | ((v.show_headers & 1u) << 2) |
        ((v.panes_frozen & 1u) << 3) | ((v.show_zero_values & 1u) << 4) | ((v.auto_colour_grid & 1u) << 5) |
        ((v.cols_right_to_left & 1u) << 6) | ((v.show_outline & 1u) << 7) | ((v.remove_splits & 1u) << 8) |
        ((v.selected & 1u) << 9) | ((v.sheet_visible & 1u) << 10) | ((v.page_preview & 1u) << 11);
    data.clear();
    for (int field : {static_cast<int>(options), v.first_visible_row, v.first_visible_col, v.grid_colour, 0,
                      v.preview_magn, v.normal_magn}) {
        u16(data, static_cast<std::uint32_t>(field));
    }
    u32(data, 0);
    record(tail, kWindow2, data);
    // The magnification of the view shown, unless it is that view's default.
    int scl = v.page_preview ? v.preview_magn : v.normal_magn;
    if (scl != (v.page_preview ? 60 : 100) && scl != 0) {
        data.clear();
        u16(data, static_cast<std::uint32_t>(scl));
        u16(data, 100);
        record(tail, kScl, data);
    }
    if (view.vert_split_pos || view.horz_split_pos) {
        SheetView& p = view;
        if (!p.vert_split_pos) p.vert_split_pos = 0;
        if (!p.horz_split_pos) p.horz_split_pos = 0;
        int active = p.active_pane;
        if (p.panes_frozen) {
            if (!p.vert_split_first_visible) p.vert_split_first_visible = static_cast<int>(*p.vert_split_pos);
            if (!p.horz_split_first_visible) p.horz_split_first_visible = static_cast<int>(*p.horz_split_pos);
            bool left = *p.vert_split_pos > 0, top = *p.horz_split_pos > 0;
            active = left && top ? 0 : left ? 1 : top ? 2 : 3;
        } else {
            if (!p.vert_split_first_visible) p.vert_split_first_visible = 0;
            if (!p.horz_split_first_visible) p.horz_split_first_visible = 0;
            if (!p.split_position_units_are_twips) {
                if (*p.horz_split_pos > 0) p.horz_split_pos = 20 * *p.horz_split_pos + 255;
                if (*p.vert_split_pos > 0) p.vert_split_pos = 113.879 * *p.vert_split_pos + 390;
            }
        }
        bool left = *p.vert_split_pos > 0, top = *p.horz_split_pos > 0;
        bool allowed = (left && top) || active == 3 || (left && active == 1) || (top && active == 2);
        if (!allowed) throw Refusal("Cannot set active_pane to " + std::to_string(active));
        data.clear();
        for (int field : {static_cast<int>(*p.vert_split_pos), static_cast<int>(*p.horz_split_pos),
                          *p.horz_split_first_visible, *p.vert_split_first_visible, active}) {
            u16(data, static_cast<std::uint32_t>(field));
        }
        record(tail, kPane, data);
    }
    tail += eof();
    return parts;
}

Workbook::Workbook(Merge merge) : styles_(merge) {}

Sheet& Workbook::add_sheet(uview name, bool overwrite_ok) {
    bool valid = !name.empty() && name[0] != U'\'' && name.size() <= 31 &&
                 name.find_first_of(uview(U"[]:\\?/*\0", 8)) == uview::npos;
    if (!valid) throw Refusal("invalid worksheet name '" + str(name) + "'");
    for (const auto& sheet : sheets_) {
        if (equal_ignoring_case(sheet->name(), name))
            throw Refusal("duplicate worksheet name '" + str(name) + "'");
    }
    sheets_.push_back(std::unique_ptr<Sheet>(new Sheet(ustring(name), *this, overwrite_ok)));
    return *sheets_.back();
}

void Workbook::set_active_sheet(std::size_t index) {
    active_sheet_ = index & 0xFFFF;
    first_tab_ = active_sheet_;
}

std::vector<std::string_view> Workbook::saved_parts() {
    if (active_sheet_ >= sheets_.size()) throw Refusal("list index out of range");
    std::string before = bof(0x0005);
    record(before, 0x00E1, std::string("\xB0\x04", 2));  // INTERFACEHDR
    before += word_record(0x00C1, 0);                    // MMS
    record(before, 0x00E2, {});                          // INTERFACEEND
    std::string owner = "None";
    owner.resize(0x70, ' ');
    record(before, 0x005C, owner);          // WRITEACCESS
    before += word_record(0x0042, 0x04B0);  // CODEPAGE: UTF-16
    before += word_record(0x0161, 0);       // DSF
    std::string tabs;
    for (std::size_t i = 0; i < sheets_.size(); ++i) u16(tabs, static_cast<std::uint32_t>(i + 1));
    record(before, 0x013D, tabs);                        // TABID
    record(before, 0x009C, std::string("\x0E\x00", 2));  // FNGROUPCOUNT
    for (std::uint16_t type : {0x0019, 0x0012, 0x0063, 0x0013, 0x01AF, 0x01BC, 0x0040, 0x008D}) {
        before += word_record(type, 0);  // protection, backup, objects shown
    }
    std::string window;
    for (std::uint32_t v :
         {0x01E0u, 0x005Au, 0x3FCFu, 0x2A4Eu, 0x38u, static_cast<std::uint32_t>(active_sheet_),
          static_cast<std::uint32_t>(first_tab_), 1u, 0x0258u}) {
        u16(window, v);
    }
    record(before, 0x003D, window);                     // WINDOW1
    before += word_record(0x0022, dates_1904 ? 1 : 0);  // DATEMODE
    before += word_record(0x000E, 1);                   // PRECISION
    before += word_record(0x01B7, 0);                   // REFRESHALL
    before += word_record(0x00DA, 0);                   // BOOKBOOL
    before += styles_.records();
    before += word_record(0x0160, 1);  // USESELFS
    std::string after = strings_.records();
    std::string end = eof();

    sheets_[active_sheet_]->view.selected = 1;
    std::vector<Sheet::Parts> sheet_parts;
    sheet_parts.reserve(sheets_.size());
    for (auto& sheet : sheets_) sheet_parts.push_back(sheet->parts());

    std::size_t bound_length = 0;
    std::vector<std::string> names;
    for (auto& sheet : sheets_) {
        std::string name;
        bytes::text8(name, sheet->name());
        bound_length += 4 + 6 + name.size();
        names.push_back(std::move(name));
    }
    std::size_t start = before.size() + bound_length + after.size() + end.size();
    std::string bound;
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        std::string data;
        u32(data, static_cast<std::uint32_t>(start));
        u8(data, static_cast<std::uint32_t>(sheets_[i]->view.visibility));
        u8(data, 0);
        data += names[i];
        record(bound, kBoundSheet, data);
        start += sheet_parts[i].size();
    }
    pieces_.clear();
    pieces_.reserve(1 + 2 * sheets_.size());
    pieces_.push_back(before + bound + after + end);
    for (Sheet::Parts& parts : sheet_parts) {
        pieces_.push_back(std::move(parts.head));
        pieces_.push_back(std::move(parts.tail));
    }
    std::vector<std::string_view> views{pieces_[0]};
    for (std::size_t k = 0; k < sheet_parts.size(); ++k) {
        views.insert(views.end(), {pieces_[1 + 2 * k], sheet_parts[k].rows, pieces_[2 + 2 * k]});
    }
    return views;
}

std::string Workbook::stream() {
    std::string out;
    for (std::string_view part : saved_parts()) out += part;
    return out;
}

std::string Workbook::save() { return compound_document(saved_parts()); }

void Workbook::save_to(const std::function<void(std::string_view)>& write) {
    write_compound_document(saved_parts(), write);
}

void Workbook::seal_rows() {
    for (auto& sheet : sheets_) sheet->seal();
}

}  // namespace awb::xls
