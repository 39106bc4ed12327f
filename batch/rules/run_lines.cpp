#include "run_lines.hpp"

#include <string>

#include "awb/capture_list.hpp"
#include "dump_names.hpp"

namespace awb::batch {
namespace {

ustring number(std::size_t n) { return from_utf8(std::to_string(n)); }

// A line on the last save, with the error of the save after it when it failed.
ustring with_failure(ustring line, const LastSave& save) {
    if (!save.failure.empty()) line += U" (最后一次保存失败: " + save.failure + U")";
    return line;
}

}  // namespace

bool holds_picture_line(const std::vector<ustring>& lines) {
    for (const ustring& line : lines) {
        if (read_capture_line(line).kind == LineKind::kPicture) return true;
    }
    return false;
}

ustring bad_line(std::size_t line_number, uview cleaned) {
    return U"第" + number(line_number) + U"行格式错误,已跳过: " + echo(cleaned);
}

ustring picture_skipped_line(uview picture, uview why) {
    return U"exif数据有误,照片已跳过: " + echo(picture) + U" (" + ustring(why) + U")";
}

ustring old_workbook_moved_line(uview moved) { return U"之前的表格文件已移入备份: " + ustring(moved); }

ustring old_workbook_renamed_line(uview renamed, uview why) {
    return U"之前的表格文件无法移入备份 (" + ustring(why) + U"), 已在原处改名保留: " + ustring(renamed);
}

std::string old_workbook_stays_note(const std::string& workbook, const std::string& why) {
    return "之前的表格文件 " + workbook + " 无法移入备份, 也无法改名" + why +
           "; 它保持原样, 本次未记录, 处理后重试";
}

ustring checkpoint_failed_line(uview workbook, uview why) {
    return U"表格文件 " + ustring(workbook) + U" 暂时无法保存" + ustring(why) +
           U"; 继续记录, 之后每次保存时重试";
}

ustring old_history_kept_line(uview history, uview why) {
    return U"旧的调参历史无法移入备份,本次数据将追加到其中: " + ustring(history) + U" (" + ustring(why) +
           U")";
}

std::vector<ustring> missing_dumps_report(const std::vector<ustring>& no_exif_list) {
    if (no_exif_list.size() < 2) return {};
    std::vector<ustring> lines{U"\n有照片缺少exif数据,请重新导出对应图片的exif数据！"};
    for (const ustring& entry : no_exif_list) lines.push_back(echo(missing_dump_report_line(entry)));
    return lines;
}

std::vector<ustring> failed_pictures_report(const std::vector<ustring>& pictures) {
    if (pictures.empty()) return {};
    std::vector<ustring> lines{U"\n有照片的exif数据有误,未写入表格,请检查对应图片的exif数据！"};
    for (const ustring& picture : pictures) lines.push_back(echo(picture));
    return lines;
}

std::optional<CutNote> cut_note(std::size_t line_number, const CaptureLine& line) {
    if (line.kind != LineKind::kPicture) return std::nullopt;
    ustring dropped;
    bool holds_text = false;
    for (std::size_t i = kCaptureFields; i < line.fields.size(); ++i) {
        dropped += U":" + line.fields[i];
        holds_text = holds_text || !line.fields[i].empty();
    }
    if (!holds_text) return std::nullopt;
    return CutNote{line_number, echo(line.fields[kCaptureFields - 1]), echo(dropped)};
}

std::vector<ustring> cut_notes_report(const std::vector<CutNote>& cut) {
    if (cut.empty()) return {};
    std::vector<ustring> lines{
        U"\n以下行的问题描述含有 \":\", 只记录了其中第一个 \":\" 之前的部分 (问题描述中不能有 \":\", "
        U"可改用全角 \"：\"):"};
    for (const CutNote& note : cut) {
        lines.push_back(U"第" + number(note.line_number) + U"行: 记录为 " + note.note + U", 未记录 " +
                        note.dropped);
    }
    return lines;
}

std::vector<ustring> batch_end_report(const std::vector<ustring>& no_exif_list,
                                      const std::vector<ustring>& failed_pictures,
                                      const std::vector<CutNote>& cut_notes, uview workbook) {
    std::vector<ustring> lines = missing_dumps_report(no_exif_list);
    for (ustring& line : failed_pictures_report(failed_pictures)) lines.push_back(std::move(line));
    for (ustring& line : cut_notes_report(cut_notes)) lines.push_back(std::move(line));
    lines.push_back(U"");
    lines.push_back(U"数据处理完成！表格文件:" + ustring(workbook));
    return lines;
}

ustring saved_line(const LastSave& save) {
    if (save.own.empty())
        return with_failure(U"表格中已保存 " + number(save.pictures) + U" 张照片: " + save.where, save);
    ustring line = U"表格文件 " + save.own + U" 无法保存" + save.own_failure + U"; ";
    if (save.failure.empty()) {
        return line + U"本次的表格 (" + number(save.recorded) + U" 张照片) 已全部另存到: " + save.where +
               U" (" + save.own + U" 中是上次保存的 " + number(save.in_own) + U" 张)";
    }
    line += U"另存到备份也失败 (" + save.failure + U"): ";
    std::size_t lost = save.recorded > save.in_own ? save.recorded - save.in_own : 0;
    if (save.in_own == 0) return line + U"表格的 " + number(save.recorded) + U" 张照片未写入任何文件";
    return line + U"表格的 " + number(save.recorded) + U" 张照片中只有上次保存的 " + number(save.in_own) +
           U" 张在 " + save.own + U" 中, 其余 " + number(lost) + U" 张未写入任何文件";
}

ustring interrupted_note(const LastSave& save) { return U"已中断: " + saved_line(save); }

ustring lock_lost_note(uview workbook, const std::optional<LastSave>& save) {
    ustring line =
        U"工作簿 " + ustring(workbook) + U" 已被另一个程序加锁写入 (锁文件曾被删除或替换), 本次不再写入它; ";
    if (!save) return line + U"本次尚未记录照片";
    return line +
           with_failure(U"本次的表格 (" + number(save->pictures) + U" 张照片) 另存到: " + save->where, *save);
}

ustring workbook_full_note(uview refusal, uview stopped_at, uview picture, const LastSave& save) {
    return ustring(refusal) + U"; 记录停在 " + ustring(stopped_at) + U" (" + echo(picture) + U"), " +
           saved_line(save);
}

ustring capture_list_place(std::size_t line_number) {
    return U"rawfilename.txt 第 " + number(line_number) + U" 行";
}

}  // namespace awb::batch
