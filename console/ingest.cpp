// Result ingestion: the current picture recorded on the seven sheets of the analysis workbook,
// then its console summary.
//
// Everything is gathered first (row search, record and gains of each light source) and checked,
// so a failing tag read or a value no cell takes leaves the workbook untouched. Then the seven
// rows are written into the workbook held in memory, which is saved once. The show goes into
// the tuning history after the workbook's lock is released.
#include <optional>

#include "awb/analysis_workbook.hpp"
#include "awb/tables.hpp"
#include "book_memory.hpp"
#include "console.hpp"
#include "errors.hpp"
#include "history.hpp"
#include "lock.hpp"
#include "picture_rows.hpp"
#include "reader.hpp"
#include "record.hpp"
#include "result_names.hpp"
#include "strings.hpp"
#include "summary.hpp"

namespace awb::console {
namespace {

// Letters and digits as the interpreter's str.isalnum sees them; ASCII without a call.
bool is_alnum(char32_t c) {
    if (c < 0x80) {
        char32_t lower = c | 0x20;
        return (c >= U'0' && c <= U'9') || (lower >= U'a' && lower <= U'z');
    }
    return Py_UNICODE_ISALNUM(static_cast<Py_UCS4>(c));
}

// The picture's row on one sheet (the rule: find_picture_row). A match makes the row's
// column-0 text the current picture name.
std::optional<std::size_t> find_row(const py_::Namespace& ns, const py_::SheetRows& rows) {
    if (rows.count() <= 1) return std::nullopt;
    // A multi-frame picture is recorded under its name before the "-mfll" marker.
    ustring current = py_::to_ustring(ns.get(globals::Target_Awb_Target_Pic));
    ustring picture = recorded_picture_name(current);
    if (picture != current) ns.set(globals::Target_Awb_Target_Pic, py_::to_str(picture));
    py::object to_text = ns.lookup("str");
    std::vector<py::object> texts;
    std::vector<ustring> cells;
    texts.reserve(rows.count() - 1);
    cells.reserve(rows.count() - 1);
    for (std::size_t i = 1; i < rows.count(); ++i) {
        const py::object& cell = rows.names[i];
        texts.push_back(PyUnicode_Check(cell.ptr()) ? cell : to_text(cell));
        cells.push_back(py_::to_ustring(texts.back()));
    }
    std::optional<std::size_t> found = find_picture_row(cells, picture, is_alnum, py_::upper_case);
    if (!found) return std::nullopt;
    ns.set(globals::Target_Awb_Target_Pic, texts[*found]);
    return *found + 1;
}

void print_summary(const py_::Namespace& ns, const std::vector<SheetRecord>& sheets) {
    std::vector<SheetSummary> shown;
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        const py_::RecordValues& record = sheets[k].record;
        shown.push_back({record.slot(kFirstProbabilitySlot + k), record.slot(kWeightSlot), sheets[k].gains});
    }
    const py_::RecordValues& first = sheets.front().record;
    for (const std::string& line : summary_lines(first.slot(0), first.slot(1), shown)) {
        ns.print(py::str(line));
    }
}

// Gather: each light source's row and record, read from the text under the workbook's lock. A
// text the simulator wrote again while it was read is read again once it has settled.
std::vector<SheetRecord> gather(const py_::Namespace& ns, py_::BookMemory& memory, const py::object& path,
                                std::optional<py_::TextMemory>& texts) {
    std::vector<SheetRecord> sheets;
    sheets.reserve(kSheetCount);
    for (bool first_reading = true;; first_reading = false) {
        sheets.clear();
        texts.emplace(ns);  // the debug text is read once for the seven records
        std::size_t row = 0;
        for (std::size_t k = 0; k < kSheetCount; ++k) {
            mark_step(Step::kOpenWorkbook);
            const py_::SheetRows& rows = memory.open(ns, path).sheet(k);
            row = picture_row(find_row(ns, rows), row, rows.count());
            ns.set(globals::insert_row_num, py::int_(row));

            mark_step(Step::kReadTags);
            ns.get(globals::Create_Data)(py_::to_str(kLightSources[k].code));
            sheets.push_back(
                {row, ns.get(globals::Target_Awb_Target_Pic), py_::take_record(ns), py_::take_gains(ns)});
        }
        mark_step(Step::kSettle);
        if (!settle_again(ns, first_reading)) return sheets;
    }
}

// Check: a text without AWB values, a row past the sheet's last and a text too long for a cell
// fail the show before anything is written; so does a value the workbook cannot take (the rows'
// cells are made here).
std::vector<py_::RowFields> check(const py_::Namespace& ns, const py_::Book& book,
                                  const py_::TextMemory& texts, const std::vector<SheetRecord>& sheets,
                                  const py::object& issues) {
    mark_step(Step::kCheckValues);
    if (texts.holds_no_values()) {
        py::object fp = ns.get(globals::fp);
        py::object text = py::hasattr(fp, "name") ? fp.attr("name") : ns.get(globals::Lumvik_file_full_path);
        py_::raise(PyExc_ValueError, no_values(py::str(text).cast<std::string>()));
    }
    mark_step(Step::kWriteRow);
    for (const SheetRecord& entry : sheets) {
        py_::check_row(entry.row);
        py_::check_text(entry.name);
    }
    py_::check_text(issues);
    py::object now = ns.get(globals::datetime).attr("datetime").attr("now")();
    std::vector<py_::RowFields> fields;
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        fields.push_back(book.picture_fields(k, sheets[k].record, sheets[k].name, issues, now));
    }
    return fields;
}

