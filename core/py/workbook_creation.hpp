// Creating the analysis workbook.
#pragma once

#include "namespace.hpp"

namespace awb::py_ {

// What the two tools' workbooks differ in.
struct WorkbookVariant {
    bool prewrite_picture;   // the console writes the picture name in row `insert_row_num`
    bool widen_name_column;  // the batch widens column 0 to 15 characters
    bool set_data_num;       // the batch keeps `Data_num`, its column bound, in step (awb::data_num)
};

// Create_Excel: a new workbook at `Excle_File` with the seven sheets and their title rows,
// written by the core's writer (awb::create_analysis_workbook).
void create_workbook(const Namespace& ns, const WorkbookVariant& variant);

}  // namespace awb::py_
