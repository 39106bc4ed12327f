#include "result_choice.hpp"

#include <tuple>

#include "result_names.hpp"

namespace awb::console {

bool is_result_name(uview name) {
    if (name.size() > kAwbTextSuffix.size() &&
        name.substr(name.size() - kAwbTextSuffix.size()) == kAwbTextSuffix)
        return true;
    std::size_t at = name.rfind(kColourStatsSuffix);
    if (at == uview::npos || at == 0) return false;
    uview extension = name.substr(at + kColourStatsSuffix.size());
    return !extension.empty() && extension.find(U'.') == uview::npos;
}

FolderLook::FolderLook(const std::vector<ListedText>& texts) {
    for (const ListedText& text : texts) texts_[text.name] = {text.size, text.mtime_ns};
}

bool FolderLook::holds(const ListedText& text) const {
    auto found = texts_.find(text.name);
    return found != texts_.end() && found->second == std::make_pair(text.size, text.mtime_ns);
}

ResultChoice choose_result(const std::vector<ListedText>& listing, const FolderLook& last_look,
                           const FolderLook& left_by_clear, const std::set<ustring>& shown,
                           std::int64_t clock_ns) {
    ResultChoice choice;
    // Rank of a candidate: new first, then newer, then not yet shown; ties keep name order.
    using Rank = std::tuple<bool, std::int64_t, bool>;
    std::optional<Rank> best;
    std::optional<std::size_t> newest_text;
    for (std::size_t i = 0; i < listing.size(); ++i) {
        const ListedText& text = listing[i];
        if (left_by_clear.holds(text)) {
            if (is_result_name(text.name)) ++choice.left_by_clear;
            continue;
        }
        if (!newest_text || text.mtime_ns > listing[*newest_text].mtime_ns) newest_text = i;
        if (!is_result_name(text.name)) continue;
        if (text.mtime_ns > clock_ns && text.mtime_ns - clock_ns > kClockSlackNs) choice.future.push_back(i);
        Rank rank{!last_look.holds(text), text.mtime_ns, shown.count(awb_text_of(text.name)) == 0};
        if (!best || rank > *best) {
            best = rank;
            choice.result = i;
        }
    }
    if (best) choice.is_new = std::get<0>(*best);
    if (newest_text && !is_result_name(listing[*newest_text].name) &&
        (!choice.result || listing[*newest_text].mtime_ns > listing[*choice.result].mtime_ns)) {
        choice.newest_other = newest_text;
    }
    return choice;
}

ustring future_results_line(const std::vector<ustring>& names, std::int64_t ahead_ns) {
    std::int64_t minutes = ahead_ns / kClockSlackNs;
    ustring first = names.empty() ? ustring() : names.front();
    ustring which = names.size() > 1
                        ? first + U" 等 " + from_utf8(std::to_string(names.size())) + U" 个仿真结果"
                        : U"仿真结果 " + first + U" ";
    return U"注意: " + which + U"的修改时间比本机时钟晚 " + from_utf8(std::to_string(minutes)) +
           U" 分钟以上 (来自时钟不准的电脑?); 之后新仿真的结果仍会在回车时记录";
}

ustring not_a_result_line(uview name) {
    return U"结果文件夹中最新的文本 " + ustring(name) + U" 不是仿真结果 (仿真结果名为 …" +
           ustring(kAwbTextSuffix) + U" 或 …" + ustring(kColourStatsSuffix) +
           U"*), 未记录它, 显示最新的仿真结果";
}

}  // namespace awb::console
