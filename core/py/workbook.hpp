// The analysis workbook: creating it, reading it once into memory for the row writers, and
// saving it so that the file on disk is always a whole workbook.
#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <vector>

#include "awb/tables.hpp"
#include "pyutil.hpp"

namespace awb::py_ {

// What the two tools' workbooks differ in.
struct WorkbookVariant {
    bool prewrite_picture;   // the console writes the picture name in row `insert_row_num`
    bool widen_name_column;  // the batch widens column 0 to 15 characters
    bool set_data_num;       // the batch keeps `Data_num`, its column bound, in step
};

// Create_Excel: a new workbook at `Excle_File` with the seven sheets and their title rows.
void create_workbook(const Namespace& ns, const WorkbookVariant& variant);

// The pieces the workbook's cell styles are made of: a solid fill of a palette colour, an
// alignment ("HORZ_CENTER", "VERT_CENTER", ...), and the red, not bold font of the marked cells.
py::object solid_fill(const py::object& xlwt, int colour);
py::object alignment(const py::object& xlwt, const char* horizontal, const char* vertical);
inline constexpr const char* kRedFont = "font: bold 0, color red;";

// Writes `workbook` (an xlwt workbook) to `path` through a new file beside it (opened with the
// module's open) that then replaces the old one in one step: an interruption leaves the old or
// the new workbook. A link is saved through to its target (the new file is made beside the
// target, and the link stays a link). A missing folder is made first; a workbook the user made
// read-only is refused. Where no new file can be made beside it but the workbook itself may be
// written, the whole new workbook is built in memory and written over the old one in place.
void save_atomically(const Namespace& ns, py::handle workbook, py::handle path);

// The folder "备份" beside the workbook's real file, where earlier workbooks are kept.
inline constexpr const char* kBackupFolder = "备份";

// Moves the workbook's real file into "备份" beside it, named after it with its modification
// time ("Corvane20261208.xls" last changed at 15:30:12 becomes "Corvane20261208-153012.xls";
// a number is added when that name is taken). Returns the new path; raises OSError when the
// file cannot be moved.
py::object move_into_backups(const Namespace& ns, py::handle path);

// PermissionError when a file exists at `path` that the user may not write or marked
// read-only (which the file system would let the administrator replace or remove anyway).
void refuse_read_only(const Namespace& ns, py::handle path);

// Column 0 of one sheet, row by row, as a reader of the file sees it, and the sheet's row
// count (rows up to the last one holding a value).
struct SheetRows {
    std::vector<py::object> names;
    std::size_t count() const { return names.size(); }
};

// A workbook held in memory while it is edited: its writable copy and what its seven sheets
// hold. The sheets are found by their names T, WF, F, CWF, D, DF, S wherever they stand among
// the user's own; only a workbook with none of those names is taken by position (0 to 6).
struct Book {
    py::object writable;
    std::vector<SheetRows> sheets;           // in light-source order
    std::array<std::size_t, kSheetCount> positions{};  // each light source's sheet in the workbook
    py::dict styles;  // the writers' cell styles, made once per workbook

    SheetRows& sheet(std::size_t light_source);
    py::object sheet_writer(std::size_t light_source) const;  // the writable copy's sheet
    void note_row(std::size_t light_source, std::size_t row, py::handle name);
    std::size_t pictures() const;  // picture rows of the first sheet
};

// The module's memory of the workbook it saved last. The console reuses it, under the
// workbook's lock, only while the file on disk is exactly the one it saved (identity, size,
// modification and change times in nanoseconds); otherwise the file is read afresh. During a
// batch run it is the run's own workbook, the truth of the run: a file deleted or replaced
// meanwhile is written whole again at the next save. A run saves at most about once a second
// (less often once saving takes longer than half a second), and at its end.
//
// A file read afresh that holds what a save cannot carry over (formulas, comments, charts,
// pictures, hyperlinks) is first copied byte for byte into "备份" beside it (once per content),
// and one line says what will become plain values or disappear and where the original is.
class BookMemory {
public:
    static BookMemory& of(const Namespace& ns);

    Book& open(const Namespace& ns, py::handle path);
    void save(const Namespace& ns);           // saves the open workbook now
    void recorded(const Namespace& ns);       // one picture written: save now, or when due in a run
    void save_pending(const Namespace& ns);   // saves what is not yet on disk
    void forget() {
        book_.reset();
        path_ = py::object();
        stamp_ = py::object();
        save_failed_ = false;
    }

    void begin_run() {
        ++runs_;
        checked_in_run_ = false;
        save_failed_ = false;
        saved_pictures_ = 0;
    }
    void end_run() {
        if (runs_ > 0) --runs_;
    }
    bool holds_run_book(py::handle path) const {  // the running batch's workbook is in memory
        return book_ && runs_ > 0 && checked_in_run_ && path_.equal(path);
    }
    bool save_failed() const { return save_failed_; }  // the last save attempt failed
    std::size_t saved_pictures() const { return saved_pictures_; }  // in the file as last saved

private:
    std::optional<Book> book_;
    py::object path_;
    py::object stamp_;
    bool pending_ = false;
    bool save_failed_ = false;
    std::size_t saved_pictures_ = 0;
    int runs_ = 0;
    bool checked_in_run_ = false;  // during a run, memory is the run's workbook once checked
    std::chrono::steady_clock::time_point next_save_{};  // during a run
};

// Keeps a batch run open for its lifetime. A run that ends by an error (Ctrl-C included) still
// saves the pictures it recorded, with Ctrl-C held back while it does, unless saving is what
// failed.
class BatchRun {
public:
    explicit BatchRun(const Namespace& ns);
    ~BatchRun();
    void save();  // saves what is pending now
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

private:
    const Namespace& ns_;
};

// The highest row and longest text a workbook cell can take.
inline constexpr std::size_t kLastRow = 65535;
inline constexpr std::size_t kLongestText = 32767;
void check_row(std::size_t row);
void check_text(py::handle text);

}  // namespace awb::py_
