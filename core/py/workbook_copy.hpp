// A workbook read by xlrd (with formatting) handed to the plain core as the writer's model: what
// xlutils' copy made of it (awb::xls::copy_of).
#pragma once

#include <memory>

#include "awb/xls_copy.hpp"
#include "namespace.hpp"

namespace awb::py_ {

// The values and formats of an xlrd Book opened with formatting_info=True, as plain data
// (ValueError for one opened without).
xls::ReadBook read_book_of(py::handle book);

// The writer's model of the workbook; a refusal of the writer is a ValueError with its message.
std::unique_ptr<xls::Workbook> model_of(py::handle book);

}  // namespace awb::py_
