// A BIFF8 workbook as its writer holds it, and its file: the same operations give the same
// bytes xlwt 1.3 writes for them (record for record, down to the compound document around the
// workbook stream). Sheets, rows and cells are kept in the order they were first touched, as xlwt
// keeps them; cell styles are XF indexes given by the workbook's Styles; texts go into the shared
// string table in the order of first use. Each save encodes only the rows changed or added since
// the last one. Plain C++, no interpreter objects.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "awb/text.hpp"
#include "awb/xls_styles.hpp"

namespace awb::xls {

inline constexpr std::int64_t kRows = 65536;
inline constexpr std::int64_t kColumns = 256;
inline constexpr std::size_t kLongestText = 32767;

// The shared string table: each text once, in the order of first use over the workbook's life.
// An overwritten cell's text keeps its place, written empty once no cell holds it.
class SharedStrings {
public:
    std::uint32_t add(uview text);  // Refusal for a text over 32,767 characters
    void remove(std::uint32_t index);
    std::size_t size() const { return entries_.size(); }
    ustring text(std::uint32_t index) const;  // the text of a string a cell holds
    // The SST record and its CONTINUE records: pieces of at most 0x2020 bytes, a string's count,
    // flags and first character never split, a split string going on after its flags again.
    std::string records() const;

private:
    struct Entry {
        const std::string* units;  // flags byte, then the characters as stored
        std::uint32_t count;       // characters as stored (UTF-16 units when wide)
        std::uint32_t uses;
    };
    std::unordered_map<std::string, std::uint32_t> index_;
    std::vector<Entry> entries_;
    std::uint32_t uses_ = 0;
};

// A cell's value as a writer gives it: a number, a text (an empty text is a blank cell), a blank,
// a truth value or an error code.
struct CellValue {
    enum class Kind { kNumber, kText, kBlank, kBoolean, kError };
    Kind kind = Kind::kBlank;
    double number = 0;
    ustring text;
    static CellValue of(double n) { return {Kind::kNumber, n, {}}; }
    static CellValue of(ustring t) { return {Kind::kText, 0, std::move(t)}; }
};

// A field of a row's values as a row plan takes it (the text is the caller's while the row is
// written), and where a planned cell stands: its column, the field it takes and its XF.
struct Field {
    CellValue::Kind kind = CellValue::Kind::kBlank;
    double number = 0;
    uview text;
};
struct PlannedCell {
    std::int64_t col;
    std::size_t field;
    std::uint16_t xf;
};

// The date number xlwt writes for a date and time: days since 1899-12-31 (with the 1900 leap day
// that never was) or, in a 1904 workbook, since 1904-01-01; seconds count, their fractions do
// not. A time of day alone is the fraction of its day.
double excel_date(int year, int month, int day, int hour, int minute, int second, bool dates_1904 = false);
double excel_time(int hour, int minute, int second);

// A cell of a row. kBlanks is one record over columns col to `index` (what write_merge leaves),
// the columns after col being kCovered; the other kinds are one cell each.
struct Cell {
    enum class Kind : std::uint8_t { kNumber, kText, kBlank, kBlanks, kBoolean, kError, kCovered };
    std::uint8_t col = 0;
    Kind kind = Kind::kBlank;
    std::uint16_t xf = 0;
    std::uint32_t index = 0;  // text: its string; blanks: the last column; truth value or error code
    double number = 0;
};

// A row's own format (what a ROW record carries beyond its cells).
struct RowFormat {
    int height = 0x00FF;
    int has_default_height = 0;
    int height_mismatch = 0;
    int level = 0;
    int collapse = 0;
    int hidden = 0;
    int space_above = 0;
    int space_below = 0;
};

class Row {
public:
    RowFormat format;
    std::uint16_t index() const { return index_; }
    std::uint16_t xf() const { return xf_; }
    bool has_xf() const { return has_xf_; }
    bool sealed() const { return sealed_; }
    const std::vector<Cell>& cells() const { return cells_; }  // none while the row is sealed

private:
    friend class Sheet;
    std::uint16_t index_ = 0;
    std::uint32_t position_ = 0;  // among the sheet's rows, in the order touched
    std::uint16_t xf_ = 0x0F;
    bool has_xf_ = false;
    bool sealed_ = false;   // kept as its records only
    bool changed_ = false;  // since it was last encoded
    std::uint8_t last_col_ = 0;
    std::vector<Cell> cells_;  // by column
};

// A column's width and format (a COLINFO record), in 1/256 of a character's width.
struct Column {
    std::uint8_t index = 0;
    int width = 0x0B92;
    std::uint16_t xf = 0x0F;
    int hidden = 0;
    int level = 0;
    int collapse = 0;
    int user_set = 0;
    int best_fit = 0;
    int unused = 0;
};

// How a sheet shows (WINDOW2, SCL, PANE), its default row (DEFAULTROWHEIGHT) and whether it is
// hidden (the BOUNDSHEET's visibility: 0 shown, 1 hidden, 2 very hidden).
struct SheetView {
    int show_formulas = 0, show_grid = 1, show_headers = 1, panes_frozen = 0, show_zero_values = 1;
    int auto_colour_grid = 1, cols_right_to_left = 0, show_outline = 1, remove_splits = 0;
    int selected = 0, sheet_visible = 0, page_preview = 0;
    int first_visible_row = 0, first_visible_col = 0, grid_colour = 0x40;
    int preview_magn = 0, normal_magn = 0;
    int row_default_height = 0x00FF, row_default_height_mismatch = 0, row_default_hidden = 0;
    int row_default_space_above = 0, row_default_space_below = 0;
    int visibility = 0;
    // A split or frozen pane: positions in twips (split) or rows and columns (frozen).
    std::optional<double> vert_split_pos, horz_split_pos;
    std::optional<int> vert_split_first_visible, horz_split_first_visible;
    int active_pane = 3;
    bool split_position_units_are_twips = false;
};

class Workbook;

class Sheet {
public:
    const ustring& name() const { return name_; }
    const Workbook& workbook() const { return *book_; }
    SheetView view;

