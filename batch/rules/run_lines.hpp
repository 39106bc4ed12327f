// What a run of the batch (or of the folder walk) tells the engineer: its console lines while it
// goes through the pictures and when it ends, and the note on a run stopped by Ctrl-C or by the
// loss of its workbook's lock. Names and paths come as the interpreter's texts, and the lines go
// back as such. Plain C++, no interpreter objects.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "awb/capture_list.hpp"
#include "awb/text.hpp"

namespace awb::batch {

// Whether a capture list holds a picture line at all: without one the day's workbook is left
// as it is.
bool holds_picture_line(const std::vector<ustring>& lines);

// A capture-list line with fewer than three fields, passed over: its number (from 1, empty lines
// counted) and its cleaned text, echoed.
ustring bad_line(std::size_t line_number, uview cleaned);

// A picture passed over for its own data: the picture, echoed, and why.
ustring picture_skipped_line(uview picture, uview why);
// Why a file found by the folder walk is passed over when its name is no text.
inline constexpr uview kNameNotText = U"文件名不是本机编码的文本, 无法写入表格; 请给它改名";

// The earlier run's workbook went into "备份" as `moved`, or, "备份" refusing it (`why`), was renamed
// beside itself as `renamed`; its history could not go with it (`why`). A workbook that can be
// neither moved nor renamed stays as it is and the batch records nothing: the note on the error
// (`why` as awb::why_not_written gives it).
ustring old_workbook_moved_line(uview moved);
ustring old_workbook_renamed_line(uview renamed, uview why);
ustring old_history_kept_line(uview history, uview why);
std::string old_workbook_stays_note(const std::string& workbook, const std::string& why);

// A checkpoint's save failed (`why` as awb::why_not_written gives it): the run goes on and tries
// again at the next ones. Said once until a save succeeds again.
ustring checkpoint_failed_line(uview workbook, uview why);

// The report of the pictures whose dumps were missing: the module's list of them starts with a
// placeholder (""), so one of fewer than two entries names none and reports nothing.
std::vector<ustring> missing_dumps_report(const std::vector<ustring>& no_exif_list);

// The report of the pictures passed over for their own data; nothing when there are none.
std::vector<ustring> failed_pictures_report(const std::vector<ustring>& pictures);

// A picture line whose note was cut: a note holds no ":", so the batch records the third field
// and leaves out what follows it on the line (from its ":"). The line's number (from 1, empty
// lines counted), the note recorded and the text left out, echoed; none when nothing but ":"
// follows the note.
struct CutNote {
    std::size_t line_number;
    ustring note;
    ustring dropped;
};
std::optional<CutNote> cut_note(std::size_t line_number, const CaptureLine& line);

// The report of the lines whose note was cut, each said once; nothing when there are none.
std::vector<ustring> cut_notes_report(const std::vector<CutNote>& cut);

// The end of the batch: the three reports, a blank line and the workbook it wrote.
std::vector<ustring> batch_end_report(const std::vector<ustring>& no_exif_list,
                                      const std::vector<ustring>& failed_pictures,
                                      const std::vector<CutNote>& cut_notes, uview workbook);

// What a run's last save left: the pictures the saved workbook holds, where it went, and the
// error of that save (empty when it succeeded). When the run's own workbook could not be
// written, its whole run went to a new workbook in "备份" (`where`) instead, or tried to: then
// `own` names the run's workbook, `own_failure` why (as awb::why_not_written gives it),
// `in_own` what that file holds as last saved, and `recorded` the pictures of the run's workbook
// in memory.
struct LastSave {
    std::size_t pictures = 0;
    ustring where{};
    ustring failure{};
    ustring own{};
    ustring own_failure{};
    std::size_t in_own = 0;
    std::size_t recorded = 0;
};

// What a run's end or stop tells of its last save: where its pictures are, and, where no file
// could take them, how many are in no file.
ustring saved_line(const LastSave& save);

// The note on a Ctrl-C.
ustring interrupted_note(const LastSave& save);

// The note on the error that stopped a run whose workbook another program locked meanwhile:
// where the run's workbook went, or that the run had not recorded anything.
ustring lock_lost_note(uview workbook, const std::optional<LastSave>& save);

// The note on a run stopped by a full workbook (`refusal`, awb::row_refusal): where recording
// stopped (a capture-list line, or a walked file) and its picture, and what was saved.
ustring workbook_full_note(uview refusal, uview stopped_at, uview picture, const LastSave& save);

// Where recording stopped in the capture list: its line `line_number` (from 1).
ustring capture_list_place(std::size_t line_number);

}  // namespace awb::batch
