#include "result_names.hpp"

namespace awb::console {

ustring picture_name_from_result(uview result_name) {
    auto cut_at = [&](std::size_t at) {
        std::ptrdiff_t end = at == uview::npos ? -1 : static_cast<std::ptrdiff_t>(at);
        return ustring(head(result_name, end)) + ustring(kPictureExtension);
    };
    ustring picture = cut_at(result_name.find(kCameraMarkers[0]));
    for (std::size_t m = 1; m < kCameraMarkers.size(); ++m) {
        std::size_t at = result_name.find(kCameraMarkers[m]);
        if (at != uview::npos) picture = cut_at(at);
    }
    return picture;
}

ustring awb_text_of(uview result_path) {
    std::size_t at = result_path.find(kColourStatsSuffix);
    if (at == uview::npos) return ustring(result_path);
    return ustring(result_path.substr(0, at)) + ustring(kAwbTextSuffix);
}

ustring awb_text_in_folder(uview results_folder, uview result_name) {
    return replace_all(ustring(results_folder) + ustring(result_name), kColourStatsMark, kAwbTextMark);
}

ustring recorded_picture_name(uview picture) {
    if (!contains(picture, kCameraMarkers[0])) return ustring(picture);
    return ustring(before_first(picture, kCameraMarkers[0])) + ustring(kPictureExtension);
}

ustring picture_label(uview awb_text, uview picture) {
    std::size_t last_blank = picture.rfind(U' ');
    uview last = last_blank == uview::npos ? picture : picture.substr(last_blank + 1);
    return ustring(before_first(awb_text, U"Results")) + ustring(last) + U"  " +
           ustring(before_first(picture, U" "));
}

}  // namespace awb::console
