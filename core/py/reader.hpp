// The tag reader: the value of one tag of a picture's debug-information text (the console's
// open text in `fp`) or of its EXIF dump (the batch's "./EXIF/" + `Target_Awb_Target_Pic`).
#pragma once

#include <cstdint>

#include "awb/tag_rule.hpp"
#include "namespace.hpp"

namespace awb::py_ {

// The value of `tag` in a list of lines: the last matching line's value converted by the
// module's int(), or 0 when no line matches. A value int() refuses raises its ValueError.
// `matched`, when given, is set when a line matched.
py::object scan_lines(const Namespace& ns, py::handle lines, py::handle tag, bool* matched = nullptr);

// Console: rewinds the open text `fp`, reads all its lines and scans them; `fp` stays open.
py::object read_tag_from_open_text(const Namespace& ns, py::handle tag);

// Batch: opens the current picture's EXIF dump, reads and closes it, and scans its lines.
// A missing dump reads as 0: it is reported once per picture (`exif_file_flage`) and its path
// recorded once at the end of `no_exif_list`.
py::object read_tag_from_dump(const Namespace& ns, py::handle tag);

// While a DumpPath lives, the batch reader reads the dump at `path` instead of "./EXIF/"
// followed by `Target_Awb_Target_Pic`: the folder walk reads each file where it lies.
class DumpPath {
public:
    DumpPath(const Namespace& ns, py::object path);
    ~DumpPath();
    DumpPath(const DumpPath&) = delete;
    DumpPath& operator=(const DumpPath&) = delete;

    py::object path;

private:
    py::capsule state_;  // the module's reader state, kept alive while this lives
    DumpPath* outer_;
};

// While a TextMemory lives (one per module at a time, the innermost counts), each text is read once: further
// lookups in the same text (the console's open `fp`, the batch's dump path) reuse the lines read first, or
// the dump's absence. One lives while a picture's seven records are built, so a picture costs one read of its
// text however large it is.
class TextMemory {
public:
    explicit TextMemory(const Namespace& ns);
    ~TextMemory();
    TextMemory(const TextMemory&) = delete;
    TextMemory& operator=(const TextMemory&) = delete;

    py::object source;  // the open text, or the dump's path, read last
    // The dump path made last, and the picture name it was made of: a name that is the same
    // object again makes the same path.
    py::object dump_picture, dump_path;
    py::object lines;  // its lines, or None when the dump is missing

    // A text was read (not a missing dump), and no lookup found any of its tags: the text
    // holds no AWB debug values, and its record would be zeros only.
    bool holds_no_values() const { return read_ && !matched_; }
    void note_read() { read_ = true; }

    // The value of `tag` in `lines`, as scan_lines gives it. The first lookup indexes the lines
    // (awb::TagLineIndex), so that a tag is looked for only in the lines that can carry it.
    py::object scan(const Namespace& ns, py::handle tag);

private:
    void index_lines();

    py::capsule state_;  // the module's reader state, kept alive while this lives
    TextMemory* outer_;
    py::object indexed_from_;  // the `lines` the index was made from
    py::object indexed_;       // the same lines, held as a tuple; None when they cannot be indexed
    TagLineIndex index_;
    bool read_ = false;
    bool matched_ = false;
};

}  // namespace awb::py_
