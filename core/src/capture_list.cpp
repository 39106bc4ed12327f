#include "awb/capture_list.hpp"

namespace awb {

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

ustring listed_picture(uview line) { return ustring(before_first(clean_capture_line(line), U":")); }

ustring picture_as_written(uview line) {
    ustring field = replace_all(replace_all(before_first(line, U":"), U"\r\n", U""), U"\n", U"");
    std::size_t first = field.find_first_not_of(U' ');
    if (first == uview::npos) return ustring();
    return field.substr(first, field.find_last_not_of(U' ') - first + 1);
}

}  // namespace awb
