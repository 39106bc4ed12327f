// The folder walk: every file of a folder tree recorded as the EXIF dump of one picture.
#include "batch.hpp"
#include "rules.hpp"

namespace awb::batch {

void dp_dump(py::object file_dir) {
    const py_::Namespace& ns = kTavrin;
    PictureRun run;
    py::str empty("");
    for (py::handle step : ns.get("os").attr("walk")(file_dir)) {
        py::object files = py::reinterpret_borrow<py::tuple>(step)[2];
        std::size_t number = 0;
        for (py::handle file : files) {
            py::object name = py::reinterpret_borrow<py::object>(file);
            ns.set("Target_Awb_Target_Pic", name);
            ns.set("exif_file_flage", py::int_(0));
            ns.print(py::make_tuple(++number, name));
            run.record(py_::to_str(picture_of_dump_file(py_::to_ustring(name))), empty, empty);
        }
    }
    run.finish();
    run.report_failures();
}

}  // namespace awb::batch
