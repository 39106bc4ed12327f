// The interpreter's values as the core's workbook writer takes them: what xlwt's write() made of
// each (numbers, texts, blanks, truth values, dates and times as the writer's date numbers).
#pragma once

#include <vector>

#include "awb/xls_workbook.hpp"
#include "namespace.hpp"

namespace awb::py_ {

// A value as xlwt's write() takes it, a date as the number of a workbook counting from 1904 or
// not; an int too large for a number is an OverflowError, a value of another type the Exception
// xlwt raises for it ("Unexpected data type ...").
xls::CellValue value_of(py::handle value, bool dates_1904);

// A cell's value as xlrd gives it from a file read without formats: a text, a float, "" for a
// blank, a truth value as a bool, an error as its code.
py::object value_in_python(const xls::CellValue& value);

// A row's values as the writer takes them: numbers straight from the interpreter's ints and
// floats, the rest as write() takes them.
class RowFields {
public:
    explicit RowFields(const xls::Workbook& book) : dates_1904_(book.dates_1904 != 0) {}
    void add(py::handle value);
    void add_sequence(py::handle values);  // each item of a sequence, in order
    // The fields of a row plan, their texts viewing this object's: valid while it is unchanged.
    std::vector<xls::Field> fields() const;

private:
    bool dates_1904_;
    std::vector<xls::CellValue> values_;
};

}  // namespace awb::py_
