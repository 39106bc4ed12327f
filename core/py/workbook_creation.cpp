#include "workbook_creation.hpp"

#include "awb/tables.hpp"
#include "book_memory.hpp"
#include "file_safety.hpp"
#include "lock.hpp"
#include "strings.hpp"

namespace awb::py_ {
namespace {

constexpr std::size_t kNameColumnWidth = 3840;  // 15 characters
constexpr int kTitleFillColour = 5;             // yellow in the standard palette

py::list titles_of(const Layout& layout) {
    py::list titles;
    for (uview title : layout.titles) titles.append(to_str(title));
    return titles;
}

py::object title_style(const py::object& xlwt) {
    py::object style = xlwt.attr("XFStyle")();
    style.attr("pattern") = solid_fill(xlwt, kTitleFillColour);
    style.attr("alignment") = alignment(xlwt, "HORZ_CENTER", "VERT_CENTER");
    return style;
}

}  // namespace

py::object solid_fill(const py::object& xlwt, int colour) {
    py::object pattern = xlwt.attr("Pattern")();
    pattern.attr("pattern") = xlwt.attr("Pattern").attr("SOLID_PATTERN");
    pattern.attr("pattern_fore_colour") = colour;
    return pattern;
}

py::object alignment(const py::object& xlwt, const char* horizontal, const char* vertical) {
    py::object placed = xlwt.attr("Alignment")();
    placed.attr("horz") = xlwt.attr("Alignment").attr(horizontal);
    placed.attr("vert") = xlwt.attr("Alignment").attr(vertical);
    return placed;
}

void create_workbook(const Namespace& ns, const WorkbookVariant& variant) {
    py::object xlwt = ns.get(globals::xlwt);
    py::object workbook = xlwt.attr("Workbook")();
    for (const LightSource& source : kLightSources) {
        std::size_t column = 0;
        py::object sheet =
            workbook.attr("add_sheet")(to_str(source.code), py::arg("cell_overwrite_ok") = true);
        py::object style = title_style(xlwt);
        if (variant.widen_name_column) sheet.attr("col")(0).attr("width") = kNameColumnWidth;
        ns.set(globals::AWB_Title, titles_of(full_layout()));
        if (variant.set_data_num)
            ns.set(globals::Data_num, py::int_(py::len(ns.get(globals::AWB_Title)) - 3));
        if (source.reduced) ns.set(globals::AWB_Title, titles_of(reduced_layout()));
        for (py::handle title : ns.get(globals::AWB_Title)) sheet.attr("write")(0, column++, title, style);
        if (variant.prewrite_picture) {
            sheet.attr("write")(ns.get(globals::insert_row_num), 0, ns.get(globals::Target_Awb_Target_Pic));
        }
    }
    py::object path = ns.get(globals::Excle_File);
    WorkbookLock lock(ns, path, kShowWait);
    BookMemory::of(ns).forget();
    save_atomically(ns, workbook, path);
}

}  // namespace awb::py_
