// awb_desk._tables: the AWB core's tables for the tools written in Python (the workbook
// report), read from the one copy the record builder and the workbook writers use, and the
// core's rules those tools share with the modules: which sheets a workbook's light sources are,
// and what a file's mode says. Loading it does nothing else: no files, no error-stream
// redirection, no settings.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "awb/file_modes.hpp"
#include "awb/sheets.hpp"
#include "awb/tables.hpp"

namespace py = pybind11;

namespace {

py::str str_of(awb::uview text) { return py::str(awb::to_utf8(text)); }

// Each light source's sheet among the workbook's sheet names (awb::choose_sheets): the sheets'
// positions in light-source order and no problem, or None and why there are no seven.
py::tuple choose_sheets(const std::vector<std::string>& names) {
    std::vector<awb::ustring> sheet_names;
    sheet_names.reserve(names.size());
    for (const std::string& name : names) sheet_names.push_back(awb::from_utf8(name));
    awb::SheetChoice choice = awb::choose_sheets(sheet_names);
    if (choice.kind != awb::SheetChoice::Kind::kFound)
        return py::make_tuple(py::none(), awb::sheets_problem(choice));
    return py::make_tuple(py::tuple(py::cast(choice.positions)), py::none());
}

py::tuple titles_of(const awb::Layout& layout) {
    py::tuple titles(layout.titles.size());
    for (std::size_t i = 0; i < layout.titles.size(); ++i) titles[i] = str_of(layout.titles[i]);
    return titles;
}

}  // namespace

PYBIND11_MODULE(_tables, m) {
    m.doc() = "The AWB core's tables: light sources, record slots and the workbook's title rows.";

    py::tuple codes(awb::kSheetCount);
    py::dict sheet_titles;
    py::dict value_columns;
    py::dict sheet_tags;
    for (std::size_t k = 0; k < awb::kSheetCount; ++k) {
        const awb::LightSource& source = awb::kLightSources[k];
        py::str code = str_of(source.code);
        codes[k] = code;
        const awb::Layout& layout = awb::layout_of(source);
        sheet_titles[code] = titles_of(layout);
        value_columns[code] = layout.value_columns;
        py::tuple tags(layout.value_columns);
        for (std::size_t c = 0; c < layout.value_columns; ++c) {
            const awb::RecordSlot& slot = awb::kRecordSlots[c];
            tags[c] = slot.per_light_source ? str_of(awb::ustring(slot.tag) + awb::ustring(source.code))
                                            : str_of(slot.tag);
        }
        sheet_tags[code] = tags;
    }
    // The sheets in their order; a code's index is its sheet index.
    m.attr("LIGHT_SOURCES") = codes;
    // Each sheet's title row, and how many columns after "File Name" hold record values.
    m.attr("SHEET_TITLES") = sheet_titles;
    m.attr("VALUE_COLUMNS") = value_columns;
    // The tag of each of those columns as a tuning history names it: a tag of one light source
    // with the sheet's code after it.
    m.attr("SHEET_TAGS") = sheet_tags;

    // The column title of every record slot that has a column (the date has none).
    py::list record_titles;
    for (const awb::RecordSlot& slot : awb::kRecordSlots) {
        if (!slot.title.empty()) record_titles.append(str_of(slot.title));
    }
    m.attr("RECORD_TITLES") = py::tuple(record_titles);
    // The tag each of those columns is read from, in the same order; a tag of one light source
    // is its prefix, the light-source code follows it in the debug text.
    py::list record_tags;
    for (const awb::RecordSlot& slot : awb::kRecordSlots) {
        if (!slot.title.empty()) record_tags.append(str_of(slot.tag));
    }
    m.attr("RECORD_TAGS") = py::tuple(record_tags);
    // The tags of the algorithm's final R, G and B gains.
    py::tuple final_gain_tags(3);
    for (std::size_t i = 0; i < 3; ++i)
        final_gain_tags[i] = str_of(awb::kGainSlots[awb::kAlgorithmGainSlot + i].tag);
    m.attr("FINAL_GAIN_TAGS") = final_gain_tags;
    m.attr("FIRST_PROBABILITY_SLOT") = awb::kFirstProbabilitySlot;
    m.attr("NAME_TITLE") = str_of(awb::kNameTitle);
    m.attr("DATE_TITLE") = str_of(awb::kTailTitles[awb::kDate]);
    m.attr("ISSUE_NOTE_TITLE") = str_of(awb::kTailTitles[awb::kIssueNote]);
    m.attr("NO_ISSUE_NOTE") = str_of(awb::kNoIssueNote);

    m.def("choose_sheets", &choose_sheets, py::arg("sheet_names"));
    // What a file's mode (os.stat's st_mode) says: whether it is a plain file, why a path that
    // must name one is refused, whether its owner marked it read-only.
    m.def("is_plain_file", [](std::uint32_t mode) { return awb::file_kind(mode) == awb::FileKind::kPlain; });
    m.def("plain_file_refusal", &awb::plain_file_refusal, py::arg("mode"));
    m.def("marked_read_only", &awb::marked_read_only, py::arg("mode"));
}
