// The batch row writer: one picture's row on each of the seven sheets, gathered first (row
// search, record, date) and written after, so that a picture whose dump fails leaves no row
// anywhere.
#include <array>

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
#include "workbook_creation.hpp"

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

// The row writer's two cell styles: black and red font, both left and centred, no fill. They
// are made once per workbook (xlwt caps a workbook's styles), with their indexes in the
// workbook's style table.
struct CellStyles {
    py::object plain;  // `style`
    py::object red;    // `style1`
    py::object plain_index;
    py::object red_index;
    py::object number_cell;  // xlwt's cell of a number
};

CellStyles cell_styles(const py_::Namespace& ns, py_::Book& book) {
    if (!book.styles.contains("style")) {
        py::object xlwt = ns.get(globals::xlwt);
        py::object alignment = py_::alignment(xlwt, "HORZ_LEFT", "VERT_CENTER");
        py::object font = xlwt.attr("Font")();
        font.attr("colour_index") = 0;
        py::object style = xlwt.attr("XFStyle")();
        style.attr("alignment") = alignment;
        style.attr("font") = font;
        py::object style1 = xlwt.attr("easyxf")(py_::kRedFont);
        style1.attr("alignment") = alignment;
        book.styles["style"] = style;
        book.styles["style1"] = style1;
        book.styles["style_index"] = book.writable.attr("add_style")(style);
        book.styles["style1_index"] = book.writable.attr("add_style")(style1);
    }
    return {book.styles["style"], book.styles["style1"], book.styles["style_index"],
            book.styles["style1_index"], py::module_::import("xlwt.Cell").attr("NumberCell")};
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
    const Layout* layout = nullptr;
    py_::RecordValues values;
    py::object date;
};

// One picture's row on one sheet, cell for cell as the sheet's write() would put it. A number
// goes in as xlwt's number cell with its style's index (what write() makes of it, less looking
// the style up again per cell); the name and the issue note go through the row's write(),
// which also keeps the row's bounds.
void write_sheet(py_::Book& book, std::size_t k, const SheetRow& sheet, const py::object& name,
                 const py::object& issues, const CellStyles& styles) {
    py::object row = book.sheet_writer(k).attr("row")(sheet.row);
    py::object write = row.attr("write");
    py::object insert = row.attr("insert_cell");
    py::int_ row_index(sheet.row);
    auto put = [&](std::size_t column, const py::object& value, bool red) {
        if (PyLong_CheckExact(value.ptr()) || PyFloat_CheckExact(value.ptr())) {
            insert(column,
                   styles.number_cell(row_index, column, red ? styles.red_index : styles.plain_index, value));
        } else {
            write(column, value, red ? styles.red : styles.plain);
        }
    };
    for (std::size_t column = 1; column <= sheet.layout->value_columns; ++column) {
        put(column, sheet.values.slots[column - 1], red_value_column(k, column));
    }
    write(0, name);
    write(sheet.layout->tail_column(kIssueNote), issues, styles.red);
    put(sheet.layout->tail_column(kDate), sheet.date, true);
    book.note_row(k, sheet.row, name);
}

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

}  // namespace

RecordFailure take_record_failure(py::handle error) {
    WriterState& state = writer_state();
    RecordFailure kind = state.failure && state.failure.is(error) ? state.kind : RecordFailure::kNone;
    state.failure = py::object();
    state.kind = RecordFailure::kNone;
    return kind;
}

void create_dp_log_data(py::object jpg, py::object rawpic, py::object issues) {
    const py_::Namespace& ns = kTavrin;
    py_::TextMemory dumps(ns);  // each dump is read once for the seven sheets
    py::object workbook = ns.get(globals::Excle_File);
    py_::WorkbookLock lock(ns, workbook, py_::kShowWait);  // taken already in a run
    py_::Book* book = &py_::BookMemory::of(ns).open(ns, workbook);
    mark_failure(py::object(), RecordFailure::kNone);

    // Gather: the row of each sheet (awb::batch::BatchRowSearch) and the record for its light
    // source.
    BatchRowSearch search;
    py::object data_num_org = ns.get(globals::Data_num);
    py::object target = ns.get(globals::Target_Awb_Target_Pic);
    std::array<SheetRow, kSheetCount> rows;
    for (std::size_t k = 0; k < kSheetCount; ++k) {
        const LightSource& source = kLightSources[k];
        SheetRow& sheet = rows[k];
        ns.set(globals::Data_num, data_num_org);
        py_::SheetRows& names = book->sheet(k);
        SheetMatch match{names.count(), names.find(target)};
        std::size_t searched = search.search(match);
        ns.set(globals::insert_row_num, py::int_(searched));

        picture_step([&] {
            ns.get(globals::Create_Data)(py_::to_str(source.code));
            sheet.values = py_::take_record(ns);
            sheet.date = date_of_record(ns);
        });

        // A full sheet's values run to "P2" whatever `Data_num` holds (it is 21 until the
        // workbook is made in this process, which would leave "P2" empty).
        sheet.layout = &layout_of(source);
        sheet.row = search.settle(sheet.layout->value_columns);
        if (sheet.row != searched) ns.set(globals::insert_row_num, py::int_(sheet.row));
        // `Data_num` stands two past the last value column: 13 while a reduced sheet is written.
        if (source.reduced) ns.set(globals::Data_num, py::int_(reduced_layout().value_columns + 2));
    }

    // A dump that holds none of the record's tags is not recorded as a row of zeros.
    if (dumps.holds_no_values()) {
        picture_step(
            [&] { py_::raise(PyExc_ValueError, no_debug_data_message(py_::text_of(dumps.source))); });
    }

    RunHistory* history = RunHistory::current(ns);
    std::array<py::object, 3> gains;
    if (history) gains = final_gains(ns, dumps);

    py::object name = jpg + py::str(" ") + rawpic;
    picture_step([&] {
        py_::check_text(name);
        py_::check_text(issues);
    });
    try {
        for (const SheetRow& sheet : rows) py_::check_row(sheet.row);
    } catch (py::error_already_set& e) {
        mark_failure(e.value(), RecordFailure::kWorkbookFull);
        throw;
    }

    // A row already handed to the writer for good (a row found by name, saved at a checkpoint)
    // is written in a copy read afresh from the file, which holds all the run has recorded.
    for (std::size_t k = 0; k < kSheetCount; ++k) {
        if (book->row_flushed(k, rows[k].row)) {
            book = &py_::BookMemory::of(ns).reload(ns);
            break;
        }
    }

    // Write: all seven sheets (Ctrl-C waits), or, should anything fail now, nothing the memory
    // keeps.
    py_::HeldInterrupt held;
    try {
        CellStyles styles = cell_styles(ns, *book);
        for (std::size_t k = 0; k < kSheetCount; ++k) write_sheet(*book, k, rows[k], name, issues, styles);
    } catch (...) {
        py_::BookMemory::of(ns).forget();
        throw;
    }
    if (history) {
        std::array<const py_::RecordValues*, kSheetCount> records;
        for (std::size_t k = 0; k < kSheetCount; ++k) records[k] = &rows[k].values;
        history->add(name, dumps.source ? dumps.source : py::str(""), issues, records, gains);
    }
    py_::BookMemory::of(ns).recorded(ns);
    held.release();
}

}  // namespace awb::batch
