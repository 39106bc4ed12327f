// The batch's rules: dump and walked names, the report's missing pictures, the Desktop folder,
// the row search and the date cell.
#include <doctest/doctest.h>

#include <set>

#include "awb/file_names.hpp"
#include "dump_names.hpp"
#include "row_search.hpp"
#include "test_support.hpp"

namespace awb::batch {
namespace {

using test::s;
using test::u;

TEST_CASE("a picture's EXIF dump: its name up to its first jpg in any case, then .exif") {
    const std::pair<const char*, const char*> examples[] = {
        {"a.jpg", "a.jpg.exif"},
        {"X.JPG", "X.JPG.exif"},
        {"Y.Jpg", "Y.Jpg.exif"},
        {"a.jpg.bak", "a.jpg.exif"},
        {"jpgjpg", "jpg.exif"},
        {"a.png", "a.png.exif"},
        {"", ".exif"},
        {"照片.jpg", "照片.jpg.exif"},
        {"IMG_1.jpeg", "IMG_1.jpeg.exif"},
    };
    for (const auto& [picture, dump] : examples) {
        CAPTURE(picture);
        CHECK(s(exif_dump_name(u(picture))) == dump);
    }
    CHECK(s(missing_dump_report_line(U"./EXIF/X.jpg.exif")) == "./全部照片/X.jpg");
    CHECK(s(missing_dump_report_line(U"")) == "");
    CHECK(s(missing_dump_report_line(U"./EXIF/EXIF.exif.exif")) == "./全部照片/全部照片");
}

TEST_CASE("a picture named with blanks, or in another letter case, is read from the dump a desk finds") {
    std::set<ustring> dumps;
    auto exists = [&](const ustring& dump) { return dumps.count(dump) > 0; };
    auto same_but_case = [&](const ustring& dump) {
        return same_name_in(std::vector<ustring>(dumps.begin(), dumps.end()), dump);
    };
    auto dump_to_read = [&](uview listed, uview written) {
        return batch::dump_to_read(listed, written, exists, same_but_case);
    };
    CHECK(s(dump_to_read(u("IMG_0001-副本.jpg"), u("IMG_0001 - 副本.jpg"))) ==
          "IMG_0001-副本.jpg.exif");  // neither: the cleaned name's is missing
    dumps.insert(u("IMG_0001 - 副本.jpg.exif"));
    CHECK(s(dump_to_read(u("IMG_0001-副本.jpg"), u("IMG_0001 - 副本.jpg"))) == "IMG_0001 - 副本.jpg.exif");
    dumps.insert(u("IMG_0001-副本.jpg.exif"));
    CHECK(s(dump_to_read(u("IMG_0001-副本.jpg"), u("IMG_0001 - 副本.jpg"))) ==
          "IMG_0001-副本.jpg.exif");  // the cleaned name's first
    CHECK(s(dump_to_read(U"a.jpg", U"a.jpg")) == "a.jpg.exif");
    dumps.insert(U"IMG_0002.JPG.exif");
    CHECK(s(dump_to_read(U"img_0002.jpg", U"img_0002.jpg")) == "IMG_0002.JPG.exif");
    dumps.insert(U"img_0002.jpg.exif");
    CHECK(s(dump_to_read(U"img_0002.jpg", U"img_0002.jpg")) == "img_0002.jpg.exif");  // the exact name first
    dumps.insert(u("img 3 - 副本.JPG.exif"));
    CHECK(s(dump_to_read(u("img3-副本.jpg"), u("img 3 - 副本.jpg"))) == "img 3 - 副本.JPG.exif");
    // A name that is no text (the bytes of a GBK name under a UTF-8 locale), shown readably.
    CHECK(s(readable_name(U"\xdcb2\xdce2-main.txt")) == "\\xB2\\xE2-main.txt");
    CHECK(s(readable_name(U"\xdcb2\xdce2.jpg", OtherReading{u("测.jpg"), "GBK"})) ==
          "\\xB2\\xE2.jpg (按 GBK 读作 测.jpg)");
    CHECK_FALSE(is_text(U"\xdcb2.txt"));
    CHECK(is_text(u("照片.txt")));
}

TEST_CASE("a walked file's name and picture, and the Desktop folder") {
    CHECK(s(walked_name(U".", U"a.jpg.exif")) == "a.jpg.exif");
    CHECK(s(walked_name(U"sub/deeper", U"notes.txt")) == "sub/deeper/notes.txt");
    CHECK(s(picture_of_dump_file(U"sub/b.jpg.exif")) == "sub/b.jpg");
    CHECK(s(picture_of_dump_file(U"notes.txt")) == "notes.txt");
    CHECK(s(picture_of_dump_file(U".exif")) == "");
    CHECK(s(desktop_folder(U"/home/u/Desktop")) == "/home/u/Desktop/");
    CHECK(s(desktop_folder(U"C:\\Users\\u\\Desktop")) == "C:\\Users\\u\\Desktop\\");
    CHECK(s(desktop_folder(U"C:/Users\\u\\Desktop")) == "C:/Users\\u\\Desktop/\\");
    CHECK(s(desktop_folder(U"Desktop")) == "Desktop");
}

// The rows a picture gets on the seven sheets, and the rows known before each record is read.
struct Rows {
    std::vector<std::size_t> searched, settled;
};
Rows rows_for(const std::vector<SheetMatch>& sheets) {
    constexpr std::size_t kValueColumns[] = {20, 20, 11, 11, 11, 11, 20};
    BatchRowSearch search;
    Rows rows;
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        rows.searched.push_back(search.search(sheets[k]));
        rows.settled.push_back(search.settle(kValueColumns[k]));
    }
    return rows;
}

using Sizes = std::vector<std::size_t>;

TEST_CASE("the batch's row search over the seven sheets") {
    // A new picture goes below each sheet's last row.
    CHECK(rows_for({{3, {}}, {3, {}}, {3, {}}, {3, {}}, {3, {}}, {3, {}}, {3, {}}}).settled == Sizes(7, 3));
    // Found on one sheet: the sheets after it that lack the name keep its row.
    Rows found = rows_for({{3, {}}, {2, {}}, {2, 1}, {2, {}}, {3, {}}, {2, {}}, {3, 2}});
    CHECK(found.settled == Sizes{3, 2, 1, 1, 1, 1, 2});
    CHECK(found.searched == found.settled);
    CHECK(rows_for({{3, {}}, {1, {}}, {2, 1}, {1, {}}, {3, {}}, {1, {}}, {3, 2}}).settled ==
          Sizes{3, 1, 1, 1, 1, 1, 2});
    // Sheets without even a title row: the row after the previous sheet's last value column.
    Rows bare = rows_for({{0, {}}, {0, {}}, {0, {}}, {0, {}}, {0, {}}, {0, {}}, {0, {}}});
    CHECK(bare.searched == Sizes(7, 0));
    CHECK(bare.settled == Sizes{1, 21, 21, 12, 12, 12, 12});
    // Title rows only: row 1 everywhere.
    CHECK(rows_for({{1, {}}, {1, {}}, {1, {}}, {1, {}}, {1, {}}, {1, {}}, {1, {}}}).settled == Sizes(7, 1));
}

TEST_CASE("the date cell's text") {
    CHECK(s(clean_date_text(U" 2026 12 08\r\n")) == "20261208");
    CHECK(s(clean_date_text(U"2026-12-08")) == "2026-12-08");
    CHECK(s(clean_date_text(U"\t1\t")) == "\t1\t");
}

}  // namespace
}  // namespace awb::batch
