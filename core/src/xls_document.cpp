// The compound document around the workbook stream, laid out as xlwt lays it out: header and
// the first 109 entries of the sector allocation index, the stream, the extra index sectors, the
// allocation table, one directory sector. 512-byte sectors and no short streams.
#include <cstring>

#include "awb/xls_workbook.hpp"
#include "xls_bytes.hpp"

namespace awb::xls {
namespace {

constexpr std::int32_t kFree = -1, kEndOfChain = -2, kAllocationSector = -3, kIndexSector = -4;
constexpr std::size_t kSectorShift = 9;
constexpr std::size_t kEntriesPerSector = 128;
constexpr std::size_t kHeaderEntries = 109;
constexpr std::size_t kStreamAlignment = 0x1000;

void i32(std::string& out, std::int32_t value) { bytes::u32(out, static_cast<std::uint32_t>(value)); }

void directory_entry(std::string& out, std::u16string_view name, int type, std::int32_t child,
                     std::int32_t start, std::uint32_t size) {
    std::size_t at = out.size();
    for (char16_t c : name) bytes::u16(out, c);
    out.resize(at + 64, '\0');
    bytes::u16(out, name.empty() ? 0 : static_cast<std::uint32_t>(2 * name.size()));
    bytes::u8(out, static_cast<std::uint32_t>(type));
    bytes::u8(out, 1);  // black
    i32(out, -1);
    i32(out, -1);
    i32(out, child);
    out.append(36, '\0');  // no class, state or times
    i32(out, start);
    bytes::u32(out, size);
    bytes::u32(out, 0);
}

}  // namespace

void write_compound_document(const std::vector<std::string_view>& stream, const Sink& write) {
    std::size_t length = 0;
    for (std::string_view part : stream) length += part.size();
    std::size_t padding = kStreamAlignment - length % kStreamAlignment;
    std::size_t stream_length = length + padding;

    std::string directory;
    directory_entry(directory, std::u16string_view(u"Root Entry\0", 11), 5, 1, kEndOfChain, 0);
    directory_entry(directory, std::u16string_view(u"Workbook\0", 9), 2, -1, 0,
                    static_cast<std::uint32_t>(stream_length));
    directory_entry(directory, {}, 0, -1, kEndOfChain, 0);
    directory_entry(directory, {}, 0, -1, kEndOfChain, 0);

    std::size_t stream_sectors = stream_length >> kSectorShift;
    std::size_t directory_sectors = directory.size() >> kSectorShift;
    std::size_t total = stream_sectors + directory_sectors;
    std::size_t table_sectors = 0, index_sectors = 0, table_limit = kHeaderEntries;
    while (total > kEntriesPerSector * table_sectors || table_sectors > table_limit) {
        ++table_sectors;
        ++total;
        if (table_sectors > table_limit) {
            ++index_sectors;
            ++total;
            table_limit += kEntriesPerSector - 1;
        }
    }
    std::vector<std::int32_t> table(kEntriesPerSector * table_sectors, kFree);
    std::vector<std::int32_t> index_list, table_list;
    std::size_t sector = 0;
    for (; sector + 1 < stream_sectors; ++sector) table[sector] = static_cast<std::int32_t>(sector + 1);
    table[sector++] = kEndOfChain;
    for (; sector < stream_sectors + index_sectors; ++sector) {
        index_list.push_back(static_cast<std::int32_t>(sector));
        table[sector] = kIndexSector;
    }
    for (; sector < stream_sectors + index_sectors + table_sectors; ++sector) {
        table_list.push_back(static_cast<std::int32_t>(sector));
        table[sector] = kAllocationSector;
    }
    auto directory_start = static_cast<std::int32_t>(sector);
    for (; sector + 1 < stream_sectors + index_sectors + table_sectors + directory_sectors; ++sector) {
        table[sector] = static_cast<std::int32_t>(sector + 1);
    }
    table[sector] = kEndOfChain;

    std::vector<std::int32_t> more(kEntriesPerSector * index_sectors, kFree);
    if (index_sectors > 0) more.back() = kEndOfChain;
    // Past the header's 109 entries, each extra index sector's last entry links to the next one.
    std::size_t next_entry = kHeaderEntries, index_sector = 0;
    for (std::size_t slot = 0; next_entry < table_sectors; ++slot) {
        if ((slot + 1) % kEntriesPerSector == 0) {
            ++index_sector;
            if (index_sector < index_list.size()) more[slot] = index_list[index_sector];
        } else {
            more[slot] = table_list[next_entry++];
        }
    }

    std::string head;
    head.append("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    head.append(16, '\0');
    head.append("\x3E\x00\x03\x00\xFE\xFF\x09\x00\x06\x00", 10);
    head.append(10, '\0');
    bytes::u32(head, static_cast<std::uint32_t>(table_list.size()));
    i32(head, directory_start);
    head.append(4, '\0');
    bytes::u32(head, 0x1000);
    i32(head, kEndOfChain);
    bytes::u32(head, 0);
    i32(head, index_list.empty() ? kEndOfChain : index_list.front());
    bytes::u32(head, static_cast<std::uint32_t>(index_list.size()));
    for (std::size_t i = 0; i < kHeaderEntries; ++i) i32(head, i < table_list.size() ? table_list[i] : kFree);
    write(head);
    for (std::string_view part : stream) write(part);
    std::string tail(padding, '\0');
    for (std::int32_t entry : more) i32(tail, entry);
    for (std::int32_t entry : table) i32(tail, entry);
    tail += directory;
    write(tail);
}

std::string compound_document(const std::vector<std::string_view>& stream) {
    std::string out;
    write_compound_document(stream, [&out](std::string_view part) { out += part; });
    return out;
}

}  // namespace awb::xls
