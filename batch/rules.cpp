#include "rules.hpp"

namespace awb::batch {

ustring clean_capture_line(uview line) {
    ustring cleaned = replace_all(line, U"\r\n", U"");
    cleaned = replace_all(cleaned, U"\n", U"");
    return replace_all(cleaned, U" ", U"");
}

std::vector<ustring> split_fields(uview line) {
    std::vector<ustring> fields;
    std::size_t start = 0;
    while (true) {
        std::size_t colon = line.find(U':', start);
        if (colon == uview::npos) {
            fields.emplace_back(line.substr(start));
            return fields;
        }
        fields.emplace_back(line.substr(start, colon - start));
        start = colon + 1;
    }
}

ustring exif_dump_name(uview cleaned_line, uview picture_name) {
    std::size_t at = picture_name.find(U"jpg");
    std::ptrdiff_t end = (at == uview::npos ? -1 : static_cast<std::ptrdiff_t>(at)) + 3;
    return ustring(head(cleaned_line, end)) + ustring(kDumpSuffix);
}

CaptureLine read_capture_line(uview line) {
    CaptureLine read{LineKind::kPicture, clean_capture_line(line), {}};
    if (read.cleaned.empty()) {
        read.kind = LineKind::kEmpty;
        return read;
    }
    read.fields = split_fields(read.cleaned);
    if (read.fields.size() < kCaptureFields) read.kind = LineKind::kMalformed;
    return read;
}

ustring missing_dump_report_line(uview entry) {
    return replace_all(replace_all(entry, kDumpSuffix, U""), U"EXIF", U"全部照片");
}

ustring picture_of_dump_file(uview file_name) {
    if (file_name.size() >= kDumpSuffix.size() &&
        file_name.substr(file_name.size() - kDumpSuffix.size()) == kDumpSuffix) {
        return ustring(file_name.substr(0, file_name.size() - kDumpSuffix.size()));
    }
    return ustring(file_name);
}

}  // namespace awb::batch
