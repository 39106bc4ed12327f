#include "awb/tables.hpp"

namespace awb {
namespace {

Layout make_layout(bool reduced) {
    Layout layout;
    layout.titles.push_back(kNameTitle);
    for (const RecordSlot& slot : kRecordSlots) {
        if (slot.title.empty() || (reduced && !slot.on_reduced_sheets)) continue;
        layout.titles.push_back(slot.title);
    }
    layout.value_columns = layout.titles.size() - 1;
    layout.titles.insert(layout.titles.end(), kTailTitles.begin(), kTailTitles.end());
    return layout;
}

}  // namespace

const Layout& full_layout() {
    static const Layout layout = make_layout(false);
    return layout;
}

const Layout& reduced_layout() {
    static const Layout layout = make_layout(true);
    return layout;
}

}  // namespace awb
