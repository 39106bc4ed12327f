// The folder walk: every file of a folder tree recorded as the EXIF dump of one picture, read
// where it lies and named by its path below the walked folder.
#include "awb/file_names.hpp"
#include "batch.hpp"
#include "dump_names.hpp"
#include "os_calls.hpp"
#include "reader.hpp"
#include "strings.hpp"

namespace awb::batch {

void dp_dump(py::object file_dir) {
    const py_::Namespace& ns = kTavrin;
    py_::Os os(ns);
    py::object join = os.path("join");
    py::object relpath = os.path("relpath");
    py::object sep = os.module().attr("sep");
    py::object sorted = ns.lookup("sorted");
    PictureRun run;
    py::str empty("");
    for (py::handle step : os.module().attr("walk")(file_dir)) {
        auto walked = py::reinterpret_borrow<py::tuple>(step);
        py::object root = walked[0];
        py::object files = walked[2];
        walked[1].attr("sort")();  // sub-folders in name order, as a Windows desk lists them
        // Files are named by their path below the walked folder, with "/" between the parts.
        ustring folder = py_::to_ustring(relpath(root, file_dir).attr("replace")(sep, "/"));
        std::size_t number = 0;
        for (py::handle file : sorted(files)) {
            ustring walked = walked_name(folder, py_::to_ustring(file));
            if (!is_text(walked)) {  // bytes of another system's encoding: no workbook takes them
                run.pass_over(py_::readable_file_name(py_::to_str(picture_of_dump_file(walked))),
                              kNameNotText);
                continue;
            }
            py::str name = py_::to_str(walked);
            ns.set(globals::Target_Awb_Target_Pic, name);
            ns.set(globals::exif_file_flage, py::int_(0));
            ns.print(py::make_tuple(++number, name));
            py::object path = join(root, file);
            py_::DumpPath where(ns, path);
            run.record(py_::to_str(picture_of_dump_file(py_::to_ustring(name))), empty, empty,
                       py_::to_ustring(py::str(path)));
        }
    }
    run.finish();
    print_lines(failed_pictures_report(run.failed()));
}

}  // namespace awb::batch
