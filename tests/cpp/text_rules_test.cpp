// Text rules of the core: capture-list lines, the echo of a user's text, byte-order marks.
#include <doctest/doctest.h>

#include "awb/capture_list.hpp"
#include "awb/text_files.hpp"
#include "test_support.hpp"

namespace awb {
namespace {

using test::s;
using test::u;

TEST_CASE("capture-list lines: cleaned of line ends and blanks, picture lines have three fields") {
    struct Example {
        const char* line;
        LineKind kind;
        const char* cleaned;
        std::vector<std::string> fields;
    };
    const Example examples[] = {
        {"a.jpg:a.raw:偏 红\n", LineKind::kPicture, "a.jpg:a.raw:偏红", {"a.jpg", "a.raw", "偏红"}},
        {"c.jpg: c.raw :\r\n", LineKind::kPicture, "c.jpg:c.raw:", {"c.jpg", "c.raw", ""}},
        {"c.jpg:c.raw:n:x",
         LineKind::kPicture,
         "c.jpg:c.raw:n:x",
         {"c.jpg", "c.raw", "n", "x"}},  // more fields are ignored
        {"X.JPG:x.raw:n\n", LineKind::kPicture, "X.JPG:x.raw:n", {"X.JPG", "x.raw", "n"}},
        {"\n", LineKind::kEmpty, "", {}},
        {" \r\n", LineKind::kEmpty, "", {}},
        {"bad line\n", LineKind::kMalformed, "badline", {"badline"}},
        {"b.jpg:b.raw\n", LineKind::kMalformed, "b.jpg:b.raw", {"b.jpg", "b.raw"}},
        {"\t:\t:\t", LineKind::kPicture, "\t:\t:\t", {"\t", "\t", "\t"}},    // only blanks are removed
        {"a\rb:c:d\n", LineKind::kPicture, "a\rb:c:d", {"a\rb", "c", "d"}},  // a lone carriage return stays
    };
    for (const Example& e : examples) {
        CAPTURE(e.line);
        CaptureLine read = read_capture_line(u(e.line));
        CHECK(read.kind == e.kind);
        CHECK(s(read.cleaned) == e.cleaned);
        std::vector<std::string> fields;
        for (const ustring& field : read.fields) fields.push_back(s(field));
        CHECK(fields == e.fields);
    }
    CHECK(s(listed_picture(U" P 1.jpg : r : n\n")) == "P1.jpg");
    CHECK(s(listed_picture(U"no colon")) == "nocolon");
    CHECK(s(picture_as_written(u("  IMG_0001 - 副本.jpg :r:n\r\n"))) == "IMG_0001 - 副本.jpg");
    CHECK(s(picture_as_written(U"no colon \n")) == "no colon");
    CHECK(s(picture_as_written(U"   :r:n")) == "");
}

TEST_CASE("a user's text is echoed cut to 200 characters and an ellipsis") {
    ustring long_line(300, U'照');
    CHECK(echo(long_line) == ustring(200, U'照') + U"…");
    CHECK(echo(ustring(200, U'x')) == ustring(200, U'x'));
    CHECK(echo(U"") == U"");
}

TEST_CASE("a byte-order mark names the encoding, else UTF-8 and then the system's own are tried") {
    CHECK(encoding_of_mark("\xEF\xBB\xBF"
                           "Path=x") == "utf-8-sig");
    CHECK(encoding_of_mark("\xFF\xFEP\0") == "utf-16");
    CHECK(encoding_of_mark("\xFE\xFF\0P") == "utf-16");
    CHECK(encoding_of_mark("\xEF\xBB").empty());
    CHECK(encoding_of_mark("").empty());
    CHECK(encoding_of_mark("Path").empty());
    using Tried = std::vector<std::string>;
    CHECK(text_encodings("\xEF\xBB\xBFP", "gbk") == Tried{"utf-8-sig"});
    CHECK(text_encodings("\xFF\xFEP", "gbk") == Tried{"utf-16"});
    CHECK(text_encodings("Path", "gbk") == Tried{"utf-8", "gbk"});
    CHECK(text_encodings("", "utf-8") == Tried{"utf-8"});
    CHECK(text_encodings("P", "") == Tried{"utf-8"});  // a system encoding the interpreter does not know
    CHECK(undecodable_text("C:/x/Config.ini", {"utf-8", "gbk"}) ==
          "C:/x/Config.ini 不是 utf-8 或 gbk 编码的文本");
}

}  // namespace
}  // namespace awb
