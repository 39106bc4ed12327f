#include "workbook_creation.hpp"

#include <optional>

#include "awb/analysis_workbook.hpp"
#include "awb/tables.hpp"
#include "book_memory.hpp"
#include "cell_values.hpp"
#include "file_safety.hpp"
#include "lock.hpp"
#include "strings.hpp"

namespace awb::py_ {
namespace {

py::list titles_of(const Layout& layout) {
    py::list titles;
    for (uview title : layout.titles) titles.append(to_str(title));
    return titles;
}

}  // namespace

void create_workbook(const Namespace& ns, const WorkbookVariant& variant) {
    // The module's titles as the last sheet made leaves them (the full layout's, "S" being one).
    ns.set(globals::AWB_Title, titles_of(layout_of(kLightSources.back())));
    if (variant.set_data_num) ns.set(globals::Data_num, py::int_(data_num(full_layout())));
    std::optional<PrewrittenName> prewritten;
    if (variant.prewrite_picture) {
        prewritten = PrewrittenName{ns.get(globals::insert_row_num).cast<std::int64_t>(),
                                    value_of(ns.get(globals::Target_Awb_Target_Pic), /*dates_1904=*/false)};
    }
    std::unique_ptr<xls::Workbook> workbook;
    try {
        workbook = create_analysis_workbook(variant.widen_name_column, prewritten);
    } catch (const xls::Refusal& refusal) {
        raise(PyExc_ValueError, refusal.what());
    }
    py::object path = ns.get(globals::Excle_File);
    WorkbookLock lock(ns, path, kShowWait);
    BookMemory::of(ns).forget();
    save_atomically(ns, *workbook, path);
}

}  // namespace awb::py_
