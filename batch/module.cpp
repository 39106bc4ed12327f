// Module Tavrin: its imports and state, then its functions in the order they are defined.
#include "batch.hpp"
#include "dump_names.hpp"
#include "errors.hpp"
#include "module_def.hpp"
#include "os_calls.hpp"
#include "reader.hpp"
#include "record.hpp"
#include "strings.hpp"
#include "workbook_creation.hpp"

namespace awb::batch {
namespace {

void import_packages(py::module_& m) {
    m.attr(globals::os) = py::module_::import("os");
    m.attr(globals::time) = py::module_::import("time");
    m.attr(globals::sys) = py::module_::import("sys");
    py_::bind_workbook_packages(m);
    py::module_ settings = py::module_::import("global_values");
    if (!py::hasattr(settings, globals::global_val)) {
        py_::raise(PyExc_ImportError, "cannot import name 'global_val' from 'global_values'");
    }
    m.attr(globals::global_val) = settings.attr("global_val");
}

void set_state(py::module_& m) {
    m.attr(globals::defaultencoding) = "utf-8";
    m.attr(globals::Data_num) = kDataNumBeforeAnyWorkbook;
    m.attr(globals::insert_row_num) = 0;
    m.attr(globals::Target_Awb_Target_Pic) = "";
    m.attr(globals::AWB_TAG_DATA_List) = m.attr(globals::np).attr("arange")(100);
    m.attr(globals::no_exif_list) = py::list(py::make_tuple(""));
    py::object time = m.attr(globals::time);
    m.attr(globals::Excle_File) = py_::to_str(
        day_workbook_name(py_::to_ustring(time.attr("strftime")("%Y%m%d", time.attr("localtime")()))));
    m.attr(globals::exif_file_flage) = 0;
    m.attr(globals::data_num) = 1;
}

void define_errors(py::module_& m) {
    // A run stopped by a full workbook: its note says where, and `workbook` names the file that
    // holds what the run recorded (None when none could be written).
    PyObject* full = PyErr_NewExceptionWithDoc("Tavrin.WorkbookFull", "The batch's workbook has no row left.",
                                               PyExc_ValueError, nullptr);
    if (!full) throw py::error_already_set();
    m.attr("WorkbookFull") = py::reinterpret_steal<py::object>(full);
}

void define_functions(py::module_& m) {
    m.def(globals::GetDesktopPath, &get_desktop_path, "The user's Desktop folder with a trailing separator.");
    m.def(
        globals::LUMVIK_NEW, [](py::object moudle) { return py_::read_tag_from_dump(kTavrin, moudle); },
        py::arg("moudle") = "",
        "The value of one tag of the current picture's EXIF dump (0 when absent or missing).");
    m.def(
        globals::Create_Data,
        [](py::object light_source) { py_::build_record(kTavrin, light_source, py_::GainArray::kWithout); },
        py::arg("Light_Source"), "Build the AWB record (AWB_TAG_DATA_List) for one light source.");
    m.def(globals::Create_DP_Log_DATA, &create_dp_log_data, py::arg("jpg"), py::arg("rawpic"),
          py::arg("issues"), "Record one picture's row on each of the seven sheets of Excle_File.");
    m.def(
        globals::Create_Excel,
        [](py::object /*jpg*/, py::object /*rawpic*/, py::object /*issues*/) {
            py_::create_workbook(kTavrin, {/*prewrite_picture=*/false, /*widen_name_column=*/true,
                                           /*set_data_num=*/true});
        },
        py::arg("jpg"), py::arg("rawpic"), py::arg("issues"),
        "Create the analysis workbook Excle_File with its seven sheets and title rows.");
    m.def(globals::DP_DUMP, &dp_dump, py::arg("file_dir"),
          "Record every file of a folder tree as the EXIF dump of one picture.");
    m.def("_run_rows", &run_rows, py::arg("code"),
          "The rows of a light source's sheet of the workbook the batch holds, as read from its file.");
    m.def(globals::Tavrin, &tavrin,
          "The batch: record every picture of the capture list in a fresh day's workbook.");
}

void load(py::module_& m) {
    import_packages(m);
    set_state(m);
    define_errors(m);
    define_functions(m);
}

}  // namespace

py::object get_desktop_path() {
    py_::Os os(kTavrin);
    py::str joined(os.join(os.path("expanduser")("~"), py::str("Desktop")));
    return py_::to_str(desktop_folder(py_::to_ustring(joined)));
}

}  // namespace awb::batch

AWB_EXTENSION_MODULE(Tavrin, &awb::batch::load)
