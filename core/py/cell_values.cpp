#include "cell_values.hpp"

#include "errors.hpp"
#include "strings.hpp"

namespace awb::py_ {

// A value as xlwt's write() takes it.
xls::CellValue value_of(py::handle value, bool dates_1904) {
    PyObject* v = value.ptr();
    if (v == Py_None) return {};
    if (PyBool_Check(v)) return {xls::CellValue::Kind::kBoolean, v == Py_True ? 1.0 : 0.0, {}};
    if (PyUnicode_Check(v)) return xls::CellValue::of(py_::to_ustring(value));
    if (PyLong_Check(v) || PyFloat_Check(v)) {
        double number = PyFloat_AsDouble(v);  // OverflowError for an int too large, as float() gives
        if (number == -1.0 && PyErr_Occurred()) throw py::error_already_set();
        return xls::CellValue::of(number);
    }
    py::module_ datetime = py::module_::import("datetime");
    auto field = [&](const char* name) { return value.attr(name).cast<int>(); };
    if (py::isinstance(value, datetime.attr("datetime"))) {
        return xls::CellValue::of(xls::excel_date(field("year"), field("month"), field("day"), field("hour"),
                                                  field("minute"), field("second"), dates_1904));
    }
    if (py::isinstance(value, datetime.attr("date"))) {
        return xls::CellValue::of(
            xls::excel_date(field("year"), field("month"), field("day"), 0, 0, 0, dates_1904));
    }
    if (py::isinstance(value, datetime.attr("time"))) {
        return xls::CellValue::of(xls::excel_time(field("hour"), field("minute"), field("second")));
    }
    if (py::isinstance(value, py::module_::import("decimal").attr("Decimal"))) {
        double number = PyFloat_AsDouble(v);
        if (number == -1.0 && PyErr_Occurred()) throw py::error_already_set();
        return xls::CellValue::of(number);
    }
    raise(PyExc_Exception, "Unexpected data type " + py::repr(py::type::of(value)).cast<std::string>());
}

void RowFields::add(py::handle value) {
    PyObject* v = value.ptr();
    if (PyLong_CheckExact(v)) {
        double number = PyLong_AsDouble(v);
        if (number == -1.0 && PyErr_Occurred()) throw py::error_already_set();
        values_.push_back(xls::CellValue::of(number));
    } else if (PyFloat_CheckExact(v)) {
        values_.push_back(xls::CellValue::of(PyFloat_AS_DOUBLE(v)));
    } else {
        values_.push_back(value_of(value, dates_1904_));
    }
}

std::vector<xls::Field> RowFields::fields() const {
    std::vector<xls::Field> fields;
    fields.reserve(values_.size());
    for (const xls::CellValue& value : values_) fields.push_back({value.kind, value.number, value.text});
    return fields;
}

void RowFields::add_sequence(py::handle values) {
    for (py::handle value : values) add(value);
}

py::object value_in_python(const xls::CellValue& value) {
    switch (value.kind) {
    case xls::CellValue::Kind::kNumber:
        return py::float_(value.number);
    case xls::CellValue::Kind::kText:
        return to_str(value.text);
    case xls::CellValue::Kind::kBoolean:
        return py::bool_(value.number != 0);
    case xls::CellValue::Kind::kError:
        return py::int_(static_cast<int>(value.number));
    case xls::CellValue::Kind::kBlank:
        break;
    }
    return py::str("");
}

}  // namespace awb::py_
