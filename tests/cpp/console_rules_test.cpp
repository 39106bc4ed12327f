// The console's rules: result names, configuration, issue notes, picture rows.
#include <doctest/doctest.h>

#include "configuration.hpp"
#include "issue_notes.hpp"
#include "picture_rows.hpp"
#include "result_names.hpp"
#include "session.hpp"
#include "test_support.hpp"

namespace awb::console {
namespace {

using test::s;
using test::u;

TEST_CASE("the picture's name from a result name") {
    const std::pair<const char*, const char*> examples[] = {
        {"IMG_0002-main_dbg_scolor_info.txt", "IMG_0002.jpg"},
        {"A-mfll-main-sub_dbg_scolor_info.txt", "A-mfll-main.jpg"},  // "-sub" beats "-main" and "-mfll"
        {"A-mfll-main_dbg_scolor_info.txt", "A-mfll.jpg"},           // "-main" beats "-mfll"
        {"A-mfll_x-mfll_dbg_scolor_info.txt", "A.jpg"},              // the first occurrence counts
        {"-main_dbg_scolor_info.txt", ".jpg"},                       // a leading marker leaves nothing
        {"X.txt", "X.tx.jpg"},                                       // no marker: the last character goes
        {"照片-sub_dbg_scolor_info.txt", "照片.jpg"},                // cut by characters, not bytes
        {"", ".jpg"},
    };
    for (const auto& [name, picture] : examples) {
        CAPTURE(name);
        CHECK(s(picture_name_from_result(u(name))) == picture);
    }
}

// The naming rule as the engineer states it.
ustring stated_picture(uview name) {
    std::size_t cut = name.find(U"-mfll");
    ustring best = ustring(cut == uview::npos ? name.substr(0, name.empty() ? 0 : name.size() - 1)
                                              : name.substr(0, cut));
    best += U".jpg";
    for (uview marker : {uview(U"-main"), uview(U"-sub")}) {
        if (contains(name, marker)) best = ustring(name.substr(0, name.find(marker))) + U".jpg";
    }
    return best;
}

TEST_CASE("the picture's name agrees with its plain statement on generated result names") {
    test::Pieces draw(
        {"-mfll", "-main", "-sub", "IMG", "_", "0", "照片", "é", " ", ".", "-", "mfll", "a-b", "[1]", "*"},
        11);
    for (int n = 0; n < 5000; ++n) {
        ustring name = draw.text(8) + (n % 2 ? U"_dbg_scolor_info.txt" : U".txt");
        CAPTURE(s(name));
        CHECK(picture_name_from_result(name) == stated_picture(name));
    }
}

TEST_CASE("the AWB text of a result, the recorded name and the label of a show") {
    CHECK(s(awb_text_of(U"/r/sim/Results/P-main_dbg_scolor_info.txt")) ==
          "/r/sim/Results/P-main_awb_dbg_info.txt");
    CHECK(s(awb_text_of(U"/r/sim/Results/P-main_awb_dbg_info.txt")) ==
          "/r/sim/Results/P-main_awb_dbg_info.txt");
    CHECK(s(awb_text_of(U"/r/a_dbg_scolor_info.b/P_dbg_scolor_info.txt")) ==
          "/r/a_awb_dbg_info.txt");  // the first one
    CHECK(s(awb_text_in_folder(U"D:/sim/Results/", U"W-main_dbg_scolor_info.txt")) ==
          "D:/sim/Results/W-main_awb_dbg_info.txt");
    CHECK(s(recorded_picture_name(U"A-mfll-x.jpg")) == "A.jpg");
    CHECK(s(recorded_picture_name(U"A-main.jpg")) == "A-main.jpg");
    CHECK(s(picture_label(U"/r/sim/Results/P-main_awb_dbg_info.txt", U"P.jpg")) == "/r/sim/P.jpg  P.jpg");
    CHECK(s(picture_label(U"/r/sim/Results/x.txt", U"a b c.jpg")) == "/r/sim/c.jpg  a");
    CHECK(s(picture_label(U"/elsewhere/x.txt", U"P.jpg")) == "/elsewhere/x.txtP.jpg  P.jpg");
    CHECK(s(show_lines(U"/r/sim/Results/x.txt", U"P.jpg", U"C:\\u\\Desktop\\Corvane.xls")[1]) ==
          "回写路径:C:/u/Desktop/Corvane.xls");
    CHECK(s(listed_result_name(U"D:/sim/Results\\W-main_dbg_scolor_info.txt")) ==
          "W-main_dbg_scolor_info.txt");
    CHECK(s(listed_result_name(U"a\\b\\c")) == "b");
    CHECK_FALSE(listed_result_name(U"/r/sim/Results/W.txt"));
    CHECK(command_of(U"q") == Command::kQuit);
    CHECK(command_of(U"-r") == Command::kClear);
    CHECK(command_of(U" q") == Command::kShow);
}

TEST_CASE("the configured folder and its results folder") {
    CHECK(s(config_value(U"Path=/r/sim=old")) == "/r/sim");  // the value stops at the second "="
    CHECK(s(config_value(U"Folder=/r/sim")) == "/r/sim");    // the key is ignored
    CHECK(s(config_value(U"Path= /x")) == " /x");            // blanks stay
    CHECK(s(config_value(U"Path=")) == "");
    CHECK_FALSE(config_value(U"Path"));
    CHECK_FALSE(config_value(U""));
    CHECK(s(configured_folder(U"Path=/r/s\rim\r\n")) == "/r/sim");  // line ends go, wherever they are
    CHECK_FALSE(configured_folder(U"\r\n"));
    CHECK(s(results_root(U"/r/sim")) == "/r/sim/Results/");
    CHECK(s(results_root(U"/r/sim\\")) == "/r/sim//Results/");  // a trailing backslash doubles the slash
    CHECK(s(results_root(U"D:\\RAW")) == "D:/RAW/Results/");
    CHECK(s(user_files(U"C:\\Users\\k\\", U"\\").workbook) == "C:\\Users\\k\\Desktop\\Corvane.xls");
    CHECK(s(user_files(U"/home/k/", U"/").capture_list) == "/home/k/rawfilename.txt");
    CHECK(s(split_results_pattern(U"/r/sim/Results/*.txt").folder) == "/r/sim/Results/");
    CHECK(s(split_results_pattern(U"/r/sim/Results/*.txt").files) == "*.txt");
    CHECK(s(split_results_pattern(U"abc").folder) == "a");  // a negative cut counts from the end
    CHECK(s(split_results_pattern(U"abc").files) == "bc");
}

std::vector<ustring> lines_of(std::initializer_list<const char*> lines) {
    std::vector<ustring> out;
    for (const char* line : lines) out.push_back(u(std::string(line) + "\n"));
    return out;
}

std::optional<std::string> note_of(const std::vector<ustring>& lines, const char* picture) {
    std::optional<std::size_t> line = find_issue_line(lines, u(picture));
    if (!line) return std::nullopt;
    return s(clean_issue_note(lines[*line], U"0123456789"));
}

TEST_CASE("a picture's issue note: its own line, else the first line holding its key") {
    const std::vector<ustring> list =
        lines_of({"DSC_0001.jpg:DSC_0001.raw:偏红", "IMG_0002.jpg:IMG_0002.raw:室外-偏红, 2号、 灯_光.jpg",
                  "007.jpg:007.raw:阴天，偏蓝", "008.jpg:008.raw:001 002-", "009 没有冒号 9"});
    CHECK_FALSE(note_of(list, "P500.jpg"));
    CHECK_FALSE(note_of({}, "P500.jpg"));
    CHECK(note_of(list, "IMG_0009.jpg") == "室外偏红号灯光");  // the key "IMG" is anywhere in line 2
    CHECK(note_of(list, "007.jpg") == "阴天偏蓝");
    CHECK(note_of(list, "008.jpg") == "");          // digits and separators only
    CHECK(note_of(list, "009.jpg") == "没有冒号");  // no ":": the whole line
    CHECK(note_of(list, "_x.jpg") == "偏红");       // an empty key: the first line
    CHECK(s(shown_issue_note(list, U"007.jpg", U"").line) == "\n问题:阴天偏蓝");
    CHECK(s(shown_issue_note(list, U"P500.jpg", U"").note) == "无");
    CHECK(s(shown_issue_note(list, U"P500.jpg", U"").line) == "\n问题:无");
    const ShownNote long_note = shown_issue_note(lines_of({std::string(300, 'x').c_str()}), U"x.jpg", U"");
    CHECK(long_note.note.size() == 300);  // the workbook gets it whole, the console cut
    CHECK(long_note.line.size() == 4 + kEchoLength + 1);

    const std::vector<ustring> burst =
        lines_of({"IMG_20261208_092039.jpg:a.raw:偏红", "IMG_20261208_092039_1.jpg : b.raw : 偏蓝",
                  "P001_X.jpg:c.raw:室外", "DSC_0000.JPG:d.raw:偏绿", "DSC_0001.JPG:e.raw:偏黄",
                  "_Y.jpg:f.raw:阴天", ".Z.jpg:g.raw:夜景"});
    CHECK(note_of(burst, "IMG_20261208_092039_1.jpg") ==
          "偏蓝");  // its own line, not the first holding the key
    CHECK(note_of(burst, "IMG_20261208_092039.jpg") == "偏红");
    CHECK(note_of(burst, "X.jpg") == "室外");
    CHECK(note_of(burst, "DSC_0001.jpg") == "偏黄");  // the extension's letter case aside
    CHECK(note_of(burst, "_Y.jpg") == "阴天");
    CHECK(note_of(burst, ".Z.jpg") == "夜景");
    CHECK(note_of(burst, "IMG_20261209_000001.jpg") == "偏红");  // by key
    CHECK(note_of(burst, "P 001_X.jpg") == "室外");              // blanks of the name do not count
}

bool alnum(char32_t c) {
    return (c >= U'0' && c <= U'9') || ((c | 0x20) >= U'a' && (c | 0x20) <= U'z') || c >= 0x80;
}

std::optional<std::size_t> row_of(std::initializer_list<const char*> cells, const char* picture) {
    std::vector<ustring> texts;
    for (const char* cell : cells) texts.push_back(u(cell));
    return find_picture_row(texts, u(picture), alnum);
}

TEST_CASE("a picture's row: its name, else its stem as a whole word") {
    CHECK(row_of({"IMG_20261208_092039.jpg", "IMG_20261208_092039_1.jpg"}, "IMG_20261208_092039_1.jpg") ==
          1u);
    CHECK_FALSE(
        row_of({"IMG_20261208_092039_1.jpg"}, "IMG_20261208_092039.jpg"));  // a burst frame is not its row
    CHECK(row_of({"W.jpg", "P001_X.jpg"}, "X.jpg") == 1u);
    CHECK(row_of({"P001_X.jpg", "X_2.jpg", "X"}, "X.jpg") == 2u);  // the name less its extension
    CHECK(row_of({"P001_X.jpg", "X.jpg"}, "X.jpg") == 1u);  // its own row, not the first holding the word
    CHECK(row_of({"DSC_0000.JPG", "DSC_0001.JPG"}, "DSC_0001.jpg") == 1u);
    CHECK(row_of({"_Y_2.jpg", "_Y.jpg"}, "_Y.jpg") == 1u);
    CHECK(row_of({"Z.jpg", ".Z.jpg"}, ".Z.jpg") == 1u);
    CHECK_FALSE(row_of({"IMG_20261208_092039.jpg"}, "IMG_20261209_000001.jpg"));
    CHECK(row_of({"IMG_12.jpg IMG_1.jpg"}, "IMG_1.jpg") == 0u);  // not only the first occurrence in a cell
    CHECK(row_of({"IMG_1 note"}, "IMG_1.jpg") == 0u);            // a blank after the word
    CHECK_FALSE(row_of({"IMG_12.jpg", "AIMG_1.jpg", "照片IMG_1.jpg"}, "IMG_1.jpg"));
    CHECK_FALSE(row_of({"", "x"}, ""));
    CHECK_FALSE(row_of({"x"}, ".jpg"));  // an empty stem stands nowhere
    CHECK(s(picture_stem(U"a.b.jpg")) == "a.b");
    CHECK(s(picture_stem(U"noext")) == "noext");
    CHECK(picture_row(4u, 9u, 12u) == 4u);             // its own row
    CHECK(picture_row(std::nullopt, 9u, 12u) == 9u);   // the row of the sheet before
    CHECK(picture_row(std::nullopt, 0u, 12u) == 12u);  // below the last row
}

}  // namespace
}  // namespace awb::console