// Records the current picture in the workbook under the workbook's lock and prints its
// summary; returns the show for the history, which is written after the lock is released.
// Gather, check, write the seven rows into the workbook held in memory, commit (save it).
RecordedShow record_in_workbook(const py_::Namespace& ns) {
    mark_step(Step::kIssueNote);
    py::object issues = ns.get(globals::Pic_Issues_Raw)(ns.get(globals::Target_Awb_Target_Pic));
    ns.set(globals::insert_row_num, py::int_(0));

    mark_step(Step::kLockWorkbook);
    py::object path = ns.get(globals::Excle_File);
    py_::WorkbookLock lock(ns, path, py_::kShowWait);  // a show has taken it already
    mark_step(Step::kOpenWorkbook);
    py_::BookMemory& memory = py_::BookMemory::of(ns);
    memory.open(ns, path);
    std::optional<py_::TextMemory> texts;
    std::vector<SheetRecord> sheets = gather(ns, memory, path, texts);

    // Looked up again: `Create_Data` may be the caller's own and have replaced the memory (it
    // costs one stat of the file).
    py_::Book& book = memory.open(ns, path);
    std::vector<py_::RowFields> fields = check(ns, book, *texts, sheets, issues);

    py_::HeldInterrupt held;  // Ctrl-C waits until the rows are written and saved
    try {
        for (std::size_t k = 0; k < sheets.size(); ++k) {
            book.write_picture_row(Tool::kConsole, k, sheets[k].row, fields[k], sheets[k].name);
        }
    } catch (py::error_already_set&) {
        memory.forget();  // the memory no longer holds whole pictures only
        throw;
    }

    mark_step(Step::kSaveWorkbook);
    try {
        memory.recorded(ns);
    } catch (py::error_already_set&) {
        memory.forget();  // the next show reads the file as it is on disk
        throw;
    }
    mark_step(Step::kSummary);
    held.release();
    print_summary(ns, sheets);
    return recorded_show(ns, sheets, issues);
}

}  // namespace

void create_lumvik_data() {
    const py_::Namespace& ns = kLumvik;
    HeldShow::remember_when_released(ns, record_in_workbook(ns));
}

}  // namespace awb::console
