#include "record.hpp"

#include "strings.hpp"

namespace awb::py_ {
py::object tag_name(uview tag, bool per_light_source, py::handle light_source) {
    py::object name = to_str(tag);
    if (per_light_source) return name + py::reinterpret_borrow<py::object>(light_source);
    return name;
}

namespace {

template <std::size_t N>
void store(py::handle array, const std::array<py::object, N>& values) {
    for (std::size_t slot = 0; slot < N; ++slot) array[py::int_(slot)] = values[slot];
}

// The record's slots set to 0: at once where the record takes a slice of them (a numpy array, a
// list), else slot by slot.
void clear_record(const py::object& record) {
    // Made once and kept for the life of the process (never released at its end).
    static py::handle zeros = [] {
        py::tuple made(kRecordSize);
        for (std::size_t slot = 0; slot < kRecordSize; ++slot) made[slot] = py::int_(0);
        return made.release();
    }();
    try {
        if (py::len(record) >= kRecordSize) {
            record[py::slice(0, kRecordSize, 1)] = zeros;
            return;
        }
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_TypeError)) throw;
    }
    for (std::size_t slot = 0; slot < kRecordSize; ++slot) record[py::int_(slot)] = py::int_(0);
}

}  // namespace

void build_record(const Namespace& ns, py::handle light_source, GainArray gains) {
    clear_record(ns.get(globals::AWB_TAG_DATA_List));

    std::array<py::object, kRecordSlots.size()> values;
    for (std::size_t slot : kRecordReadOrder) {
        const RecordSlot& entry = kRecordSlots[slot];
        values[slot] = ns.get(globals::LUMVIK_NEW)(tag_name(entry.tag, entry.per_light_source, light_source));
    }
    store(ns.get(globals::AWB_TAG_DATA_List), values);

    if (gains == GainArray::kWith) {
        std::array<py::object, kGainSlots.size()> gain_values;
        for (std::size_t slot = 0; slot < kGainSlots.size(); ++slot) {
            const GainSlot& entry = kGainSlots[slot];
            gain_values[slot] =
                ns.get(globals::LUMVIK_NEW)(tag_name(entry.tag, entry.per_light_source, light_source));
        }
        store(ns.get(globals::LUMVIK_List), gain_values);
    }
}

RecordValues take_record(const Namespace& ns) {
    py::object record = ns.get(globals::AWB_TAG_DATA_List);
    py::object to_int = ns.lookup("int");
    RecordValues values;
    for (std::size_t slot = 0; slot < values.slots.size(); ++slot) {
        values.slots[slot] = to_int(record[py::int_(slot)]);
    }
    return values;
}

std::array<std::int64_t, kGainSlots.size()> take_gains(const Namespace& ns) {
    py::object gains = ns.get(globals::LUMVIK_List);
    py::object to_int = ns.lookup("int");
    std::array<std::int64_t, kGainSlots.size()> values{};
    for (std::size_t slot = 0; slot < values.size(); ++slot) {
        values[slot] = to_int(gains[py::int_(slot)]).cast<std::int64_t>();
    }
    return values;
}

}  // namespace awb::py_
