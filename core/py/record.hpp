// The record builder: the AWB debug record of one picture for one light source, read tag by
// tag through the module's `LUMVIK_NEW` into `AWB_TAG_DATA_List` (and, for the console, the
// gains into `LUMVIK_List`).
#pragma once

#include <array>
#include <cstdint>

#include "awb/tables.hpp"
#include "namespace.hpp"

namespace awb::py_ {

// The tag of a slot: its name, or its prefix followed by the light-source code. The prefix
// and the code are joined by the interpreter, so a code that is not a text fails there.
py::object tag_name(uview tag, bool per_light_source, py::handle light_source);

enum class GainArray { kWithout, kWith };

void build_record(const Namespace& ns, py::handle light_source, GainArray gains);

// The values a row writer takes from the record after a build: slots 0 to 20 as the
// interpreter's integers (int() of each slot).
struct RecordValues {
    std::array<py::object, kRecordSlots.size()> slots;
    std::int64_t slot(std::size_t i) const { return slots[i].cast<std::int64_t>(); }
};
RecordValues take_record(const Namespace& ns);

// The console's gain array after a build: slots 0 to 13.
std::array<std::int64_t, kGainSlots.size()> take_gains(const Namespace& ns);

}  // namespace awb::py_
