#include "awb/file_modes.hpp"

namespace awb {
namespace {

constexpr std::uint32_t kTypeBits = 0170000;
constexpr std::uint32_t kOwnerWrite = 0200;
constexpr std::uint32_t kPermissionBits = 07777;

const char* name_of(FileKind kind) {
    switch (kind) {
    case FileKind::kFifo:
        return "管道 (FIFO)";
    case FileKind::kCharacterDevice:
        return "字符设备";
    case FileKind::kBlockDevice:
        return "块设备";
    case FileKind::kSocket:
        return "套接字";
    default:
        return "特殊文件";
    }
}

std::string not_plain_words(FileKind kind) { return std::string("不是普通文件, 而是") + name_of(kind); }

}  // namespace

FileKind file_kind(std::uint32_t mode) {
    switch (mode & kTypeBits) {
    case 0100000:
        return FileKind::kPlain;
    case 0040000:
        return FileKind::kFolder;
    case 0010000:
        return FileKind::kFifo;
    case 0020000:
        return FileKind::kCharacterDevice;
    case 0060000:
        return FileKind::kBlockDevice;
    case 0140000:
        return FileKind::kSocket;
    default:
        return FileKind::kOther;
    }
}

std::string not_plain_file_message(FileKind kind, const std::string& path_repr) {
    return not_plain_words(kind) + ": " + path_repr;
}

std::optional<std::string> plain_file_refusal(std::uint32_t mode) {
    FileKind kind = file_kind(mode);
    if (kind == FileKind::kPlain) return std::nullopt;
    if (kind == FileKind::kFolder) return std::string("是文件夹, 不是文件");
    return not_plain_words(kind);
}

bool marked_read_only(std::uint32_t mode) { return (mode & kOwnerWrite) == 0; }

std::uint32_t permission_bits(std::uint32_t mode) { return mode & kPermissionBits; }

}  // namespace awb
