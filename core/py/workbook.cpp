#include "workbook.hpp"

#include <algorithm>

#include "awb/biff.hpp"
#include "awb/tables.hpp"
#include "lock.hpp"

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
                              st.attr("st_mtime_ns"), st.attr("st_ctime_ns"));
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

// Each light source's sheet: by name, or by position in a workbook with none of the names.
std::array<std::size_t, kSheetCount> seven_sheets(py::handle path, const py::object& readable) {
    py::list names = readable.attr("sheet_names")();
    std::array<std::size_t, kSheetCount> positions{};
    std::string present, missing;
    for (std::size_t k = 0; k < kSheetCount; ++k) {
        py::str code = to_str(kLightSources[k].code);
        std::string& list = names.contains(code) ? present : missing;
        list += (list.empty() ? "" : ", ") + code.cast<std::string>();
        if (names.contains(code)) positions[k] = names.attr("index")(code).cast<std::size_t>();
    }
    if (missing.empty()) return positions;
    if (present.empty()) {
        if (py::len(names) < kSheetCount) raise(PyExc_IndexError, "list index out of range");
        for (std::size_t k = 0; k < kSheetCount; ++k) positions[k] = k;
        return positions;
    }
    raise_noted(PyExc_ValueError, "missing sheets: " + missing,
                "工作簿 " + text_of(path) + " 缺少工作表 " + missing + " (有 " + present +
                    "), 未写入任何内容; 请补上这些工作表, 或移走它后重试");
}

// What the workbook stream of a file's bytes holds that a save cannot carry over.
WorkbookExtras extras_of(const py::object& data) {
    py::module_ compdoc = py::module_::import("xlrd.compdoc");
    py::object stream = data;
    std::size_t base = 0;
    std::size_t size = py::len(data);
    if (py::object(data[py::slice(0, 8, 1)]).equal(compdoc.attr("SIGNATURE"))) {
        py::object document = compdoc.attr("CompDoc")(
            data, py::arg("logfile") = py::module_::import("io").attr("StringIO")());
        for (const char* name : {"Workbook", "Book"}) {
            py::tuple located = document.attr("locate_named_stream")(name);
            if (!located[0].is_none() && py::len(located[0]) != 0) {
                stream = located[0];
                base = located[1].cast<std::size_t>();
                size = located[2].cast<std::size_t>();
                break;
            }
        }
    }
    py::buffer_info bytes = py::buffer(stream).request();
    auto total = static_cast<std::size_t>(bytes.size * bytes.itemsize);
    if (base > total) return {};
    return scan_workbook_stream(static_cast<const std::uint8_t*>(bytes.ptr) + base,
                                std::min(size, total - base));
}

// The workbook's file as the engineer names it, or the target when it is a link.
py::object file_of(const Namespace& ns, py::handle path) {
    py::object os_path = ns.get("os").attr("path");
    if (os_path.attr("islink")(path).cast<bool>()) return os_path.attr("realpath")(path);
    return py::reinterpret_borrow<py::object>(path);
}

py::object backup_folder(const Namespace& ns, const py::object& real) {
    py::object os = ns.get("os");
    py::object folder = os.attr("path").attr("join")(os.attr("path").attr("dirname")(real), kBackupFolder);
    if (!os.attr("path").attr("isdir")(folder).cast<bool>()) os.attr("mkdir")(folder);
    return folder;
}

