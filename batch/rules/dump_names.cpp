#include "dump_names.hpp"

namespace awb::batch {

ustring day_workbook_name(uview day) { return U"Corvane" + ustring(day) + U".xls"; }

ustring exif_dump_name(uview picture_name) {
    static constexpr uview kJpg = U"jpg";
    std::size_t at = find_ignoring_case(picture_name, kJpg);
    uview dump = at == uview::npos ? picture_name : picture_name.substr(0, at + kJpg.size());
    return ustring(dump) + ustring(kDumpSuffix);
}

ustring dump_to_read(uview listed, uview written, const std::function<bool(const ustring&)>& exists,
                     const DumpLookup& same_but_case) {
    ustring dump = exif_dump_name(listed);
    if (exists(dump)) return dump;
    ustring as_written = exif_dump_name(written);
    if (written != listed && exists(as_written)) return as_written;
    if (std::optional<ustring> found = same_but_case(dump)) return *found;
    if (written != listed) {
        if (std::optional<ustring> found = same_but_case(as_written)) return *found;
    }
    return dump;
}

ustring missing_dump_report_line(uview entry) {
    return replace_all(replace_all(entry, kDumpSuffix, U""), U"EXIF", U"全部照片");
}

ustring walked_name(uview folder, uview file) {
    if (folder == U".") return ustring(file);
    return ustring(folder) + U"/" + ustring(file);
}

ustring picture_of_dump_file(uview file_name) {
    if (file_name.size() >= kDumpSuffix.size() &&
        file_name.substr(file_name.size() - kDumpSuffix.size()) == kDumpSuffix) {
        return ustring(file_name.substr(0, file_name.size() - kDumpSuffix.size()));
    }
    return ustring(file_name);
}

ustring desktop_folder(uview joined) {
    ustring desk(joined);
    if (contains(desk, U"/")) desk += U"/";
    if (contains(desk, U"\\")) desk += U"\\";
    return desk;
}

}  // namespace awb::batch
