// The console's rules: result names, configuration, issue notes, picture rows.
#include <doctest/doctest.h>

#include "configuration.hpp"
#include "issue_notes.hpp"
#include "picture_rows.hpp"
#include "result_choice.hpp"
#include "result_names.hpp"
#include "session.hpp"
#include "settling.hpp"
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

    // The camera's name in the list, the simulator's lower-case one: its own line, not the key's.
    const std::vector<ustring> camera =
        lines_of({"IMG_0001.jpg:img_0001.raw:室外偏红", "IMG_0003.jpg:IMG_0003.raw:室内偏黄",
                  "img_0003.jpg:x.raw:正常"});
    CHECK(note_of(camera, "img_0003.jpg") == "正常");      // the exact name first
    CHECK(note_of(camera, "Img_0003.jpg") == "室内偏黄");  // then letter case aside
    CHECK(note_of(camera, "img_0009.jpg") == "室外偏红");  // the key lookup as ever ("img" in line 1)
    CHECK(note_of(camera, "IMG_0009.jpg") == "室外偏红");
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
    CHECK(row_of({"IMG_0002.jpg", "Img_0002.jpg"}, "Img_0002.jpg") == 1u);    // its exact name first
    CHECK(row_of({"P_IMG_0002.jpg", "IMG_0002.jpg"}, "Img_0002.jpg") == 1u);  // then letter case aside
    CHECK(row_of({"P001_x.JPG"}, "X.jpg") == 0u);
    CHECK_FALSE(row_of({"x_1.jpg"}, "X.jpg"));         // today's word boundaries
    CHECK(picture_row(4u, 9u, 12u) == 4u);             // its own row
    CHECK(picture_row(std::nullopt, 9u, 12u) == 9u);   // the row of the sheet before
    CHECK(picture_row(std::nullopt, 0u, 12u) == 12u);  // below the last row
}

ListedText text(const char* name, std::int64_t mtime, std::int64_t size = 10) {
    return {u(name), size, mtime};
}

std::string chosen(const std::vector<ListedText>& listing, const ResultChoice& choice) {
    return choice.result ? s(listing[*choice.result].name) : "none";
}