// A workbook holding what a save cannot carry over is copied into "备份" before it is first
// rewritten, once per content (the content's hash is in the copy's name), and the engineer is
// told what will change. A copy that cannot be made stops the edit: nothing is written.
void keep_extras_aside(const Namespace& ns, py::handle path, const py::object& data) {
    WorkbookExtras extras = extras_of(data);
    if (!extras.any()) return;
    std::string found, plain, lost;
    for (const ExtraKind& kind : kExtraKindTable) {
        if (!extras.has(kind.kind)) continue;
        std::string name = to_utf8(kind.name);
        for (std::string* list : {&found, kind.values_kept ? &plain : &lost}) {
            *list += (list->empty() ? "" : "、") + name;
        }
    }
    std::string change = plain.empty() ? "" : plain + "只保留数值";
    if (!lost.empty()) change += (change.empty() ? "" : ", ") + lost + "将消失";
    std::string head = "工作簿 " + text_of(path) + " 含有" + found + ", 保存后" + change;

    py::object os = ns.get("os");
    py::object real = file_of(ns, path);
    py::object copy;
    try {
        py::tuple parts = os.attr("path").attr("splitext")(os.attr("path").attr("basename")(real));
        py::object digest = py::module_::import("hashlib").attr("sha256")(data).attr("hexdigest")();
        py::object name = py::object(parts[0]) + py::str("-原件-") +
                          py::object(digest[py::slice(0, 12, 1)]) + py::object(parts[1]);
        copy = os.attr("path").attr("join")(backup_folder(ns, real), name);
        if (!os.attr("path").attr("isfile")(copy).cast<bool>()) {
            py::object temporary = copy + py::str(".tmp");
            py::object file = ns.lookup("open")(temporary, "wb");
            try {
                file.attr("write")(data);
                file.attr("close")();
            } catch (py::error_already_set&) {
                file.attr("close")();
                throw;
            }
            os.attr("replace")(temporary, copy);
        }
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;
        add_note(e, head + "; 原件无法备份到 " + kBackupFolder + " (" + text_of(e.value()) +
                        "), 未写入任何内容");
        throw;
    }
    ns.print(py::str(head + "; 原件已备份到 ") + copy);
}

Book read_book(const Namespace& ns, py::handle path) {
    py::object data = read_bytes(ns, path);
    py::object xlrd = ns.get("xlrd");
    py::object readable =
        py::len(data) != 0
            ? xlrd.attr("open_workbook")(py::arg("file_contents") = data, py::arg("formatting_info") = true)
            : xlrd.attr("open_workbook")(path, py::arg("formatting_info") = true);  // says it is empty
    Book book;
    book.positions = seven_sheets(path, readable);
    py::list sheets = readable.attr("sheets")();
    for (std::size_t position : book.positions) book.sheets.push_back(rows_of(sheets[position]));
    book.writable = ns.get("copy")(readable);
    keep_extras_aside(ns, path, data);
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
    py::object path = ns.get("Excle_File");
    WorkbookLock lock(ns, path, kShowWait);
    BookMemory::of(ns).forget();
    save_atomically(ns, workbook, path);
}

// The last resort where no new file can be made beside the workbook: the whole new workbook is
// built in memory first, then written over the old one.
static void save_in_place(const Namespace& ns, py::handle workbook, const py::object& target) {
    py::object buffer = py::module_::import("io").attr("BytesIO")();
    workbook.attr("save")(buffer);
    py::object data = buffer.attr("getvalue")();
    py::object file = ns.lookup("open")(target, "r+b");
    try {
        file.attr("write")(data);
        file.attr("truncate")();
        file.attr("flush")();
        ns.get("os").attr("fsync")(file.attr("fileno")());
    } catch (py::error_already_set&) {
        file.attr("close")();
        throw;
    }
    file.attr("close")();
}

void save_atomically(const Namespace& ns, py::handle workbook, py::handle path) {
    py::object os = ns.get("os");
    py::object target = os.attr("path").attr("realpath")(path);
    py::object folder = os.attr("path").attr("dirname")(target);
    if (py::len(folder) != 0 && !os.attr("path").attr("isdir")(folder).cast<bool>()) {
        os.attr("makedirs")(folder, py::arg("exist_ok") = true);
    }
    bool exists = os.attr("path").attr("exists")(target).cast<bool>();
    if (exists) refuse_read_only(ns, target);
    py::object temporary = py::str("{}.{}.tmp").attr("format")(target, os.attr("getpid")());
    py::object file;
    try {
        file = ns.lookup("open")(temporary, "wb");
    } catch (py::error_already_set& e) {
        if (!exists || !e.matches(PyExc_OSError)) throw;
        save_in_place(ns, workbook, target);
        return;
    }
    try {
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
                os.attr("stat")(target).attr("st_mode"));
            os.attr("chmod")(temporary, mode);
        }
        os.attr("replace")(temporary, target);
    } catch (py::error_already_set&) {
        try {
            os.attr("remove")(temporary);
        } catch (py::error_already_set&) {
            // nothing was left behind
        }
        throw;
    }
    remove_stale_saves(os, folder, target);
}

