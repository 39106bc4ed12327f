// The workbook writer: its records, string table, styles, container and refusals, the model of a
// read workbook, and the tools' analysis workbook.
#include <doctest/doctest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "awb/analysis_workbook.hpp"
#include "awb/xls_copy.hpp"
#include "awb/xls_workbook.hpp"
#include "test_support.hpp"

namespace awb::xls {
namespace {

using test::u;

std::uint32_t word(std::string_view data, std::size_t at) {
    return static_cast<std::uint8_t>(data[at]) | static_cast<std::uint8_t>(data[at + 1]) << 8;
}
std::uint32_t dword(std::string_view data, std::size_t at) {
    return word(data, at) | word(data, at + 2) << 16;
}

struct Record {
    std::uint32_t type;
    std::string data;
};
std::vector<Record> records(std::string_view stream) {
    std::vector<Record> out;
    for (std::size_t at = 0; at + 4 <= stream.size(); at += 4 + word(stream, at + 2)) {
        out.push_back({word(stream, at), std::string(stream.substr(at + 4, word(stream, at + 2)))});
    }
    return out;
}
std::vector<std::uint32_t> types(std::string_view stream) {
    std::vector<std::uint32_t> out;
    for (const Record& r : records(stream)) out.push_back(r.type);
    return out;
}
std::string rows_of(Sheet& sheet) { return std::string(sheet.parts().rows); }

constexpr std::uint32_t kRow = 0x208, kRk = 0x27E, kMulRk = 0xBD, kNumber = 0x203, kBlank = 0x201;
constexpr std::uint32_t kMulBlank = 0xBE, kLabelSst = 0xFD, kSst = 0xFC, kContinue = 0x3C;

TEST_CASE("numbers are RK values when they read back exactly and runs of them and of blanks are joined") {
    Workbook book;
    Sheet& sheet = book.add_sheet(U"N");
    std::uint16_t xf = book.styles().default_cell_xf();
    const double numbers[] = {1,          -0.0,       536870911, 1.23, 0.1234,
                              5368709.11, -536870912, 536870912, NAN,  INFINITY};
    for (std::size_t c = 0; c < std::size(numbers); ++c)
        sheet.set_number(0, static_cast<std::int64_t>(c), numbers[c], xf);
    // 1, -0, 2^29-1, 1.23 (x100) join; 0.1234 is a NUMBER that ends the run; 5368709.11 and -2^29
    // join again; 2^29, NaN and infinity are NUMBERs.
    CHECK(types(rows_of(sheet)) ==
          std::vector<std::uint32_t>{kRow, kMulRk, kNumber, kMulRk, kNumber, kNumber, kNumber});
    std::vector<Record> row = records(rows_of(sheet));
    CHECK(dword(row[1].data, 12) == 2u);                    // -0.0: the integer 0
    CHECK(dword(row[1].data, 24) == (123u << 2 | 3u));      // 1.23: 123 hundredths
    CHECK(word(row[1].data, row[1].data.size() - 2) == 3);  // the run's last column
    CHECK(dword(row[3].data, 12) == static_cast<std::uint32_t>(-536870912 * 4 + 2));

    sheet.write(1, 3, CellValue{}, xf);
    sheet.write(1, 4, CellValue::of(U""), xf);  // an empty text is a blank
    sheet.write(1, 5, CellValue::of(U"x"), xf);
    sheet.write(1, 6, CellValue::of(7.0), xf);
    sheet.set_blanks(1, 8, 9, xf);  // one record of its own, even beside other blanks
    sheet.write(1, 10, CellValue{}, xf);
    std::vector<Record> second = records(rows_of(sheet));
    CHECK(types(rows_of(sheet)).back() == kBlank);
    CHECK(second[8].type == kMulBlank);
    CHECK(second[9].type == kLabelSst);
    CHECK(second[10].type == kRk);
    CHECK(second[11].type == kMulBlank);
    CHECK(word(second[7].data, 2) == 0);  // ROW: first column 0, last column + 1
    CHECK(word(second[7].data, 4) == 11);
}

TEST_CASE(
    "the string table keeps first use order in pieces of 0x2020 bytes and a split string goes on after its flags") {
    Workbook book;
    Sheet& sheet = book.add_sheet(U"S", true);
    std::uint16_t xf = book.styles().default_cell_xf();
    sheet.set_text(0, 0, ustring(5000, U'中'), xf);
    sheet.set_text(1, 0, U"b", xf);
    sheet.set_text(2, 0, U"b", xf);
    sheet.set_text(2, 0, U"c", xf);  // "b" is held once now
    sheet.set_text(0, 0, U"a", xf);  // the wide text is held by no cell: written empty
    std::vector<Record> table = records(book.strings().records());
    REQUIRE(table.size() == 1);
    CHECK(dword(table[0].data, 0) == 3);  // uses: a, b, c
    CHECK(dword(table[0].data, 4) == 4);  // unique, the orphan included
    CHECK(table[0].data.substr(8, 3) == std::string("\0\0\0", 3));

    Workbook wide;
    Sheet& s = wide.add_sheet(U"W");
    s.set_text(0, 0, ustring(5000, U'中'), xf);
    s.set_text(0, 1, U"é", xf);
    std::vector<Record> pieces = records(wide.strings().records());
    REQUIRE(pieces.size() == 2);
    CHECK(pieces[0].type == kSst);
    CHECK(pieces[0].data.size() == 0x2020 - 1);  // counts, count and flags, 4106 characters
    CHECK(pieces[1].type == kContinue);
    CHECK(pieces[1].data[0] == '\1');  // the rest of the wide string, flags first
    CHECK(pieces[1].data.size() == 1 + 2 * (5000 - 4106) + 4);
    CHECK(pieces[1].data.substr(pieces[1].data.size() - 4) == std::string("\1\0\0\xE9", 4));
}

TEST_CASE("styles told apart by their objects or by their values with fonts from 6 and formats from 164") {
    for (Merge merge : {Merge::kByObject, Merge::kByValue}) {
        Styles styles(merge);
        Styles::Style first = styles.style(), second = styles.style();
        Font bold;
        bold.bold = 1;
        first.font = styles.font(bold);
        second.num_format = U"YYYYMMDD";
        Styles::Style third = styles.style();
        CHECK(styles.add(first) == 0x11);
        CHECK(styles.add(first) == 0x11);
        CHECK(styles.add(second) == 0x12);
        CHECK(styles.add(third) == (merge == Merge::kByValue ? 0x10 : 0x13));  // built alike as the default
        std::vector<Record> written = records(styles.records());
        std::size_t fonts = 0, formats = 0;
        for (const Record& r : written) {
            fonts += r.type == 0x31;
            if (r.type == 0x41E) CHECK(word(r.data, 0) == 164 + formats++);  // General, YYYYMMDD
        }
        CHECK(formats == 2);
        CHECK(fonts == (merge == Merge::kByValue ? 6u : 9u));  // five defaults, then each new one
    }
    Styles many(Merge::kByObject);
    for (int i = 0x11; i < 0xFFF; ++i) many.add(many.style());
    CHECK_THROWS_WITH_AS(many.add(many.style()), "More than 4094 XFs (styles)", Refusal);
}

TEST_CASE("what a sheet cannot take is refused in xlwt's words") {
    Workbook book;
    Sheet& sheet = book.add_sheet(U"T");
    CHECK_THROWS_WITH_AS(sheet.set_number(65536, 0, 1, 0x10),
                         "row index was 65536, not allowed by .xls format", Refusal);
    CHECK_THROWS_WITH_AS(sheet.set_number(0, 256, 1, 0x10), "column index (256) not an int in range(256)",
                         Refusal);
    CHECK_THROWS_WITH_AS(sheet.set_text(0, 0, ustring(32768, U'x'), 0x10),
                         "String longer than 32767 characters", Refusal);
    sheet.set_text(0, 0, ustring(32767, U'x'), 0x10);
    CHECK_THROWS_WITH_AS(sheet.set_number(0, 0, 1, 0x10),
                         "Attempt to overwrite cell: sheetname='T' rowx=0 colx=0", Refusal);
    CHECK_THROWS_WITH_AS(sheet.set_col_width(0, 65536), "column width (65536) not an int in range(65536)",
                         Refusal);
    CHECK_THROWS_AS(book.add_sheet(U"t"), Refusal);
    CHECK_THROWS_AS(book.add_sheet(U"a/b"), Refusal);
    CHECK_THROWS_AS(Workbook().save(), Refusal);  // no sheet
}

TEST_CASE("a save encodes again only the rows changed since the last one and a sealed row is thawed") {
    enum class Before { kNothing, kSave, kSeal };
    auto write = [](Workbook& book, Before before) {
        Sheet& sheet = book.add_sheet(U"R", true);
        std::uint16_t xf = book.styles().default_cell_xf();
        for (int r = 0; r < 50; ++r) {
            sheet.set_number(r, 1, r * 0.5, xf);
            sheet.set_number(r, 2, 0.1234, xf);
            sheet.set_text(r, 3, r % 2 ? U"x" : U"照片😀é", xf);
            sheet.set_boolean(r, 4, true, xf);
            sheet.write(r, 5, CellValue{}, xf);
            sheet.write(r, 6, CellValue{}, xf);
        }
        if (before != Before::kNothing) book.save();
        if (before == Before::kSeal) {
            book.seal_rows();
            CHECK(sheet.row_at(3).sealed());
        }
        sheet.set_text(3, 0, U"overwritten", xf);
        sheet.set_number(5, 7, 1e100, xf);
        sheet.row(7).format.height = 600;
        for (int r = 50; r < 60; ++r) sheet.set_number(r, 0, r, xf);
        return book.stream();
    };
    Workbook once, twice, sealed;
    std::string written = write(once, Before::kNothing);
    CHECK(write(twice, Before::kSave) == written);
    CHECK(write(sealed, Before::kSeal) == written);
    std::string file;
    sealed.save_to([&file](std::string_view part) { file += part; });
    CHECK(file == once.save());
    // The values as a reader sees them, the sealed rows' read from their records.
    sealed.seal_rows();
    auto shown = [](Workbook& book) {
        std::vector<std::tuple<int, double, ustring>> cells;
        for (const auto& row : book.sheet(0).values())
            for (const CellValue& cell : row)
                cells.emplace_back(static_cast<int>(cell.kind), cell.number, cell.text);
        return cells;
    };
    std::vector<std::vector<CellValue>> values = once.sheet(0).values();
    CHECK((values.size() == 60 && values[0].size() == 8));
    CHECK((values[2][3].text == U"照片😀é" && values[3][0].text == U"overwritten"));
    CHECK((values[0][4].kind == CellValue::Kind::kBoolean && values[0][5].kind == CellValue::Kind::kBlank));
    CHECK(shown(sealed) == shown(once));
}

TEST_CASE("the compound document pads the stream to 4096 bytes and indexes its allocation past 109 sectors") {
    std::string stream(4096, 'x');
    std::string file = compound_document({stream});
    CHECK(file.size() == 512 + 8192 + 512 + 512);  // a whole 4096 more; one table, one directory sector
    CHECK(dword(file, 0x2C) == 1);                 // allocation sectors
    CHECK(dword(file, 0x44) == 0xFFFFFFFE);        // no extra index sector
    CHECK(dword(file, 0x30) == 16 + 1);            // the directory after the stream and the table

    std::string large(8 * 1024 * 1024, 'x');
    std::string big = compound_document({large});
    std::size_t sectors = (large.size() + 4096) / 512;
    std::size_t tables = dword(big, 0x2C), extra = dword(big, 0x48);
    CHECK(tables > 109);
    CHECK(extra == 1);
    CHECK(dword(big, 0x44) == sectors);  // the extra index sector follows the stream
    CHECK(big.size() == 512 * (1 + sectors + extra + tables + 1));
    // The stream's chain runs through its sectors to its end.
    std::size_t table_at = 512 * (dword(big, 0x4C) + 1);
    CHECK(dword(big, table_at + 4 * (sectors - 2)) == sectors - 1);
    CHECK(dword(big, table_at + 4 * (sectors - 1)) == 0xFFFFFFFE);
}

TEST_CASE("dates as xlwt numbers them") {
    CHECK(excel_date(1900, 2, 28, 0, 0, 0) == 59.0);
    CHECK(excel_date(1900, 3, 1, 0, 0, 0) == 61.0);  // past the leap day that never was
    CHECK(excel_date(2026, 12, 8, 15, 30, 12) == doctest::Approx(46364.64597222222).epsilon(1e-15));
    CHECK(excel_date(1899, 12, 30, 12, 0, 0) == -0.5);
    CHECK(excel_time(6, 0, 0) == 0.25);
    CHECK(excel_date(1904, 1, 2, 0, 0, 0, true) == 1.0);
}

TEST_CASE(
    "a read workbook as the copy makes it with XFs by fallback and merged ranges and columns where met") {
    ReadBook read;
    read.fonts.resize(1);
    read.xfs.resize(17);
    read.xfs[16].format = U"0.00";
    ReadSheet& sheet = read.sheets.emplace_back();
    sheet.name = U"A";
    sheet.view.sheet_visible = 1;
    sheet.columns[1] = {5000, 16, 0, 0};
    sheet.columns[7] = {3000, 15, 0, 0};  // no cell of column 7 is met: its width is not copied
    sheet.rows[0] = {RowFormat{}, 0, 16};
    sheet.merged.push_back({0, 2, 0, 2});
    sheet.cells.assign(2, std::vector<ReadCell>(3));
    sheet.cells[0][0] = {kBoolean, 1, {}, 16};
    sheet.cells[0][1] = {kBlankCell, 0, {}, 16};  // covered by the merged range
    sheet.cells[1][2] = {kText, 0, U"t", -1};
    CHECK(cell_xf(sheet, 0, 2) == 16);  // the row's
    CHECK(cell_xf(sheet, 1, 2) == 15);
    sheet.rows.clear();
    read.sheets.push_back(sheet);
    read.sheets[1].name = U"B";
    std::unique_ptr<Workbook> book = copy_of(read);
    CHECK(book->active_sheet() == 1);  // the last sheet shown
    std::vector<Record> rows = records(rows_of(book->sheet(0)));
    // Row 0: the merged corner's truth value as a number, a MULBLANK over the range's rest; row 1.
    CHECK(types(rows_of(book->sheet(0))) ==
          std::vector<std::uint32_t>{kRow, kRk, kMulBlank, kRow, kMulBlank, kLabelSst});
    Sheet::Parts parts = book->sheet(0).parts();
    CHECK(types(parts.head).size() ==
          types(Workbook().add_sheet(U"X").parts().head).size() + 1);  // one COLINFO
}

TEST_CASE("the analysis workbook has seven sheets of title rows and the batch's wide name column") {
    std::unique_ptr<Workbook> batch = create_analysis_workbook(true, std::nullopt);
    std::unique_ptr<Workbook> console =
        create_analysis_workbook(false, PrewrittenName{1, CellValue::of(ustring())});
    REQUIRE(batch->sheet_count() == kSheetCount);
    for (std::size_t k = 0; k < kSheetCount; ++k) {
        std::size_t titles = layout_of(kLightSources[k]).titles.size();
        CHECK(batch->sheet(k).name() == ustring(kLightSources[k].code));
        CHECK(batch->sheet(k).row_at(0).cells().size() == titles);
        CHECK(console->sheet(k).row_count() == 2);
        CHECK(console->sheet(k).row_at(1).cells().front().kind == Cell::Kind::kBlank);  // the empty name
    }
    CHECK(types(batch->sheet(0).parts().head).size() == types(console->sheet(0).parts().head).size() + 1);

    // A picture row by the tools' one plan: the values, then the name, then the tail cells; the
    // red probabilities of "D" and of the sheet's own light source; "D" itself has one.
    auto reds = [](Tool tool, std::size_t sheet) {
        std::vector<std::size_t> red;
        for (const RowCell& cell : row_plan(tool, sheet))
            if (cell.style == RowStyle::kRed && cell.field == RowField::kValue) red.push_back(cell.column);
        return red;
    };
    CHECK(reds(Tool::kBatch, 0) == std::vector<std::size_t>{3, 7});
    CHECK(reds(Tool::kConsole, 4) == std::vector<std::size_t>{7});
    const std::vector<RowCell>& batch_row = row_plan(Tool::kBatch, 0);
    CHECK((batch_row.size() == 23 && batch_row[20].column == 0 &&
           batch_row[21].field == RowField::kIssueNote &&
           batch_row[22].column == full_layout().tail_column(awb::kDate)));
    CHECK(row_plan(Tool::kConsole, 3).size() == reduced_layout().value_columns + 5);
    RowXfs xfs = row_xfs(Tool::kBatch, *batch);
    CHECK((xfs[1] == xfs[2] && xfs[0] != xfs[1]));  // the batch's date is red
    std::vector<PlannedCell> planned = planned_cells(Tool::kBatch, 0, xfs);
    CHECK((planned[20].field == 20 && planned[21].field == 21 && planned[22].field == 22));
}

}  // namespace
}  // namespace awb::xls
