// ZIP archives of stored (uncompressed) files, as PKWARE's APPNOTE describes them: for
// each file a local header and its bytes, then the central directory and its end record.
// Every reader of ZIP files takes this oldest form (version 1.0, method 0). The files
// carry Unix permission bits, so an unpacked script keeps its execute bit, and all carry
// the same time stamp (1980-01-01 00:00, the format's first day), so that the same files
// give the same archive.
//
// Usage:
//   std::string zip, why;
//   if (!zip_archive({{"setup.sh", text, 0755}}, zip, why)) complain("a.zip", why);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
    std::string name;  // the path inside the archive, '/' between folders
    std::string bytes;
    unsigned mode = 0644;  // the permission bits
};

// The CRC-32 of `bytes` (the ZIP and PNG one: polynomial 0xEDB88320, reflected).
std::uint32_t crc32_of(const std::string& bytes);

// The archive of `entries`, in their order. False, with `why`, when they do not fit the
// format without its 64-bit extension: 65535 files, 4 GiB in all, names of 65535 bytes.
bool zip_archive(const std::vector<ZipEntry>& entries, std::string& zip, std::string& why);