py::object move_into_backups(const Namespace& ns, py::handle path) {
    py::object os = ns.get("os");
    py::object real = file_of(ns, path);
    py::object time = py::module_::import("time");
    py::object stamp = time.attr("strftime")(
        "%Y%m%d-%H%M%S", time.attr("localtime")(os.attr("path").attr("getmtime")(real)));
    py::tuple parts = os.attr("path").attr("splitext")(os.attr("path").attr("basename")(real));
    // "Corvane20261208" keeps its name and gets the time; another name gets the date and time.
    ustring stem = to_ustring(parts[0]);
    std::size_t last_other = stem.find_last_not_of(U"0123456789");
    std::size_t digits = last_other == ustring::npos ? stem.size() : stem.size() - last_other - 1;
    ustring named = digits == 8 ? stem.substr(0, stem.size() - 8) : stem + U"-";
    py::object base = to_str(named) + stamp;
    py::object folder = backup_folder(ns, real);
    py::object extension = parts[1];
    py::object moved = os.attr("path").attr("join")(folder, base + extension);
    for (int n = 2; os.attr("path").attr("lexists")(moved).cast<bool>(); ++n) {
        moved = os.attr("path").attr("join")(folder, base + py::str("-{}").format(n) + extension);
    }
    os.attr("rename")(real, moved);
    return moved;
}

void refuse_read_only(const Namespace& ns, py::handle path) {
    py::object os = ns.get("os");
    if (!os.attr("path").attr("isfile")(path).cast<bool>() || !read_only(os, path)) return;
    py::object error = py::module_::import("builtins").attr("PermissionError")(
        py::module_::import("errno").attr("EACCES"), "Permission denied", path);
    PyErr_SetObject(PyExc_PermissionError, error.ptr());
    throw py::error_already_set();
}

SheetRows& Book::sheet(std::size_t light_source) {
    if (light_source >= sheets.size()) raise(PyExc_IndexError, "list index out of range");
    return sheets[light_source];
}

py::object Book::sheet_writer(std::size_t light_source) const {
    return writable.attr("get_sheet")(positions.at(light_source));
}

std::size_t Book::pictures() const {
    return sheets.empty() || sheets[0].count() == 0 ? 0 : sheets[0].count() - 1;
}

void Book::note_row(std::size_t light_source, std::size_t row, py::handle name) {
    SheetRows& rows = sheet(light_source);
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
    } catch (py::error_already_set& e) {
        pending_ = true;
        // A save cut short by Ctrl-C did not fail: it is done again when the run ends.
        save_failed_ = e.matches(PyExc_Exception);
        throw;
    }
    stamp_ = stamp_of(ns, path_);
    pending_ = false;
    save_failed_ = false;
    saved_pictures_ = book_->pictures();
    auto finished = std::chrono::steady_clock::now();
    next_save_ = finished + std::max<std::chrono::steady_clock::duration>(
                                kSaveInterval, kSaveCostShare * (finished - started));
}

void BookMemory::recorded(const Namespace& ns) {
    pending_ = true;
    if (runs_ == 0 || std::chrono::steady_clock::now() >= next_save_) save(ns);
}

void BookMemory::save_pending(const Namespace& ns) {
    if (pending_) save(ns);
}

BatchRun::BatchRun(const Namespace& ns) : ns_(ns) { BookMemory::of(ns).begin_run(); }

void BatchRun::save() { BookMemory::of(ns_).save_pending(ns_); }

BatchRun::~BatchRun() {
    BookMemory& memory = BookMemory::of(ns_);
    try {
        // A run ended by an error still saves the pictures it recorded, unless saving is what
        // failed: the error on its way up already says why.
        HeldInterrupt held;
        if (!memory.save_failed()) memory.save_pending(ns_);
    } catch (py::error_already_set& e) {
        e.discard_as_unraisable("saving the batch workbook");
    }
    memory.end_run();
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
