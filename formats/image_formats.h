// ROM and RAM images in the three forms the isa4 command reads and writes.
//
//   raw      the workbench's own files (formats/raw_format.h)
//   ihex     Intel HEX (formats/ihex_format.h)
//   logisim  Logisim's "v2.0 raw" memory files (formats/logisim_format.h)
//
// A file is told apart by its content, never by its name, by the one rule that every
// reader shares (`classify_file`, formats/file_reading.h).
//
// A raw image that has the other memory's size (a 256-byte file read as a ROM, a
// 768-byte file as a RAM) is refused as a mix-up. A reader given a format (`--from`)
// reads the file in that format whatever its content, and then takes no size as a
// mix-up. Every fault says which way the file was read.
//
// Reading is strict: a text image with a fault (bad checksum, unknown record type,
// address beyond the image, value too wide, odd digit count ...) is refused as a whole
// with the line of the fault, and nothing of it is taken. A file that holds fewer
// values than the memory replaces only those it holds, as a short raw image does; an
// Intel HEX ROM word whose three bytes are not all given is left as it was, like the
// bytes after the last whole record of a raw ROM image.
//
// Usage:
//   Diagnostic error;
//   if (!load_rom_any("prog.hex", arch.rom, error)) std::cerr << format_diagnostic(error);
//   save_rom_as("prog.txt", ImageFormat::logisim, arch.rom, error);
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "formats/file_reading.h"
#include "formats/image_content.h"
#include "machine/image_file.h"
#include "machine/isa4.h"
#include "text/message.h"

// The file text or bytes of an image of 256 values (words or cells) in `format`.
std::string encode_image(ImageFormat format, MemoryKind kind,
                         const std::array<std::uint32_t, 256>& values);
// Reads an image in the format its content shows; false, with `fault` set (its line,
// from 1, and message), when it has a fault, and then `content` means nothing.
// With `forced`, the file is read in that format whatever its content shows.
bool decode_image(std::string_view bytes, MemoryKind kind, ImageContent& content, Diagnostic& fault,
                  std::optional<ImageFormat> forced = std::nullopt);

// The same for the bytes of the file `path`: a fault names the file.
bool decode_file_image(const std::string& path, std::string_view bytes, MemoryKind kind,
                       ImageContent& content, Diagnostic& error,
                       std::optional<ImageFormat> forced = std::nullopt);

// The bytes of an image file, read once: a text image at most `max_text_file_size`
// bytes, a raw one only as far as the memory goes however long the file. `cut` (when
// given) is set when the file was longer and only its raw image's start was kept: it is
// then raw whatever those bytes look like.
FileResult read_image_file(const std::string& path, MemoryKind kind, std::string& bytes,
                           std::optional<ImageFormat> forced = std::nullopt, bool* cut = nullptr);

// Files. The loads read any of the three formats and change the memory only when the
// whole file is sound; the saves write by the rules of the image saves (a temporary file
// renamed over the target). On failure `error` says why, naming the file and, for a
// fault in its text, the line: "prog.hex:3: error: bad checksum ..." once printed.
bool load_rom_any(const std::string& path, Isa4::Rom& rom, Diagnostic& error,
                  std::optional<ImageFormat> forced = std::nullopt);
bool load_ram_any(const std::string& path, Isa4::Ram& ram, Diagnostic& error,
                  std::optional<ImageFormat> forced = std::nullopt);

// A program file, as isa4 test and trace read one: a source (text by the rule above,
// its bytes in `source`) or a ROM image (into `image`). False, with `error` set, when it
// cannot be read or is a faulty image.
struct ProgramFile {
    bool is_source = false;
    std::string source;
    ImageContent image;
    // On failure, why: the file could not be read, is UTF-16 or UTF-32 text (`wide`
    // names which), or is a faulty image.
    enum class Problem { none, unreadable, wide_text, faulty_image } problem = Problem::none;
    const char* wide = nullptr;
};
bool read_program_file(const std::string& path, ProgramFile& program, Diagnostic& error,
                       std::optional<ImageFormat> forced = std::nullopt);
bool save_rom_as(const std::string& path, ImageFormat format, const Isa4::Rom& rom,
                 Diagnostic& error);
bool save_ram_as(const std::string& path, ImageFormat format, const Isa4::Ram& ram,
                 Diagnostic& error);
