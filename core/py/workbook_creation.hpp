// Creating the analysis workbook, and the pieces its cell styles are made of.
#pragma once

#include "namespace.hpp"

namespace awb::py_ {

// What the two tools' workbooks differ in.
struct WorkbookVariant {
    bool prewrite_picture;   // the console writes the picture name in row `insert_row_num`
    bool widen_name_column;  // the batch widens column 0 to 15 characters
    bool set_data_num;       // the batch keeps `Data_num`, its column bound, in step
};

// Create_Excel: a new workbook at `Excle_File` with the seven sheets and their title rows.
void create_workbook(const Namespace& ns, const WorkbookVariant& variant);

// The pieces the workbook's cell styles are made of: a solid fill of a palette colour, an
// alignment ("HORZ_CENTER", "VERT_CENTER", ...), and the red, not bold font of the marked cells.
py::object solid_fill(const py::object& xlwt, int colour);
py::object alignment(const py::object& xlwt, const char* horizontal, const char* vertical);
inline constexpr const char* kRedFont = "font: bold 0, color red;";

}  // namespace awb::py_
