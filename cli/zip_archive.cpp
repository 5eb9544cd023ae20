#include "cli/zip_archive.h"

#include <array>
#include <cstddef>

namespace {

constexpr std::uint32_t local_header_signature = 0x04034b50;
constexpr std::uint32_t central_header_signature = 0x02014b50;
constexpr std::uint32_t end_signature = 0x06054b50;
constexpr std::uint16_t version_needed = 10;                 // 1.0: stored files
constexpr std::uint16_t version_made_by = 3 << 8 | 30;       // Unix, APPNOTE 3.0
constexpr std::uint16_t utf8_names = 1 << 11;                // general purpose flag bit 11
constexpr std::uint16_t dos_date = (0 << 9) | (1 << 5) | 1;  // 1980-01-01
constexpr std::uint16_t dos_time = 0;
constexpr std::uint32_t regular_file = 0100000;  // S_IFREG, beside the permission bits

void put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void put32(std::string& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

bool ascii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// What the local and the central header share, from "version needed" to the name length.
void put_common(std::string& out, const ZipEntry& e, std::uint32_t crc) {
    put16(out, version_needed);
    put16(out, ascii(e.name) ? 0 : utf8_names);
    put16(out, 0);  // stored
    put16(out, dos_time);
    put16(out, dos_date);
    put32(out, crc);
    put32(out, static_cast<std::uint32_t>(e.bytes.size()));  // compressed size
    put32(out, static_cast<std::uint32_t>(e.bytes.size()));  // uncompressed size
    put16(out, static_cast<std::uint16_t>(e.name.size()));
    put16(out, 0);  // no extra field
}

}  // namespace

std::uint32_t crc32_of(const std::string& bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char b : bytes)
        crc = table[(crc ^ static_cast<unsigned char>(b)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool zip_archive(const std::vector<ZipEntry>& entries, std::string& zip, std::string& why) {
    zip.clear();
    if (entries.size() > 0xFFFF) {
        why = "more than 65535 files";
        return false;
    }
    std::uint64_t total = 22;  // the end record
    for (const ZipEntry& e : entries) {
        if (e.name.empty() || e.name.size() > 0xFFFF) {
            why = "a file name of 1 to 65535 bytes is needed";
            return false;
        }
        total += 30 + 46 + 2 * e.name.size() + e.bytes.size();
    }
    if (total > 0xFFFFFFFFu) {
        why = "the archive would pass 4 GiB";
        return false;
    }
    zip.reserve(static_cast<std::size_t>(total));
    std::string central;
    for (const ZipEntry& e : entries) {
        const std::uint32_t crc = crc32_of(e.bytes);
        const auto offset = static_cast<std::uint32_t>(zip.size());
        put32(zip, local_header_signature);
        put_common(zip, e, crc);
        zip += e.name;
        zip += e.bytes;

        put32(central, central_header_signature);
        put16(central, version_made_by);
        put_common(central, e, crc);
        put16(central, 0);                                        // no comment
        put16(central, 0);                                        // disk 0
        put16(central, 0);                                        // internal attributes
        put32(central, (regular_file | (e.mode & 07777)) << 16);  // Unix mode, high half
        put32(central, offset);
        central += e.name;
    }
    const auto central_offset = static_cast<std::uint32_t>(zip.size());
    zip += central;
    put32(zip, end_signature);
    put16(zip, 0);  // this disk
    put16(zip, 0);  // the disk of the central directory
    put16(zip, static_cast<std::uint16_t>(entries.size()));
    put16(zip, static_cast<std::uint16_t>(entries.size()));
    put32(zip, static_cast<std::uint32_t>(central.size()));
    put32(zip, central_offset);
    put16(zip, 0);  // no comment
    return true;
}
