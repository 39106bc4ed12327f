// Opening the texts the tools read (configuration, capture list, debug texts, dumps) and the
// bytes of a workbook, through the module's own `open`.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "namespace.hpp"

namespace awb::py_ {

// A debug text or an EXIF dump opened for reading through the module's own open, in the
// encoding awb::kDebugTextEncoding says (its byte-order mark's, else UTF-8 with a byte that is
// not UTF-8 replaced). Only a plain file is opened (checked before opening, so that a FIFO never
// blocks): a folder raises IsADirectoryError, anything else (a FIFO, a device, a socket) an
// OSError naming what it is.
py::object open_debug_text(const Namespace& ns, py::handle path);

// All lines of a debug text or dump, opened with open_debug_text and closed again, also when
// reading fails. `on_open` sees the file object before it is read.
py::object read_debug_lines(const Namespace& ns, py::handle path,
                            const std::function<void(py::handle)>& on_open = {});

// All lines of a text the engineer writes (the capture list, Config.ini), as readlines() gives
// them: its bytes, read with the module's own open, decoded in the first of awb::text_encodings
// that takes the whole text. When none does, the decoder's UnicodeDecodeError of the last one
// is raised, and `tried`, when given, holds the encodings tried (for awb::undecodable_text).
py::object read_text_lines(const Namespace& ns, py::handle path, std::vector<std::string>* tried = nullptr);

// All the bytes of a file, opened with the module's own open(path, "rb") and closed again, also
// when reading fails.
py::object read_bytes(const Namespace& ns, py::handle path);

}  // namespace awb::py_
