// ROM and RAM images in the three forms the isa4 command reads and writes.
//
//   raw      the workbench's own files: ROM 256 records of 3 bytes (24-bit big-endian
//            words), RAM 256 bytes (see machine/image_file.h).
//   ihex     Intel HEX holding the bytes of the raw image from address 0: data records
//            of 16 bytes, then the end-of-file record ":00000001FF".
//   logisim  Logisim's "v2.0 raw" memory files: the header line, then one hex value per
//            address (a ROM word or a RAM cell), runs of four or more equal values as
//            "N*value" (N decimal), '#' comments.
//
// A file is told apart by its content, never by its name, by one rule that every reader
// shares (`classify_file`), in this order:
//
//   1. a file that holds a NUL byte is a raw image (no text holds one);
//   2. a file of exactly the raw image's size (768 bytes ROM, 256 RAM) that is not UTF-8
//      text, or holds no line end, is a raw image, whatever its first bytes spell;
//   3. a first line "v2.0 raw" (after a UTF-8 byte order mark) is logisim;
//   4. a first line that is not blank starting with ':' is ihex;
//   5. anything else is text: a source where a program is read (isa4 test and trace),
//      and refused, with its first line, where an image is.
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
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "machine/image_file.h"
#include "machine/isa4.h"
#include "text/message.h"

enum class ImageFormat { raw, ihex, logisim };
enum class MemoryKind { rom, ram };

// "raw", "ihex", "logisim" and back.
std::optional<ImageFormat> format_from_name(std::string_view name);
const char* format_name(ImageFormat format);

// What an image file holds: a value for each address it gives.
struct ImageContent {
    std::array<std::uint32_t, 256> values{};
    std::bitset<256> held;
};

// The format the first line names: logisim or ihex by rules 2 and 3 above, else raw.
ImageFormat detect_format(std::string_view bytes);

// How a file is read, by the rule above.
enum class FileReading { raw, ihex, logisim, text };
FileReading classify_file(std::string_view bytes, MemoryKind kind);
// Why: "read as Intel HEX, as the first line starts with ':'".
std::string reading_note(FileReading reading, std::string_view bytes);

// "" when `bytes`, a raw image of `kind`, reads back as raw by the rule above; else a
// warning that says how it would be read, by which rule, and how to read it as raw.
std::string raw_misread_warning(std::string_view bytes, MemoryKind kind);

// The file text or bytes of an image of 256 values (words or cells) in `format`.
std::string encode_image(ImageFormat format, MemoryKind kind,
                         const std::array<std::uint32_t, 256>& values);
// Reads an image in the format its content shows; false, with `fault` set (its line,
// from 1, and message), when it has a fault, and then `content` means nothing.
// With `forced`, the file is read in that format whatever its content shows.
bool decode_image(std::string_view bytes, MemoryKind kind, ImageContent& content, Diagnostic& fault,
                  std::optional<ImageFormat> forced = std::nullopt);

// The same for the bytes of the file `path`: a fault names the file and ends "; the ROM
// is unchanged" (or RAM).
bool decode_file_image(const std::string& path, std::string_view bytes, MemoryKind kind,
                       ImageContent& content, Diagnostic& error,
                       std::optional<ImageFormat> forced = std::nullopt);

// The bytes of an image file, read once: a text image at most `max_text_file_size`
// bytes, a raw one only as far as the memory goes however long the file. `cut` (when
// given) is set when the file was longer and only its raw image's start was kept: it is
// then raw whatever those bytes look like.
FileResult read_image_file(const std::string& path, MemoryKind kind, std::string& bytes,
                           std::optional<ImageFormat> forced = std::nullopt, bool* cut = nullptr);

// Writes the values the content holds into the memory; the others stay.
void take_image(const ImageContent& content, Isa4::Rom& rom);
void take_image(const ImageContent& content, Isa4::Ram& ram);

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
