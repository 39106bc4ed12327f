// What a file's mode (st_mode, as the file system's status of it gives it) says: the kind of
// file, and whether its owner may write it. The bits are the same on every system the tools run
// on. Plain C++, no interpreter objects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace awb {

enum class FileKind { kPlain, kFolder, kFifo, kCharacterDevice, kBlockDevice, kSocket, kOther };
FileKind file_kind(std::uint32_t mode);

// What a text that is neither a plain file nor a folder is refused with: "不是普通文件, 而是<what
// it is>: <path, as the interpreter writes it out>".
std::string not_plain_file_message(FileKind kind, const std::string& path_repr);

// What a path that must name a plain file is refused with, to follow the path: "是文件夹, 不是文件",
// or "不是普通文件, 而是<what it is>"; none for a plain file.
std::optional<std::string> plain_file_refusal(std::uint32_t mode);

// The owner's write permission is off: the user marked the file read-only (which the file system
// would let the administrator replace or remove anyway).
bool marked_read_only(std::uint32_t mode);

// The permission bits of a mode, those a new file is given to stand in for an old one.
std::uint32_t permission_bits(std::uint32_t mode);

}  // namespace awb