TEST_CASE("which result an Enter shows: new before old, then newest, then not yet shown") {
    CHECK(is_result_name(U"P-main_awb_dbg_info.txt"));
    CHECK(is_result_name(U"P-main_dbg_scolor_info.bin"));
    CHECK_FALSE(is_result_name(u("调试记录.txt")));
    CHECK_FALSE(is_result_name(U"_awb_dbg_info.txt"));
    CHECK_FALSE(is_result_name(U"P_dbg_scolor_info.txt.bak"));
    const std::int64_t now = 1'000'000'000'000'000'000;
    const std::int64_t hour = 3600LL * 1'000'000'000;
    // A result from a share an hour ahead, shown once; a picture simulated after it is new.
    std::vector<ListedText> folder{text("SHARE_dbg_scolor_info.txt", now + hour)};
    ResultChoice first = choose_result(folder, FolderLook(folder), {}, {}, now);
    CHECK(chosen(folder, first) == "SHARE_dbg_scolor_info.txt");
    CHECK_FALSE(first.is_new);
    CHECK(first.future == std::vector<std::size_t>{0});
    FolderLook look(folder);
    folder.push_back(text("P001_dbg_scolor_info.txt", now));
    ResultChoice next = choose_result(folder, look, {}, {U"SHARE_awb_dbg_info.txt"}, now);
    CHECK(chosen(folder, next) == "P001_dbg_scolor_info.txt");
    CHECK(next.is_new);
    // Nothing new: the newest again.
    CHECK(chosen(folder, choose_result(folder, FolderLook(folder), {}, {}, now)) ==
          "SHARE_dbg_scolor_info.txt");
    // A result rewritten (same time, another size) is new.
    std::vector<ListedText> again{text("SHARE_dbg_scolor_info.txt", now + hour),
                                  text("P001_dbg_scolor_info.txt", now, 11)};
    CHECK(chosen(again, choose_result(again, FolderLook(folder), {}, {}, now)) == "P001_dbg_scolor_info.txt");

    // Equal times (a FAT drive keeps 2 s): the one not yet shown wins, whatever its name.
    std::vector<ListedText> equal{text("IMG_0001_awb_dbg_info.txt", now),
                                  text("IMG_0003_awb_dbg_info.txt", now)};
    CHECK(chosen(equal, choose_result(equal, {}, {}, {U"IMG_0001_awb_dbg_info.txt"}, now)) ==
          "IMG_0003_awb_dbg_info.txt");
    CHECK(chosen(equal, choose_result(equal, {}, {}, {}, now)) == "IMG_0001_awb_dbg_info.txt");  // name order

    // A clear left a held text: it is never new, and alone it is no result to show.
    std::vector<ListedText> held{text("P001_awb_dbg_info.txt", now)};
    ResultChoice after_clear = choose_result(held, FolderLook(held), FolderLook(held), {}, now);
    CHECK(chosen(held, after_clear) == "none");
    CHECK(after_clear.left_by_clear == 1);
    held.push_back(text("P002_awb_dbg_info.txt", now - hour));
    CHECK(chosen(held, choose_result(held, {}, FolderLook({held[0]}), {}, now)) == "P002_awb_dbg_info.txt");

    // A note saved among the results is never chosen; as the newest text it is named.
    std::vector<ListedText> noted{text("P001_awb_dbg_info.txt", now), text("调试记录.txt", now + 5)};
    ResultChoice with_note = choose_result(noted, {}, {}, {}, now);
    CHECK(chosen(noted, with_note) == "P001_awb_dbg_info.txt");
    CHECK(with_note.newest_other == std::optional<std::size_t>(1));
    CHECK(with_note.future.empty());
    CHECK(s(future_results_line({U"A.txt", U"B.txt"}, hour + 5)) ==
          "注意: A.txt 等 2 个仿真结果的修改时间比本机时钟晚 60 分钟以上 (来自时钟不准的电脑?); "
          "之后新仿真的结果仍会在回车时记录");
}

TEST_CASE("when a text has settled, and when it looks cut by a write") {
    auto look = [](double at, std::int64_t size) { return TextLook{at, size, 7}; };
    CHECK(text_settling({look(0, 9), look(0.001, 9)}, true, false) == Settling::kSettled);  // at once
    CHECK(text_settling({look(0, 9), look(0.001, 12)}, true, false) == Settling::kWait);
    CHECK(text_settling({look(0, 9), look(0.1, 12), look(0.4, 12)}, true, false) == Settling::kWait);
    CHECK(text_settling({look(0, 9), look(0.1, 12), look(0.7, 12)}, true, false) == Settling::kSettled);
    CHECK(text_settling({look(0, 9), look(0.001, 9)}, false, false) ==
          Settling::kWait);  // cut: looked at again
    CHECK(text_settling({look(0, 9), look(0.001, 9)}, true, true) ==
          Settling::kWait);  // a write may be pausing
    CHECK(text_settling({look(0, 9), look(0.2, 9), look(0.6, 9)}, true, true) == Settling::kSettled);
    CHECK(text_settling({look(0, 9), look(1, 9), look(3.1, 9)}, false, false) == Settling::kStillWriting);
    CHECK(text_settling({look(0, 9), look(2.9, 10), look(3.1, 11)}, true, false) == Settling::kStillWriting);
    CHECK(text_looks_cut(U"x\nAWB_TAG_CCT: 52", false, false));
    CHECK_FALSE(text_looks_cut(U"x\nAWB_TAG_CCT: 52", false, true));  // its colour statistics are written
    CHECK_FALSE(text_looks_cut(U"AWB_TAG_CCT: 5254\n", false, false));
    CHECK_FALSE(text_looks_cut(U"AWB_TAG_CCT: 5254\r\nframe", false, false));
    CHECK(text_looks_cut(U"", true, false));
}

}  // namespace
}  // namespace awb::console
