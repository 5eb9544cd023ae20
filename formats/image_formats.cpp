#include "formats/image_formats.h"

#include <vector>

#include "formats/ihex_format.h"
#include "formats/logisim_format.h"
#include "formats/raw_format.h"
#include "machine/image_file.h"
#include "text/message.h"
#include "text/source_text.h"

namespace {

// The line of the first thing in a text, for the message that refuses it.
int first_text_line(std::string_view bytes) {
    int line = 0;
    for (const std::string_view l : split_lines(bytes)) {
        ++line;
        if (!trim_spaces(l).empty()) return line;
    }
    return line == 0 ? 0 : 1;
}

}  // namespace

std::string encode_image(ImageFormat format, MemoryKind kind,
                         const std::array<std::uint32_t, 256>& values) {
    switch (format) {
        case ImageFormat::ihex: return encode_ihex(kind, values);
        case ImageFormat::logisim: return encode_logisim(kind, values);
        default: return encode_raw(kind, values);
    }
}

bool decode_image(std::string_view bytes, MemoryKind kind, ImageContent& content, Diagnostic& fault,
                  std::optional<ImageFormat> forced) {
    content = ImageContent{};
    // A program saved as UTF-16 or UTF-32 text is no ROM image, whatever its bytes say.
    if (kind == MemoryKind::rom && !forced) {
        if (const char* wide = wide_text_encoding(bytes)) {
            fault = Diagnostic{0, 0, wide_text_message(wide)};
            return false;
        }
    }
    const FileReading reading = forced ? reading_of(*forced) : classify_file(bytes, kind);
    const std::string note = forced ? std::string("read as ") + reading_name(reading) +
                                          ", as --from " + format_name(*forced) + " says"
                                    : reading_note(reading, bytes);
    bool ok = true;
    switch (reading) {
        case FileReading::ihex: ok = decode_ihex(bytes, kind, content, fault); break;
        case FileReading::logisim: ok = decode_logisim(bytes, kind, content, fault); break;
        case FileReading::text:
            fault = Diagnostic{first_text_line(bytes), 0,
                               "not an image: text whose first line is no Intel HEX record "
                               "(':') or Logisim header ('v2.0 raw')"};
            fault.notes.push_back(
                "assemble a source with isa4 asm, or give --from raw (--ram-from raw for run's "
                "RAM) to read it as a raw image");
            return false;
        case FileReading::raw: {
            const MemoryKind other = kind == MemoryKind::rom ? MemoryKind::ram : MemoryKind::rom;
            if (!forced && bytes.size() == raw_size(other)) {
                fault = Diagnostic{0, 0,
                                   std::to_string(bytes.size()) + " bytes, the size of a raw " +
                                       memory_name(other) + " image: a raw " + memory_name(kind) +
                                       " image is " + std::to_string(raw_size(kind)) +
                                       " bytes (--from raw reads it all the same)"};
                ok = false;
                break;
            }
            decode_raw(bytes, kind, content);
            break;
        }
    }
    if (!ok) fault.notes.insert(fault.notes.begin(), note);
    // A raw image's cells may spell a text image's first line: say how to read it so.
    if (!ok && !forced && reading != FileReading::raw && bytes.size() == raw_size(kind))
        fault.notes.push_back(
            "it has a raw image's size: --from raw, or --ram-from raw for run's RAM, reads it "
            "as one");
    return ok;
}

namespace {

template <typename Memory>
std::array<std::uint32_t, 256> values_of(const Memory& memory) {
    std::array<std::uint32_t, 256> values{};
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = memory[k];
    return values;
}

}  // namespace

