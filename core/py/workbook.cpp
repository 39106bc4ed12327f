#include "workbook.hpp"

#include <algorithm>

#include "awb/tables.hpp"

namespace awb::py_ {
namespace {

constexpr std::size_t kNameColumnWidth = 3840;   // 15 characters
constexpr int kTitleFillColour = 5;              // yellow in the standard palette
constexpr const char* kMemoryAttribute = "_workbook_memory";
// During a run the workbook is saved about once a second, but never so often that saving a
// large workbook takes more than a third of the run.
constexpr auto kSaveInterval = std::chrono::seconds(1);
constexpr int kSaveCostShare = 2;

py::list titles_of(const Layout& layout) {
    py::list titles;
    for (uview title : layout.titles) titles.append(to_str(title));
    return titles;
}

py::object title_style(const py::object& xlwt) {
    py::object style = xlwt.attr("XFStyle")();
    style.attr("pattern") = solid_fill(xlwt, kTitleFillColour);
    style.attr("alignment") = alignment(xlwt, "HORZ_CENTER", "VERT_CENTER");
    return style;
}

// The file's identity and state: what tells us it is still the workbook we saved.
py::object stamp_of(const Namespace& ns, py::handle path) {
    try {
        py::object st = ns.get("os").attr("stat")(path);
        return py::make_tuple(st.attr("st_dev"), st.attr("st_ino"), st.attr("st_size"),
                              st.attr("st_mtime_ns"));
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;
        return py::none();
    }
}

bool holds_value(py::handle row_types) {
    constexpr int kEmpty = 0;
    constexpr int kBlank = 6;
    for (py::handle type : row_types) {
        int t = type.cast<int>();
        if (t != kEmpty && t != kBlank) return true;
    }
    return false;
}

// Column 0 of a sheet read with formatting, counted the way a plain read counts rows: blank
// cells that only carry a format do not make a row.
SheetRows rows_of(py::handle sheet) {
    auto count = sheet.attr("nrows").cast<std::size_t>();
    while (count > 0 && !holds_value(sheet.attr("row_types")(count - 1))) --count;
    SheetRows rows;
    rows.names.reserve(count);
    if (count > 0) {
        for (py::handle name : sheet.attr("col_values")(0, 0, count)) {
            rows.names.push_back(py::reinterpret_borrow<py::object>(name));
        }
    }
    return rows;
}

Book read_book(const Namespace& ns, py::handle path) {
    py::object readable =
        ns.get("xlrd").attr("open_workbook")(path, py::arg("formatting_info") = true);
    Book book;
    for (py::handle sheet : readable.attr("sheets")()) book.sheets.push_back(rows_of(sheet));
    book.writable = ns.get("copy")(readable);
    return book;
}

bool read_only(const py::object& os, py::handle path) {
    if (!os.attr("access")(path, os.attr("W_OK")).cast<bool>()) return true;
    auto mode = os.attr("stat")(path).attr("st_mode").cast<long>();
    return (mode & py::module_::import("stat").attr("S_IWRITE").cast<long>()) == 0;
}

// A save cut short by a kill or a power cut leaves its new file, "<workbook>.<process>.tmp",
// beside the workbook. Such files are removed by a later save once they are older than any
// save in progress could be.
void remove_stale_saves(const py::object& os, const py::object& folder, py::handle path) {
    constexpr double kStaleAfterSeconds = 600;
    try {
        py::object here = py::len(folder) != 0 ? folder : py::object(py::str("."));
        ustring prefix = to_ustring(os.attr("path").attr("basename")(path)) + U".";
        double now = py::module_::import("time").attr("time")().cast<double>();
        for (py::handle entry : os.attr("listdir")(here)) {
            ustring name = to_ustring(entry);
            if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
                name.compare(name.size() - 4, 4, U".tmp") != 0) {
                continue;
            }
            uview process = uview(name).substr(prefix.size(), name.size() - prefix.size() - 4);
            if (process.find_first_not_of(U"0123456789") != uview::npos) continue;
            py::object stale = os.attr("path").attr("join")(here, entry);
            if (now - os.attr("path").attr("getmtime")(stale).cast<double>() > kStaleAfterSeconds) {
                os.attr("remove")(stale);
            }
        }
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;  // a leftover that stays does no harm
    }
}

}  // namespace

