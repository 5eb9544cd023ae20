#include "formats/file_reading.h"

#include "formats/logisim_format.h"
#include "text/message.h"
#include "text/source_text.h"

ImageFormat detect_format(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    const std::size_t end = bytes.find_first_of("\r\n");
    if (trim_spaces(bytes.substr(0, end)) == logisim_header) return ImageFormat::logisim;
    // The first line that is not blank: Intel HEX allows nothing before its records.
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && bytes[first] == ':') return ImageFormat::ihex;
    return ImageFormat::raw;
}

namespace {

bool has_nul(std::string_view bytes) {
    return bytes.find('\0') != std::string_view::npos;
}

}  // namespace

const char* reading_name(FileReading reading) {
    switch (reading) {
        case FileReading::raw: return "a raw image";
        case FileReading::ihex: return "Intel HEX";
        case FileReading::logisim: return "a Logisim image";
        default: return "text";
    }
}

FileReading reading_of(ImageFormat format) {
    switch (format) {
        case ImageFormat::ihex: return FileReading::ihex;
        case ImageFormat::logisim: return FileReading::logisim;
        default: return FileReading::raw;
    }
}

FileReading classify_file(std::string_view bytes, MemoryKind kind) {
    if (has_nul(bytes)) return FileReading::raw;
    // Text has lines: a raw image's bytes may all be printable, but then seldom break
    // into lines as well. This comes before the first line is looked at, as a raw image's
    // cells may start with ':' or spell "v2.0 raw".
    if (bytes.size() == raw_size(kind) &&
        (!is_utf8_text(bytes) || bytes.find_first_of("\r\n") == std::string_view::npos))
        return FileReading::raw;
    switch (detect_format(bytes)) {
        case ImageFormat::ihex: return FileReading::ihex;
        case ImageFormat::logisim: return FileReading::logisim;
        default: return FileReading::text;
    }
}

std::string reading_note(FileReading reading, std::string_view bytes) {
    std::string why;
    switch (reading) {
        case FileReading::raw:
            why = has_nul(bytes)        ? "it holds a NUL byte"
                  : is_utf8_text(bytes) ? "it has a raw image's size and no line end"
                                        : "it has a raw image's size and is no UTF-8 text";
            break;
        case FileReading::ihex: why = "its first line starts with ':'"; break;
        case FileReading::logisim: why = "its first line is 'v2.0 raw'"; break;
        default: why = "it holds no NUL byte"; break;
    }
    return std::string("read as ") + reading_name(reading) + ", as " + why;
}

std::string raw_misread_warning(std::string_view bytes, MemoryKind kind) {
    const FileReading reading = classify_file(bytes, kind);
    if (reading == FileReading::raw) return "";
    const bool rom = kind == MemoryKind::rom;
    return std::string("this raw ") + (rom ? "ROM" : "RAM") + " image would be " +
           reading_note(reading, bytes) +
           " (a file of a raw image's size that is UTF-8 text with a line end is told apart "
           "by its first line); read it back with " +
           (rom ? "--from raw" : "--ram-from raw (run, trace) or --from raw (convert --ram)");
}
