// What a workbook holds: its records beyond values and formats, its layouts, its seven sheets,
// what a cell can take.
#include <doctest/doctest.h>

#include <cstdint>
#include <vector>

#include "awb/biff.hpp"
#include "awb/sheets.hpp"
#include "awb/tables.hpp"
#include "test_support.hpp"

namespace awb {
namespace {

using test::s;
using test::u;
using Bytes = std::vector<std::uint8_t>;

void put_word(Bytes& out, std::uint16_t word) {
    out.push_back(static_cast<std::uint8_t>(word & 0xFF));
    out.push_back(static_cast<std::uint8_t>(word >> 8));
}

// One BIFF record: type, length, body.
Bytes record(std::uint16_t type, const Bytes& body = {}) {
    Bytes out;
    put_word(out, type);
    put_word(out, static_cast<std::uint16_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes bof(std::uint16_t substream) {
    Bytes body;
    put_word(body, 0x0600);  // BIFF8
    put_word(body, substream);
    body.resize(16, 0);
    return record(0x0809, body);
}

Bytes object(std::uint16_t object_type) {
    Bytes body;
    put_word(body, 0x0015);  // common object data
    put_word(body, 18);
    put_word(body, object_type);
    body.resize(22, 0);
    return record(0x005D, body);
}

Bytes stream(std::initializer_list<Bytes> records) {
    Bytes out;
    for (const Bytes& r : records) out.insert(out.end(), r.begin(), r.end());
    return out;
}

const Bytes kGlobals = bof(0x0005);
const Bytes kSheet = bof(0x0010);
const Bytes kEnd = record(0x000A);
const Bytes kCell = record(0x0203, Bytes(14, 0));  // NUMBER

std::string found(const Bytes& data) {
    WorkbookExtras extras = scan_workbook_stream(data.data(), data.size());
    std::string names;
    for (const ExtraKind& kind : kExtraKindTable) {
        if (extras.has(kind.kind)) names += (names.empty() ? "" : ",") + s(kind.name);
    }
    return names;
}

TEST_CASE("the record scanner notes what a save cannot carry over") {
    CHECK(found({}) == "");
    CHECK(found(stream({kGlobals, kEnd, kSheet, kCell, kEnd})) == "");
    CHECK(found(stream({kGlobals, kEnd, kSheet, record(0x0006, Bytes(20, 0)), kEnd})) == "公式");
    CHECK(found(stream({kSheet, record(0x04BC, Bytes(8, 0))})) == "公式");
    CHECK(found(stream({kSheet, record(0x0221, Bytes(8, 0))})) == "公式");
    CHECK(found(stream({kSheet, record(0x001C, Bytes(12, 0)), record(0x00EC, Bytes(8, 0)), object(0x19)})) ==
          "批注");
    CHECK(found(stream({kSheet, record(0x01B8, Bytes(32, 0))})) == "超链接");
    CHECK(found(stream({kSheet, record(0x00EC, Bytes(8, 0)), object(0x08)})) == "图片和图形");  // a picture
    CHECK(found(stream({kSheet, record(0x00EC, Bytes(8, 0))})) ==
          "图片和图形");  // drawing records, no object
    CHECK(found(stream({kSheet, record(0x005D, Bytes(2, 0))})) ==
          "图片和图形");                                           // an object of no common data
    CHECK(found(stream({kSheet, object(0x05), kEnd})) == "图表");  // an embedded chart
    // A chart sheet: its own BOF substream of type chart after the workbook's globals.
    Bytes chart_sheet =
        stream({kGlobals, kEnd, kSheet, kCell, kEnd, bof(0x0020), record(0x1002, Bytes(16, 0)), kEnd});
    CHECK(found(chart_sheet) == "图表");
    WorkbookExtras extras = scan_workbook_stream(chart_sheet.data(), chart_sheet.size());
    CHECK(extras_line("C:/d/Corvane.xls", extras) == "工作簿 C:/d/Corvane.xls 含有图表, 保存后图表将消失");
}

TEST_CASE("a stream cut short ends the walk, keeping what came before") {
    Bytes data = stream({kSheet, record(0x0006, Bytes(20, 0)), record(0x001C, Bytes(12, 0))});
    CHECK(found(Bytes(data.begin(), data.end() - 1)) == "公式");
    CHECK(found(Bytes(data.begin(), data.begin() + 3)) == "");
    Bytes short_bof = record(0x0809, Bytes(2, 0));  // too short to name its substream
    CHECK(found(short_bof) == "");
}

TEST_CASE("the extras line says what will change, and where the original is") {
    WorkbookExtras both;
    both.found[static_cast<std::size_t>(Extra::kFormulas)] = true;
    both.found[static_cast<std::size_t>(Extra::kComments)] = true;
    std::string line = extras_line("/h/Corvane.xls", both);
    CHECK(line == "工作簿 /h/Corvane.xls 含有公式、批注, 保存后公式只保留数值, 批注将消失");
    WorkbookExtras formulas;
    formulas.found[static_cast<std::size_t>(Extra::kFormulas)] = true;
    CHECK(extras_line("w.xls", formulas) == "工作簿 w.xls 含有公式, 保存后公式只保留数值");
    WorkbookExtras all;
    all.found.fill(true);
    CHECK(
        extras_line("w.xls", all) ==
        "工作簿 w.xls 含有公式、批注、图表、图片和图形、超链接, 保存后公式只保留数值, 批注、图表、图片和图形、超链接将消失");
    CHECK_FALSE(WorkbookExtras{}.any());
    CHECK(original_kept_line(line, "/h/备份/Corvane-原件-0123456789ab.xls") ==
          line + "; 原件已备份到 /h/备份/Corvane-原件-0123456789ab.xls");
    CHECK(original_not_kept_note(line, "PermissionError: [Errno 13] denied") ==
          line + "; 原件无法备份到 备份 (PermissionError: [Errno 13] denied), 未写入任何内容");
}

std::vector<std::string> titles(const Layout& layout) {
    std::vector<std::string> out;
    for (uview title : layout.titles) out.push_back(s(title));
    return out;
}

TEST_CASE("the full and the reduced sheet layouts") {
    const std::vector<std::string> values{
        "CT", "LV", "T", "WF", "F", "CWF", "D", "DF", "S", "DAYLIGHT_PROB", "EQV_DAYLIGHT_PROB"};
    std::vector<std::string> full{"File Name"};
    full.insert(full.end(), values.begin(), values.end());
    for (const char* title : {"DAY_LOCUS_OFFSET", "GM_OFFSET", "GM_OFFSET_THR", "NEW_OFFSET", "OFFSET_RATIO",
                              "RATIO_OFFSET", "IS_ABOVE", "LUT_OFFSET", "P2"}) {
        full.emplace_back(title);
    }
    std::vector<std::string> reduced{"File Name"};
    reduced.insert(reduced.end(), values.begin(), values.end());
    for (const char* tail : {"Color Egine", "Date", "修改", "问题描述"}) {
        full.emplace_back(tail);
        reduced.emplace_back(tail);
    }
    CHECK(titles(full_layout()) == full);
    CHECK(titles(reduced_layout()) == reduced);
    CHECK(full_layout().value_columns == 20);
    CHECK(reduced_layout().value_columns == 11);
    CHECK(full_layout().tail_column(kDate) == 22);
    CHECK(full_layout().tail_column(kIssueNote) == 24);
    CHECK(reduced_layout().tail_column(kDate) == 13);
    CHECK(reduced_layout().tail_column(kIssueNote) == 15);
    std::string reduced_codes;
    for (const LightSource& source : kLightSources) {
        if (source.reduced) reduced_codes += s(source.code) + " ";
        CHECK(&layout_of(source) == (source.reduced ? &reduced_layout() : &full_layout()));
    }
    CHECK(reduced_codes == "F CWF D DF ");
    CHECK(own_probability_column(0) == 3);  // T's probability, beside the column of "D" (7)
    CHECK(red_value_column(0, 7));          // the probability of "D"
    CHECK(red_value_column(1, 4));          // the sheet's own
    CHECK_FALSE(red_value_column(1, 3));
}

SheetChoice choose(std::initializer_list<const char*> names) {
    std::vector<ustring> sheet_names;
    for (const char* name : names) sheet_names.push_back(u(name));
    return choose_sheets(sheet_names);
}

using Positions = std::array<std::size_t, kSheetCount>;

TEST_CASE("the seven sheets are found by name, or by position in a workbook with none of the names") {
    SheetChoice own = choose({"T", "WF", "F", "CWF", "D", "DF", "S"});
    CHECK(own.kind == SheetChoice::Kind::kFound);
    CHECK(own.positions == Positions{0, 1, 2, 3, 4, 5, 6});

    SheetChoice among = choose({"Notes", "S", "T", "WF", "F", "CWF", "D", "DF", "Extra"});
    CHECK(among.kind == SheetChoice::Kind::kFound);
    CHECK(among.positions == Positions{2, 3, 4, 5, 6, 7, 1});

    SheetChoice twice = choose({"T", "WF", "F", "CWF", "D", "DF", "S", "T"});
    CHECK(twice.positions[0] == 0);  // the first sheet of a name

    SheetChoice numbered = choose({"Sheet1", "Sheet2", "Sheet3", "Sheet4", "Sheet5", "Sheet6", "Sheet7"});
    CHECK(numbered.kind == SheetChoice::Kind::kFound);
    CHECK(numbered.positions == Positions{0, 1, 2, 3, 4, 5, 6});

    SheetChoice six_unnamed = choose({"Sheet1", "Sheet2", "Sheet3", "Sheet4", "Sheet5", "Sheet6"});
    CHECK(six_unnamed.kind == SheetChoice::Kind::kTooFew);
    CHECK(sheets_problem(six_unnamed) == "少于七个工作表 (应为 T, WF, F, CWF, D, DF, S)");
    CHECK(sheets_problem(numbered).empty());
    CHECK(tells_too_few_sheets(too_few_sheets_note("/h/少于七个工作表.xls")));  // the note marks the cause
    CHECK_FALSE(tells_too_few_sheets(missing_sheets_note("/h/C.xls", six_unnamed)));
    CHECK(choose({}).kind == SheetChoice::Kind::kTooFew);
    CHECK(choose({"t", "wf", "f", "cwf", "d", "df", "s"}).kind ==
          SheetChoice::Kind::kFound);  // names are exact

    SheetChoice six = choose({"T", "WF", "F", "CWF", "D", "DF"});
    CHECK(six.kind == SheetChoice::Kind::kMissing);
    CHECK(missing_sheets_message(six) == "missing sheets: S");
    CHECK(sheets_problem(six) == "缺少工作表 S (有 T, WF, F, CWF, D, DF)");
    CHECK(
        missing_sheets_note("/h/Corvane.xls", six) ==
        "工作簿 /h/Corvane.xls 缺少工作表 S (有 T, WF, F, CWF, D, DF), 未写入任何内容; 请补上这些工作表, 或移走它后重试");
    SheetChoice some = choose({"Sheet1", "D", "T", "x", "y", "z", "w", "v"});
    CHECK(some.kind == SheetChoice::Kind::kMissing);
    CHECK(some.present == "T, D");
    CHECK(some.missing == "WF, F, CWF, DF, S");
}

TEST_CASE("each text's first row in a sheet, kept up to date as rows are written") {
    FirstRows rows;
    rows.build({U"File Name", U"A", std::nullopt, U"B", U"A"});
    CHECK(rows.find(U"A") == 1u);
    CHECK(rows.find(U"File Name") == std::nullopt);  // the title row is not a picture row
    rows.set(5, std::nullopt, U"C");
    rows.set(6, std::nullopt, U"B");  // B stays first in row 3
    CHECK(rows.find(U"C") == 5u);
    CHECK(rows.find(U"B") == 3u);
    rows.set(4, U"A", U"D");  // not A's first row
    CHECK(rows.find(U"A") == 1u);
    rows.set(1, U"A", U"E");  // A's first row changes: made again when next needed
    CHECK_FALSE(rows.built());
}

TEST_CASE("what a cell can take") {
    CHECK_FALSE(row_refusal(kLastRow));
    CHECK(row_refusal(kLastRow + 1) == "工作簿已满: .xls 工作表最多 65536 行, 本行(第 65537 行)无法写入");
    CHECK_FALSE(text_refusal(kLongestText));
    CHECK(text_refusal(kLongestText + 1) == "文本过长: .xls 单元格最多 32767 个字符");
    CHECK_FALSE(holds_value(0));
    CHECK_FALSE(holds_value(6));
    CHECK(holds_value(1));
    CHECK(holds_value(2));
}

}  // namespace
}  // namespace awb