    // A row or column, made on first use (Refusal for an index a sheet has not). A row's format
    // changed through row() counts as a change of the row at the next save.
    Row& row(std::int64_t index);
    Column& col(std::int64_t index);
    void set_col_width(std::int64_t index, std::int64_t width);  // Refusal outside 0 to 65535
    std::size_t row_count() const { return rows_.size(); }       // rows touched, in that order
    const Row& row_at(std::size_t position) const { return rows_.at(position); }

    // What xlwt's write() makes of a value: an empty text is a blank cell.
    void write(std::int64_t row, std::int64_t col, const CellValue& value, std::uint16_t xf);
    // The cells one by one, as xlwt's set_cell_* writes them (a text is a text, empty or not).
    void set_number(std::int64_t row, std::int64_t col, double value, std::uint16_t xf);
    void set_text(std::int64_t row, std::int64_t col, uview text, std::uint16_t xf);
    void set_blank(std::int64_t row, std::int64_t col, std::uint16_t xf);
    void set_boolean(std::int64_t row, std::int64_t col, bool value, std::uint16_t xf);
    void set_error(std::int64_t row, std::int64_t col, int code, std::uint16_t xf);  // Refusal unless known
    // A row written from a plan: its cells in the order planned, each taking one of the row's
    // fields and written as write() would put it (what a row writer hands over at once).
    void write_row(std::int64_t row, const std::vector<PlannedCell>& plan, const std::vector<Field>& fields);
    // One MULBLANK cell over columns first to last of a row, as write_merge leaves it.
    void set_blanks(std::int64_t row, std::int64_t first, std::int64_t last, std::uint16_t xf);
    // The default format of a whole row.
    void set_row_xf(std::int64_t row, std::uint16_t xf);
    // A merged range: its top-left cell holds `value`, the others blanks of the same style.
    void write_merge(std::int64_t r1, std::int64_t r2, std::int64_t c1, std::int64_t c2,
                     const CellValue& value, std::uint16_t xf);

    // The sheet's values as a reader of its file without formats sees them: the rows up to the
    // last one holding a value, each as wide as the widest, a cell without a value (none, a blank)
    // a blank. A sealed row's cells are read from its records.
    std::vector<std::vector<CellValue>> values() const;

