// The analysis workbook: creating it, reading it once into memory for the row writers, and
// saving it so that the file on disk is always a whole workbook.
#pragma once

#include <chrono>
#include <optional>
#include <vector>

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
// the new workbook. A missing folder is made first; a workbook the user made read-only is
// refused.
void save_atomically(const Namespace& ns, py::handle workbook, py::handle path);

// PermissionError when a file exists at `path` that the user may not write or marked
// read-only (which the file system would let the administrator replace or remove anyway).
void refuse_read_only(const Namespace& ns, py::handle path);

// Column 0 of one sheet, row by row, as a reader of the file sees it, and the sheet's row
// count (rows up to the last one holding a value).
struct SheetRows {
    std::vector<py::object> names;
    std::size_t count() const { return names.size(); }
};

// A workbook held in memory while it is edited: its writable copy and what its sheets hold.
struct Book {
    py::object writable;
    std::vector<SheetRows> sheets;
    py::dict styles;  // the writers' cell styles, made once per workbook

    SheetRows& sheet(std::size_t index);  // IndexError when the workbook has fewer sheets
    void note_row(std::size_t sheet, std::size_t row, py::handle name);
};

// The module's memory of the workbook it saved last. The console reuses it for as long as the
// file on disk is the one it saved (same size, modification time and identity); otherwise the
// file is read afresh. During a batch run it is the run's own workbook and is saved at most
// about once a second (less often once saving takes longer than half a second), and at the end
// of the run.
class BookMemory {
public:
    static BookMemory& of(const Namespace& ns);

    Book& open(const Namespace& ns, py::handle path);
    void save(const Namespace& ns);           // saves the open workbook now
    void recorded(const Namespace& ns);       // one picture written: save now, or when due in a run
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
    }
    void end_run(const Namespace& ns, bool save_pending);
    bool save_failed() const { return save_failed_; }  // the last save attempt failed

private:
    std::optional<Book> book_;
    py::object path_;
    py::object stamp_;
    bool pending_ = false;
    bool save_failed_ = false;
    int runs_ = 0;
    bool checked_in_run_ = false;  // during a run, memory is the run's workbook once checked
    std::chrono::steady_clock::time_point next_save_{};  // during a run
};

// Keeps a batch run open for its lifetime; end() saves what is pending.
class BatchRun {
public:
    explicit BatchRun(const Namespace& ns);
    ~BatchRun();
    void end();
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

private:
    const Namespace& ns_;
    bool open_ = true;
};

// The highest row and longest text a workbook cell can take.
inline constexpr std::size_t kLastRow = 65535;
inline constexpr std::size_t kLongestText = 32767;
void check_row(std::size_t row);
void check_text(py::handle text);

}  // namespace awb::py_
