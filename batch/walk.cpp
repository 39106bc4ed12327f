// The folder walk: every file of a folder tree recorded as the EXIF dump of one picture, read
// where it lies and named by its path below the walked folder.
#include "batch.hpp"
#include "reader.hpp"
#include "dump_names.hpp"

namespace awb::batch {

void dp_dump(py::object file_dir) {
    const py_::Namespace& ns = kTavrin;
    py::object os = ns.get("os");
    py::object join = os.attr("path").attr("join");
    py::object relpath = os.attr("path").attr("relpath");
    py::object sep = os.attr("sep");
    py::object sorted = ns.lookup("sorted");
    PictureRun run;
    py::str empty("");
    for (py::handle step : os.attr("walk")(file_dir)) {
        auto walked = py::reinterpret_borrow<py::tuple>(step);
        py::object root = walked[0];
        py::object files = walked[2];
        walked[1].attr("sort")();  // sub-folders in name order, as a Windows desk lists them
        // Files are named by their path below the walked folder, with "/" between the parts.
        py::object folder = relpath(root, file_dir).attr("replace")(sep, "/");
        py::object prefix = folder.equal(py::str(".")) ? py::object(empty) : folder + py::str("/");
        std::size_t number = 0;
        for (py::handle file : sorted(files)) {
            py::object name = prefix + py::reinterpret_borrow<py::object>(file);
            ns.set("Target_Awb_Target_Pic", name);
            ns.set("exif_file_flage", py::int_(0));
            ns.print(py::make_tuple(++number, name));
            py_::DumpPath where(join(root, file));
            run.record(py_::to_str(picture_of_dump_file(py_::to_ustring(name))), empty, empty);
        }
    }
    run.finish();
    run.report_failures();
}

}  // namespace awb::batch
