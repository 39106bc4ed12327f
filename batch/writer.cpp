// The batch row writer: one picture's row on each of the seven sheets in four steps. Gather (row
// search, record, date), check (what would fail the picture, its cells' values made), write (the
// seven rows, which can no longer fail) and commit (the run's history, the save when due): a
// picture that fails leaves no row anywhere.
#include <array>
#include <vector>

#include "awb/analysis_workbook.hpp"
#include "awb/tables.hpp"
#include "batch.hpp"
#include "errors.hpp"
#include "failure_notes.hpp"
#include "lock.hpp"
#include "os_calls.hpp"
#include "reader.hpp"
#include "record.hpp"
#include "row_search.hpp"
#include "run_history.hpp"
#include "strings.hpp"

namespace awb::batch {
namespace {

// The row writer's state in its module: the error that ended the last failed picture, and why.
struct WriterState {
    static constexpr const char* kAttribute = "_writer_state";
    py::object failure;
    RecordFailure kind = RecordFailure::kNone;
};

WriterState& writer_state() { return py_::module_state<WriterState>(kTavrin); }

void mark_failure(py::handle error, RecordFailure kind) {
    writer_state().failure = py::reinterpret_borrow<py::object>(error);
    writer_state().kind = kind;
}

// Runs one step that reads the picture's own data; an error there that comes from the data
// (an unreadable dump, a value that is not an integer, a value too large for the record, a
// text too long for a cell) is marked as the picture's failure before it goes on up.
template <class Step>
decltype(auto) picture_step(Step&& step) {
    try {
        return step();
    } catch (py::error_already_set& e) {
        if (e.matches(PyExc_OSError) || e.matches(PyExc_ValueError) || e.matches(PyExc_OverflowError)) {
            mark_failure(e.value(), RecordFailure::kPicture);
        }
        throw;
    }
}

// The "Date" cell: record slot 20 as text, cleaned (awb::batch::clean_date_text), as an integer.
py::object date_of_record(const py_::Namespace& ns) {
    py::str text(ns.get(globals::AWB_TAG_DATA_List)[py::int_(kDateSlot)]);
    return ns.lookup("int")(py_::to_str(clean_date_text(py_::to_ustring(text))));
}

// What one sheet gets: the row and the values, gathered before anything is written.
struct SheetRow {
    std::size_t row = 0;
    py_::RecordValues values;
    py::object date;
};

// The final R, G and B gains of the picture for the run's history, read from the lines of its
// dump that the reader keeps (after the record: they do not count as its values); none for a
// missing dump, and none for a gain that is not a whole number (the gains are not the
// workbook's: they fail nothing).
std::array<py::object, 3> final_gains(const py_::Namespace& ns, py_::TextMemory& dumps) {
    std::array<py::object, 3> gains;
    if (!dumps.lines || dumps.lines.is_none()) return gains;
    for (std::size_t i = 0; i < gains.size(); ++i) {
        try {
            gains[i] = dumps.scan(ns, py_::to_str(kGainSlots[kAlgorithmGainSlot + i].tag));
        } catch (py::error_already_set& e) {
            if (!e.matches(PyExc_ValueError)) throw;
        }
    }
    return gains;
}

// What a picture leaves: its rows on the seven sheets, and what goes into the run's history.
struct Picture {
    py::object name;
    py::object issues;
    std::array<SheetRow, kSheetCount> rows;
    std::array<py::object, 3> gains;
};

// Gather: the row of each sheet (awb::batch::BatchRowSearch) and the record for its light
// source, with `Data_num` as the sheet's bound while its record is built (awb::data_num). The
// workbook in memory is looked up for each sheet: `Create_Data` may be the caller's own and
// have replaced it.
void gather(const py_::Namespace& ns, const py::object& workbook, py_::TextMemory& dumps, Picture& picture) {
    BatchRowSearch search;
    py::object data_num_org = ns.get(globals::Data_num);
    py::object target = ns.get(globals::Target_Awb_Target_Pic);
    for (std::size_t k = 0; k < kSheetCount; ++k) {
        const LightSource& source = kLightSources[k];
        SheetRow& sheet = picture.rows[k];
        ns.set(globals::Data_num, data_num_org);
        py_::SheetRows& names = py_::BookMemory::of(ns).open(ns, workbook).sheet(k);
        std::size_t searched = search.search({names.count(), names.find(target)});
        ns.set(globals::insert_row_num, py::int_(searched));
        picture_step([&] {
            ns.get(globals::Create_Data)(py_::to_str(source.code));
            sheet.values = py_::take_record(ns);
            sheet.date = date_of_record(ns);
        });
        // A full sheet's values run to its last value column whatever `Data_num` holds.
        const Layout& layout = layout_of(source);
        sheet.row = search.settle(layout.value_columns);
        if (sheet.row != searched) ns.set(globals::insert_row_num, py::int_(sheet.row));
        if (source.reduced) ns.set(globals::Data_num, py::int_(data_num(layout)));
    }
    if (RunHistory::current(ns)) picture.gains = final_gains(ns, dumps);
}

// Check: a dump that holds none of the record's tags is not recorded as a row of zeros; a text
// too long for a cell and a row past the sheet's last fail the picture before anything is
// written; so does a value the workbook cannot take (its fields are made here).
std::vector<py_::RowFields> check(py_::Book& book, const py_::TextMemory& dumps, const Picture& picture) {
    if (dumps.holds_no_values()) {
        picture_step(
            [&] { py_::raise(PyExc_ValueError, no_debug_data_message(py_::text_of(dumps.source))); });
    }
    std::vector<py_::RowFields> fields;
    picture_step([&] {
        py_::check_text(picture.name);
        py_::check_text(picture.issues);
        for (std::size_t k = 0; k < kSheetCount; ++k) {
            const SheetRow& sheet = picture.rows[k];
            fields.push_back(book.picture_fields(k, sheet.values, picture.name, picture.issues, sheet.date));
        }
    });
    try {
        for (const SheetRow& sheet : picture.rows) py_::check_row(sheet.row);
    } catch (py::error_already_set& e) {
        mark_failure(e.value(), RecordFailure::kWorkbookFull);
        throw;
    }
    return fields;
}

// Commit: the picture goes into the run's history, and the workbook is saved when due.
void commit(const py_::Namespace& ns, const py_::TextMemory& dumps, const Picture& picture) {
    if (RunHistory* history = RunHistory::current(ns)) {
        std::array<const py_::RecordValues*, kSheetCount> records;
        for (std::size_t k = 0; k < kSheetCount; ++k) records[k] = &picture.rows[k].values;
        py::object source = dumps.source ? dumps.source : py::str("");
        history->add(picture.name, source, picture.issues, records, picture.gains);
    }
    py_::BookMemory::of(ns).recorded(ns);
}

}  // namespace

RecordFailure take_record_failure(py::handle error) {
    WriterState& state = writer_state();
    RecordFailure kind = state.failure && state.failure.is(error) ? state.kind : RecordFailure::kNone;
    state.failure = py::object();
    state.kind = RecordFailure::kNone;
    return kind;
}

py::object run_rows(py::handle code) {
    const py_::Namespace& ns = kTavrin;
    py_::BookMemory& memory = py_::BookMemory::of(ns);
    if (!memory.holds_book() || !memory.path().equal(ns.get(globals::Excle_File))) return py::none();
    for (std::size_t k = 0; k < kSheetCount; ++k) {
        if (!py_::to_str(kLightSources[k].code).equal(code)) continue;
        py::list rows;
        for (const std::vector<xls::CellValue>& row :
             memory.book().model->sheet(memory.book().positions[k]).values()) {
            py::list values;
            for (const xls::CellValue& value : row) values.append(py_::value_in_python(value));
            rows.append(values);
        }
        return rows;
    }
    return py::none();
}

void create_dp_log_data(py::object jpg, py::object rawpic, py::object issues) {
    const py_::Namespace& ns = kTavrin;
    py_::TextMemory dumps(ns);  // each dump is read once for the seven sheets
    py::object workbook = ns.get(globals::Excle_File);
    py_::WorkbookLock lock(ns, workbook, py_::kShowWait);  // taken already in a run
    py_::BookMemory::of(ns).open(ns, workbook);
    mark_failure(py::object(), RecordFailure::kNone);

    Picture picture{jpg + py::str(" ") + rawpic, issues, {}, {}};
    gather(ns, workbook, dumps, picture);
    py_::Book& book = py_::BookMemory::of(ns).open(ns, workbook);  // as the records left it
    std::vector<py_::RowFields> fields = check(book, dumps, picture);
    // Write: all seven sheets, Ctrl-C waiting; nothing checked above can fail here.
    py_::HeldInterrupt held;
    for (std::size_t k = 0; k < kSheetCount; ++k) {
        book.write_picture_row(Tool::kBatch, k, picture.rows[k].row, fields[k], picture.name);
    }
    commit(ns, dumps, picture);
    held.release();
}

}  // namespace awb::batch
