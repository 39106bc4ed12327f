// Opening the texts the tools read (configuration, capture list, debug texts, dumps) and the
// bytes of a workbook, through the module's own `open`.
#pragma once

#include <functional>
#include <string>

#include "namespace.hpp"

namespace awb::py_ {

// A text file opened for reading through the module's own open. Only a plain file is opened
// (checked before opening, so that a FIFO never blocks): a folder raises IsADirectoryError,
// anything else (a FIFO, a device, a socket) an OSError naming what it is. A text that starts
// with a UTF-8 byte-order mark is read without it ("utf-8-sig"), one that starts with a UTF-16
// mark as UTF-16; any other keeps the platform's default encoding (open(path, "r")).
py::object open_text(const Namespace& ns, py::handle path);

// All the bytes of a file, opened with the module's own open(path, "rb") and closed again, also
// when reading fails.
py::object read_bytes(const Namespace& ns, py::handle path);

// All lines of a text file, opened with open_text and closed again, also when reading fails.
// `on_open` sees the file object before it is read.
py::object read_lines(const Namespace& ns, py::handle path,
                      const std::function<void(py::handle)>& on_open = {});

// The encoding that was tried on a text that could not be decoded: the decoder's, else the
// platform's default.
std::string tried_encoding(py::error_already_set& e);

// "<path> 不是 <encoding> 编码的文本" for that text (awb::undecodable_text).
std::string undecodable_text(py::error_already_set& e, const std::string& path);

}  // namespace awb::py_