py::object solid_fill(const py::object& xlwt, int colour) {
    py::object pattern = xlwt.attr("Pattern")();
    pattern.attr("pattern") = xlwt.attr("Pattern").attr("SOLID_PATTERN");
    pattern.attr("pattern_fore_colour") = colour;
    return pattern;
}

py::object alignment(const py::object& xlwt, const char* horizontal, const char* vertical) {
    py::object placed = xlwt.attr("Alignment")();
    placed.attr("horz") = xlwt.attr("Alignment").attr(horizontal);
    placed.attr("vert") = xlwt.attr("Alignment").attr(vertical);
    return placed;
}

void create_workbook(const Namespace& ns, const WorkbookVariant& variant) {
    py::object xlwt = ns.get("xlwt");
    py::object workbook = xlwt.attr("Workbook")();
    for (const LightSource& source : kLightSources) {
        std::size_t column = 0;
        py::object sheet = workbook.attr("add_sheet")(to_str(source.code),
                                                      py::arg("cell_overwrite_ok") = true);
        py::object style = title_style(xlwt);
        if (variant.widen_name_column) sheet.attr("col")(0).attr("width") = kNameColumnWidth;
        ns.set("AWB_Title", titles_of(full_layout()));
        if (variant.set_data_num) ns.set("Data_num", py::int_(py::len(ns.get("AWB_Title")) - 3));
        if (source.reduced) ns.set("AWB_Title", titles_of(reduced_layout()));
        for (py::handle title : ns.get("AWB_Title")) sheet.attr("write")(0, column++, title, style);
        if (variant.prewrite_picture) {
            sheet.attr("write")(ns.get("insert_row_num"), 0, ns.get("Target_Awb_Target_Pic"));
        }
    }
    BookMemory::of(ns).forget();
    save_atomically(ns, workbook, ns.get("Excle_File"));
}

void save_atomically(const Namespace& ns, py::handle workbook, py::handle path) {
    py::object os = ns.get("os");
    py::object folder = os.attr("path").attr("dirname")(path);
    if (py::len(folder) != 0 && !os.attr("path").attr("isdir")(folder).cast<bool>()) {
        os.attr("makedirs")(folder, py::arg("exist_ok") = true);
    }
    bool exists = os.attr("path").attr("exists")(path).cast<bool>();
    if (exists) refuse_read_only(ns, path);
    py::object temporary = py::str("{}.{}.tmp").attr("format")(path, os.attr("getpid")());
    try {
        py::object file = ns.lookup("open")(temporary, "wb");
        try {
            workbook.attr("save")(file);
            file.attr("flush")();
            os.attr("fsync")(file.attr("fileno")());
        } catch (py::error_already_set&) {
            file.attr("close")();
            throw;
        }
        file.attr("close")();
        if (exists && py::object(os.attr("name")).equal(py::str("posix"))) {
            py::object mode = py::module_::import("stat").attr("S_IMODE")(
                os.attr("stat")(path).attr("st_mode"));
            os.attr("chmod")(temporary, mode);
        }
        os.attr("replace")(temporary, path);
    } catch (py::error_already_set&) {
        try {
            os.attr("remove")(temporary);
        } catch (py::error_already_set&) {
            // nothing was left behind
        }
        throw;
    }
    remove_stale_saves(os, folder, path);
}

void refuse_read_only(const Namespace& ns, py::handle path) {
    py::object os = ns.get("os");
    if (!os.attr("path").attr("isfile")(path).cast<bool>() || !read_only(os, path)) return;
    py::object error = py::module_::import("builtins").attr("PermissionError")(
        py::module_::import("errno").attr("EACCES"), "Permission denied", path);
    PyErr_SetObject(PyExc_PermissionError, error.ptr());
    throw py::error_already_set();
}

