// Module Lumvik: start-up, then the module's functions in the order they are defined.
#include "console.hpp"
#include "module_def.hpp"
#include "reader.hpp"
#include "record.hpp"
#include "workbook_creation.hpp"

namespace awb::console {
namespace {

void define_functions(py::module_& m) {
    m.def(globals::Find_Changed_Txt, &find_changed_txt,
          "Make the newest simulator result the current picture and open its AWB text in fp.");
    m.def(
        globals::LUMVIK_NEW, [](py::object moudle) { return py_::read_tag_from_open_text(kLumvik, moudle); },
        py::arg("moudle") = "", "The value of one tag of the open AWB text fp (0 when absent).");
    m.def(
        globals::Create_Data,
        [](py::object light_source) { py_::build_record(kLumvik, light_source, py_::GainArray::kWith); },
        py::arg("Light_Source"),
        "Build the AWB record (AWB_TAG_DATA_List) and gains (LUMVIK_List) for one light source.");
    m.def(
        globals::Pic_Issues_Raw, [](py::object pic_file) { return pic_issues_raw(pic_file); },
        py::arg("pic_file"),
        "The picture's cleaned issue note from the capture list (\"无\" when there is none).");
    m.def(
        globals::Create_Excel,
        [] {
            py_::create_workbook(kLumvik, {/*prewrite_picture=*/true, /*widen_name_column=*/false,
                                           /*set_data_num=*/false});
        },
        "Create the analysis workbook Excle_File with its seven sheets and title rows.");
    m.def(globals::Create_Lumvik_DATA, &create_lumvik_data,
          "Record the current picture on the seven sheets of Excle_File and print its summary.");
    m.def(globals::Lumvik_Main, &lumvik_main,
          "The console's command loop: Enter shows, -r/r clears, -q/q quits.");
    m.def("_run_console", &run_console,
          "The console as the main program: banner, result discovery, command loop.");
}

void load(py::module_& m) {
    start_up(m);
    define_functions(m);
}

}  // namespace
}  // namespace awb::console

AWB_EXTENSION_MODULE(Lumvik, &awb::console::load)
