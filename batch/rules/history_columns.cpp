#include "history_columns.hpp"

#include "awb/tables.hpp"

namespace awb::batch {

std::vector<HistoryColumn> history_record_columns() {
    std::vector<HistoryColumn> columns;
    for (std::size_t k = 0; k < kSheetCount; ++k) {
        for (std::size_t s = 0; s < kRecordSlots.size(); ++s) {
            const RecordSlot& slot = kRecordSlots[s];
            if (k > 0 && !slot.per_light_source) continue;
            ustring tag(slot.tag);
            if (slot.per_light_source) tag += kLightSources[k].code;
            columns.push_back({k, s, std::move(tag)});
        }
    }
    return columns;
}

std::vector<ustring> history_gain_tags() {
    std::vector<ustring> tags;
    for (std::size_t i = 0; i < 3; ++i) tags.emplace_back(kGainSlots[kAlgorithmGainSlot + i].tag);
    return tags;
}

}  // namespace awb::batch