SheetRows& Book::sheet(std::size_t index) {
    if (index >= sheets.size()) raise(PyExc_IndexError, "list index out of range");
    return sheets[index];
}

void Book::note_row(std::size_t sheet_index, std::size_t row, py::handle name) {
    SheetRows& rows = sheet(sheet_index);
    if (row >= rows.names.size()) rows.names.resize(row + 1, py::str(""));
    rows.names[row] = py::reinterpret_borrow<py::object>(name);
}

BookMemory& BookMemory::of(const Namespace& ns) {
    py::module_ mod = ns.module();
    if (!py::hasattr(mod, kMemoryAttribute)) {
        auto* memory = new BookMemory();
        mod.attr(kMemoryAttribute) = py::capsule(memory, "awb.BookMemory", [](PyObject* capsule) {
            delete static_cast<BookMemory*>(PyCapsule_GetPointer(capsule, "awb.BookMemory"));
        });
    }
    py::capsule capsule = mod.attr(kMemoryAttribute);
    return *capsule.get_pointer<BookMemory>();
}

Book& BookMemory::open(const Namespace& ns, py::handle path) {
    bool same_path = book_ && path_.equal(path);
    if (same_path && runs_ > 0 && checked_in_run_) return *book_;
    if (same_path && stamp_.equal(stamp_of(ns, path))) {
        checked_in_run_ = runs_ > 0;
        return *book_;
    }
    forget();
    py::object stamp = stamp_of(ns, path);
    book_ = read_book(ns, path);
    path_ = py::reinterpret_borrow<py::object>(path);
    stamp_ = stamp;
    pending_ = false;
    checked_in_run_ = runs_ > 0;
    return *book_;
}

void BookMemory::save(const Namespace& ns) {
    if (!book_) return;
    auto started = std::chrono::steady_clock::now();
    try {
        save_atomically(ns, book_->writable, path_);
    } catch (py::error_already_set&) {
        pending_ = true;
        save_failed_ = true;
        throw;
    }
    stamp_ = stamp_of(ns, path_);
    pending_ = false;
    save_failed_ = false;
    auto finished = std::chrono::steady_clock::now();
    next_save_ = finished + std::max<std::chrono::steady_clock::duration>(
                                kSaveInterval, kSaveCostShare * (finished - started));
}

void BookMemory::recorded(const Namespace& ns) {
    pending_ = true;
    if (runs_ == 0 || std::chrono::steady_clock::now() >= next_save_) save(ns);
}

void BookMemory::end_run(const Namespace& ns, bool save_pending) {
    if (runs_ > 0) --runs_;
    if (save_pending && pending_) save(ns);
}

BatchRun::BatchRun(const Namespace& ns) : ns_(ns) { BookMemory::of(ns).begin_run(); }

void BatchRun::end() {
    if (!open_) return;
    open_ = false;
    BookMemory::of(ns_).end_run(ns_, true);
}

BatchRun::~BatchRun() {
    if (!open_) return;
    open_ = false;
    try {
        // A run ended by an error still saves the pictures it recorded, unless saving is what
        // failed: the error on its way up already says why.
        BookMemory& memory = BookMemory::of(ns_);
        memory.end_run(ns_, !memory.save_failed());
    } catch (py::error_already_set& e) {
        e.discard_as_unraisable("saving the batch workbook");
    }
}

void check_row(std::size_t row) {
    if (row > kLastRow) {
        raise(PyExc_ValueError, "工作簿已满: .xls 工作表最多 65536 行, 本行(第 " +
                                    std::to_string(row + 1) + " 行)无法写入");
    }
}

void check_text(py::handle text) {
    if (PyUnicode_Check(text.ptr()) && PyUnicode_GET_LENGTH(text.ptr()) > Py_ssize_t(kLongestText)) {
        raise(PyExc_ValueError, "文本过长: .xls 单元格最多 32767 个字符");
    }
}

}  // namespace awb::py_