    // The sheet's substream (BOF to EOF) in three parts: the records before the rows, the rows'
    // records (kept by the sheet from save to save, each row encoded again only once changed)
    // and the records after them.
    struct Parts {
        std::string head;
        std::string_view rows;
        std::string tail;
        std::size_t size() const { return head.size() + rows.size() + tail.size(); }
    };
    Parts parts();
    // The rows written so far kept as their records only, their cells let go (rows holding a
    // merged range's blanks excepted); a row written again gets its cells back from its records.
    void seal();

private:
    friend class Workbook;
    Sheet(ustring name, Workbook& book, bool overwrite_ok)
        : name_(std::move(name)), book_(&book), overwrite_ok_(overwrite_ok) {}
    Row& cell_row(std::int64_t row, std::int64_t col);
    void bound(Row& row, std::int64_t col);
    void insert(Row& row, const Cell& cell);
    void touched(Row& row);
    void thaw(Row& row);
    std::vector<Cell> decoded(const Row& row) const;  // a sealed row's cells, from its records
    void encode();
    void row_records(const Row& row, std::string& out);

    ustring name_;
    Workbook* book_;
    bool overwrite_ok_;
    std::deque<Row> rows_;
    std::vector<std::int32_t> position_of_row_;  // -1: not touched
    std::deque<Column> cols_;
    std::vector<std::int32_t> position_of_col_;
    std::vector<std::array<std::uint16_t, 4>> merged_;
    std::int64_t first_used_row_ = 65535, last_used_row_ = 0, first_used_col_ = 255, last_used_col_ = 0;
    int row_levels_ = 0;
    // The records of rows [0, encoded_rows_) as last encoded, where each row's begin, and how
    // many of those rows changed since.
    std::string encoded_;
    std::vector<std::size_t> offsets_;
    std::size_t encoded_rows_ = 0;
    std::size_t changed_rows_ = 0;
    std::vector<const Cell*> scratch_cells_;
    std::vector<std::pair<std::int32_t, std::uint16_t>> scratch_run_;
    std::size_t usual_cells_ = 0;  // cells of the last row written: room made for a new row's
};

class Workbook {
public:
    explicit Workbook(Merge merge = Merge::kByObject);
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // A new sheet at the end (Refusal for a name a sheet cannot have, or one taken).
    Sheet& add_sheet(uview name, bool overwrite_ok = false);
    Sheet& sheet(std::size_t index) { return *sheets_.at(index); }
    std::size_t sheet_count() const { return sheets_.size(); }
    Styles& styles() { return styles_; }
    SharedStrings& strings() { return strings_; }
    const SharedStrings& strings() const { return strings_; }

    // The sheet shown when the file opens (and the first tab shown); it is marked selected at
    // each save.
    void set_active_sheet(std::size_t index);
    std::size_t active_sheet() const { return active_sheet_; }
    int dates_1904 = 0;

    std::string stream();  // the workbook stream
    std::string save();    // the whole file
    // The whole file handed over piece by piece, in order (the rows' records without a copy).
    void save_to(const std::function<void(std::string_view)>& write);
    void seal_rows();  // every sheet's rows kept as their records only (Sheet::seal)

private:
    // The globals, then each sheet: what a save writes, in order.
    std::vector<std::string> pieces_;
    std::vector<std::string_view> saved_parts();

    Styles styles_;
    SharedStrings strings_;
    std::vector<std::unique_ptr<Sheet>> sheets_;
    std::size_t active_sheet_ = 0;
    std::size_t first_tab_ = 0;
};

// The compound document around a workbook stream given in pieces, as xlwt lays it out: the
// stream padded to a multiple of 4096 bytes (a whole 4096 more when it is one already), then the
// extra sector allocation sectors past 109 allocation sectors, the allocation table and one
// directory sector.
std::string compound_document(const std::vector<std::string_view>& stream);
using Sink = std::function<void(std::string_view)>;
void write_compound_document(const std::vector<std::string_view>& stream, const Sink& write);

}  // namespace awb::xls
