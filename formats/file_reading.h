// The one rule that tells an image file's format by its content, never by its name,
// shared by every reader, in this order:
//
//   1. a file that holds a NUL byte is a raw image (no text holds one);
//   2. a file of exactly the raw image's size (768 bytes ROM, 256 RAM) that is not UTF-8
//      text, or holds no line end, is a raw image, whatever its first bytes spell;
//   3. a first line "v2.0 raw" (after a UTF-8 byte order mark) is logisim;
//   4. a first line that is not blank starting with ':' is ihex;
//   5. anything else is text: a source where a program is read (isa4 test and trace),
//      and refused, with its first line, where an image is.
#pragma once

#include <string>
#include <string_view>

#include "formats/image_content.h"

// The format the first line names: logisim or ihex by rules 3 and 4 above, else raw.
ImageFormat detect_format(std::string_view bytes);

// How a file is read, by the rule above.
enum class FileReading { raw, ihex, logisim, text };
FileReading classify_file(std::string_view bytes, MemoryKind kind);
// Why: "read as Intel HEX, as its first line starts with ':'".
std::string reading_note(FileReading reading, std::string_view bytes);

// "" when `bytes`, a raw image of `kind`, reads back as raw by the rule above; else a
// warning that says how it would be read, by which rule, and how to read it as raw.
std::string raw_misread_warning(std::string_view bytes, MemoryKind kind);

// "a raw image", "Intel HEX", "a Logisim image", "text".
const char* reading_name(FileReading reading);
// The reading a format given with --from asks for.
FileReading reading_of(ImageFormat format);