FileResult read_image_file(const std::string& path, MemoryKind kind, std::string& bytes,
                           std::optional<ImageFormat> forced, bool* cut) {
    bool whole = true;
    if (cut != nullptr) *cut = false;
    const FileResult read = read_file_start(path.c_str(), bytes, max_text_file_size, whole);
    if (!read || whole) return read;
    // A raw image is read only as far as the memory goes, however long the file; one
    // that reads as anything else is as large as the text cap allows, and no larger.
    const FileReading reading = forced ? reading_of(*forced) : classify_file(bytes, kind);
    if (reading != FileReading::raw) {
        bytes.clear();
        return FileResult{false, too_large_reason(max_text_file_size)};
    }
    bytes.resize(raw_size(kind));
    if (cut != nullptr) *cut = true;
    return read;
}

bool decode_file_image(const std::string& path, std::string_view bytes, MemoryKind kind,
                       ImageContent& content, Diagnostic& error,
                       std::optional<ImageFormat> forced) {
    if (decode_image(bytes, kind, content, error, forced)) return true;
    error.file = path;
    return false;
}

namespace {

template <typename Memory>
bool load_any(const std::string& path, MemoryKind kind, Memory& memory, Diagnostic& error,
              std::optional<ImageFormat> forced) {
    std::string bytes;
    bool cut = false;
    const FileResult read = read_image_file(path, kind, bytes, forced, &cut);
    if (!read) {
        error = Diagnostic{
            0, 0,
            std::string("cannot load the ") + memory_name(kind) + " image (" + read.reason + ")",
            false, path};
        return false;
    }
    ImageContent content;
    if (!decode_file_image(path, bytes, kind, content, error, cut ? ImageFormat::raw : forced))
        return false;
    take_image(content, memory);
    return true;
}

bool save_as(const std::string& path, ImageFormat format, MemoryKind kind,
             const std::array<std::uint32_t, 256>& values, Diagnostic& error) {
    const FileResult saved = save_file(path.c_str(), encode_image(format, kind, values));
    if (saved) return true;
    error = Diagnostic{
        0, 0,
        std::string("cannot write the ") + memory_name(kind) + " image (" + saved.reason + ")",
        false, path};
    return false;
}

}  // namespace

bool load_rom_any(const std::string& path, Isa4::Rom& rom, Diagnostic& error,
                  std::optional<ImageFormat> forced) {
    return load_any(path, MemoryKind::rom, rom, error, forced);
}

bool load_ram_any(const std::string& path, Isa4::Ram& ram, Diagnostic& error,
                  std::optional<ImageFormat> forced) {
    return load_any(path, MemoryKind::ram, ram, error, forced);
}

bool read_program_file(const std::string& path, ProgramFile& program, Diagnostic& error,
                       std::optional<ImageFormat> forced) {
    program = ProgramFile{};
    std::string bytes;
    bool cut = false;
    const FileResult read = read_image_file(path, MemoryKind::rom, bytes, forced, &cut);
    if (!read) {
        error = Diagnostic{0, 0, "cannot read the file (" + read.reason + ")", false, path};
        program.problem = ProgramFile::Problem::unreadable;
        return false;
    }
    if (!forced && !cut) {
        if (const char* wide = wide_text_encoding(bytes)) {
            error = Diagnostic{0, 0, wide_text_message(wide), false, path};
            program.problem = ProgramFile::Problem::wide_text;
            program.wide = wide;
            return false;
        }
        if (classify_file(bytes, MemoryKind::rom) == FileReading::text) {
            program.is_source = true;
            program.source = std::move(bytes);
            return true;
        }
    }
    if (decode_file_image(path, bytes, MemoryKind::rom, program.image, error,
                          cut ? ImageFormat::raw : forced))
        return true;
    program.problem = ProgramFile::Problem::faulty_image;
    return false;
}

bool save_rom_as(const std::string& path, ImageFormat format, const Isa4::Rom& rom,
                 Diagnostic& error) {
    return save_as(path, format, MemoryKind::rom, values_of(rom), error);
}

bool save_ram_as(const std::string& path, ImageFormat format, const Isa4::Ram& ram,
                 Diagnostic& error) {
    return save_as(path, format, MemoryKind::ram, values_of(ram), error);
}
