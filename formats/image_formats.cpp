#include "formats/image_formats.h"

#include <algorithm>
#include <cstdio>
#include <type_traits>
#include <vector>

#include "machine/image_file.h"
#include "machine/instruction.h"
#include "text/message.h"
#include "text/source_text.h"

namespace {

constexpr std::string_view logisim_header = "v2.0 raw";
constexpr std::size_t ihex_record_bytes = 16;
constexpr int logisim_values_per_line = 8;
// Runs at least this long are written as "N*value", as Logisim itself writes them.
constexpr int logisim_min_run = 4;

std::size_t raw_size(MemoryKind kind) {
    return kind == MemoryKind::rom ? rom_image_size : ram_image_size;
}

std::uint32_t max_value(MemoryKind kind) {
    return kind == MemoryKind::rom ? 0xFFFFFF : 0xFF;
}

const char* memory_name(MemoryKind kind) {
    return kind == MemoryKind::rom ? "ROM" : "RAM";
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
    return s;
}

// A byte of the file in a message, quoted and escaped as every outside byte is: 'G', '\x1b'.
std::string shown(char c) {
    return in_quotes(std::string_view(&c, 1));
}

// --- raw ---

// Through the machine's codec, the one place that knows the raw layout.
std::string encode_raw(MemoryKind kind, const std::array<std::uint32_t, 256>& values) {
    if (kind == MemoryKind::ram) {
        Isa4::Ram ram{};
        for (std::size_t k = 0; k < values.size(); ++k)
            ram[k] = static_cast<std::uint8_t>(values[k]);
        return ram_image_bytes(ram);
    }
    Isa4::Rom rom{};
    for (std::size_t k = 0; k < values.size(); ++k) rom[k] = values[k];
    return rom_image_bytes(rom);
}

// The values whose bytes `held_bytes` marks in full.
void take_raw_bytes(const std::vector<unsigned char>& bytes, const std::vector<bool>& held_bytes,
                    MemoryKind kind, ImageContent& content) {
    const std::size_t width = kind == MemoryKind::rom ? rom_record_size : 1;
    for (std::size_t k = 0; k < 256; ++k) {
        bool whole = true;
        for (std::size_t b = 0; b < width; ++b) whole = whole && held_bytes[width * k + b];
        if (!whole) continue;
        const unsigned char* record = &bytes[width * k];
        content.values[k] = kind == MemoryKind::rom ? rom_record_word(record) : *record;
        content.held[k] = true;
    }
}

void decode_raw(std::string_view bytes, MemoryKind kind, ImageContent& content) {
    const std::size_t size = std::min(bytes.size(), raw_size(kind));
    std::vector<unsigned char> image(raw_size(kind));
    std::vector<bool> held(raw_size(kind));
    for (std::size_t i = 0; i < size; ++i) {
        image[i] = static_cast<unsigned char>(bytes[i]);
        held[i] = true;
    }
    take_raw_bytes(image, held, kind, content);
}

// --- Intel HEX ---

std::string encode_ihex(MemoryKind kind, const std::array<std::uint32_t, 256>& values) {
    const std::string image = encode_raw(kind, values);
    std::string out;
    for (std::size_t at = 0; at < image.size(); at += ihex_record_bytes) {
        const std::size_t n = std::min(ihex_record_bytes, image.size() - at);
        unsigned sum = static_cast<unsigned>(n + (at >> 8) + (at & 0xFF));
        out += printf_text(":%02lX", n) + printf_text("%04lX", at) + "00";
        for (std::size_t i = 0; i < n; ++i) {
            const auto b = static_cast<unsigned char>(image[at + i]);
            sum += b;
            out += printf_text("%02X", b);
        }
        out += printf_text("%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    }
    return out + ":00000001FF\n";
}

class IhexReader {
public:
    IhexReader(MemoryKind kind, ImageContent& content, Diagnostic& fault)
        : kind_(kind),
          content_(content),
          fault_(fault),
          image_(raw_size(kind)),
          held_(raw_size(kind)),
          given_on_(raw_size(kind)) {}

    bool read(std::string_view text) {
        int line = 0;
        int last = 0;  // the last line that holds a record
        bool ended = false;
        for (const std::string_view text_line : split_lines(text)) {
            const std::string_view record = trim(text_line);
            ++line;
            if (record.empty()) continue;
            column_ = static_cast<int>(record.data() - text_line.data()) + 1;
            if (ended) return fail(line, column_, "text after the end-of-file record");
            if (!read_record(record, line, ended)) return false;
            last = line;
        }
        // A file cut short would otherwise pass for a smaller image.
        if (!ended)
            return fail(last, 0,
                        "the file ends without the end-of-file record :00000001FF (is it cut "
                        "short?)");
        take_raw_bytes(image_, held_, kind_, content_);
        return true;
    }

private:
    MemoryKind kind_;
    ImageContent& content_;
    Diagnostic& fault_;
    std::vector<unsigned char> image_;
    std::vector<bool> held_;
    std::vector<int> given_on_;  // the line that gave each byte, 0 for none
    unsigned long base_ = 0;     // from the extended address records
    int column_ = 1;             // of the record's ':' in its line

    bool fail(int line, int column, std::string message) {
        fault_ = Diagnostic{line, column, std::move(message)};
        return false;
    }
    // At the record's character `at` (its ':' is 0).
    bool fail_at(int line, std::size_t at, std::string message) {
        return fail(line, column_ + static_cast<int>(at), std::move(message));
    }

    bool read_record(std::string_view record, int line, bool& ended) {
        if (record[0] != ':')
            return fail_at(line, 0,
                           "expected a record starting with ':', found " + shown(record[0]));
        // The longest record, 255 data bytes, is 521 characters: the rest is not read.
        constexpr std::size_t longest = 1 + 2 * (255 + 5);
        if (record.size() > longest)
            return fail_at(line, longest,
                           "record longer than any Intel HEX record (" + std::to_string(longest) +
                               " characters)");
        std::vector<unsigned> bytes;
        for (std::size_t i = 1; i < record.size(); i += 2) {
            const int hi = hex_digit(record[i]);
            if (hi < 0) return fail_at(line, i, shown(record[i]) + " is not a hex digit");
            if (i + 1 == record.size())
                return fail_at(line, i, "odd number of hex digits (a record is whole bytes)");
            const int lo = hex_digit(record[i + 1]);
            if (lo < 0) return fail_at(line, i + 1, shown(record[i + 1]) + " is not a hex digit");
            bytes.push_back(static_cast<unsigned>(hi << 4 | lo));
        }
        if (bytes.size() < 5)
            return fail_at(line, 0,
                           "record too short (at least a count, address, type and checksum)");
        const unsigned count = bytes[0];
        if (bytes.size() != count + 5)
            return fail_at(line, 1,
                           "the record's count says " + std::to_string(count) +
                               " data bytes, it holds " + std::to_string(bytes.size() - 5));
        unsigned sum = 0;
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
        const unsigned expected = (0x100 - (sum & 0xFF)) & 0xFF;
        if (bytes.back() != expected)
            return fail_at(line, record.size() - 2,
                           "bad checksum " + printf_text("%02X", bytes.back()) +
                               " (the record's bytes "
                               "give " +
                               printf_text("%02X", expected) + ")");

        const unsigned long address = bytes[1] << 8 | bytes[2];
        const unsigned type = bytes[3];
        const unsigned* data = bytes.data() + 4;
        switch (type) {
            case 0x00:  // data
                for (unsigned i = 0; i < count; ++i) {
                    const unsigned long at = base_ + address + i;
                    const std::size_t digit = 9 + 2 * i;
                    if (at >= image_.size())
                        return fail_at(line, digit,
                                       "address " + printf_text("0x%04lX", at) + " is beyond the " +
                                           std::to_string(image_.size()) + "-byte " +
                                           memory_name(kind_) + " image");
                    // Said twice, one of the two is wrong: neither is taken.
                    if (given_on_[at] != 0)
                        return fail_at(line, digit,
                                       "address " + printf_text("0x%04lX", at) +
                                           " is already given on line " +
                                           std::to_string(given_on_[at]));
                    image_[at] = static_cast<unsigned char>(data[i]);
                    held_[at] = true;
                    given_on_[at] = line;
                }
                return true;
            case 0x01:  // end of file
                if (count != 0) return fail_at(line, 1, "an end-of-file record holds no data");
                ended = true;
                return true;
            case 0x02:  // extended segment address: base = value * 16
            case 0x04:  // extended linear address: base = value << 16
                if (count != 2) return fail_at(line, 1, "an extended address record holds 2 bytes");
                base_ = static_cast<unsigned long>(data[0] << 8 | data[1]) << (type == 2 ? 4 : 16);
                return true;
            case 0x03:  // start segment address, of no meaning for a memory image
            case 0x05:  // start linear address, likewise
                if (count != 4) return fail_at(line, 1, "a start address record holds 4 bytes");
                return true;
            default:
                return fail_at(
                    line, 7,
                    "unknown record type " + printf_text("%02X", type) + " (expected 00 to 05)");
        }
    }
};

// --- Logisim v2.0 raw ---

std::string encode_logisim(MemoryKind kind, const std::array<std::uint32_t, 256>& values) {
    std::string out(logisim_header);
    out += "\n";
    if (kind == MemoryKind::rom) {
        bool wide = false;
        for (std::uint32_t v : values) wide = wide || v > max_word;
        out += wide ? "# isa4 ROM: 256 words, one per address. Some words use bits 23..20: load "
                      "into a ROM of 8 address bits and 24 data bits.\n"
                    : "# isa4 ROM: 256 words, one per address. Load into a ROM of 8 address bits "
                      "and 20 data bits.\n";
    } else {
        out +=
            "# isa4 RAM: 256 cells, one per address. Load into a RAM or ROM of 8 address "
            "bits and 8 data bits.\n";
    }
    int on_line = 0;
    for (std::size_t k = 0; k < values.size();) {
        std::size_t end = k + 1;
        while (end < values.size() && values[end] == values[k]) ++end;
        const std::size_t run = end - k;
        if (run >= logisim_min_run) {
            out += std::to_string(run) + "*" + printf_text("%x", values[k]);
            k = end;
        } else {
            out += printf_text("%x", values[k]);
            ++k;
        }
        ++on_line;
        const bool last = k == values.size();
        out += on_line == logisim_values_per_line || last ? "\n" : " ";
        if (on_line == logisim_values_per_line) on_line = 0;
    }
    return out;
}

// A hex value of a Logisim file, at most `max`; nothing when it is not one or too wide.
bool logisim_value(std::string_view digits, std::uint32_t max, std::uint32_t& value,
                   std::string& problem) {
    if (digits.empty()) {
        problem = "expected a hex value after '*'";
        return false;
    }
    std::uint64_t v = 0;
    for (char c : digits) {
        const int d = hex_digit(c);
        if (d < 0) {
            problem = shown(c) + " is not a hex digit";
            return false;
        }
        v = v * 16 + static_cast<unsigned>(d);
        if (v > max) {
            problem = "value " + escape_for_message(digits.substr(0, 16)) +
                      (digits.size() > 16 ? "..." : "") + " is too wide (at most " +
                      printf_text("%x", max) + ")";
            return false;
        }
    }
    value = static_cast<std::uint32_t>(v);
    return true;
}

bool decode_logisim(std::string_view text, MemoryKind kind, ImageContent& content,
                    Diagnostic& fault) {
    std::size_t address = 0;
    int line = 0;
    for (std::string_view rest : split_lines(text)) {
        if (++line == 1) continue;  // the header, which detection has seen
        rest = rest.substr(0, rest.find('#'));
        while (!(rest = trim(rest)).empty()) {
            std::size_t token_end = 0;
            while (token_end < rest.size() && !is_space(rest[token_end])) ++token_end;
            const std::string_view token = rest.substr(0, token_end);
            rest.remove_prefix(token_end);

            std::uint64_t count = 1;
            std::string_view digits = token;
            if (const auto star = token.find('*'); star != std::string_view::npos) {
                count = 0;
                for (char c : token.substr(0, star)) {
                    if (c < '0' || c > '9' || count > 256) {
                        fault = Diagnostic{line, 0,
                                           in_quotes(token.substr(0, star)) +
                                               " is not a repeat count (decimal, 1 to 256)"};
                        return false;
                    }
                    count = count * 10 + static_cast<unsigned>(c - '0');
                }
                if (count == 0 || count > 256) {
                    fault = Diagnostic{line, 0, "a repeat count is 1 to 256"};
                    return false;
                }
                digits = token.substr(star + 1);
            }
            std::uint32_t value = 0;
            std::string problem;
            if (!logisim_value(digits, max_value(kind), value, problem)) {
                fault = Diagnostic{line, 0, problem};
                return false;
            }
            if (address + count > 256) {
                fault = Diagnostic{line, 0,
                                   "more than 256 values: address " + printf_text("0x%02X", 256) +
                                       " is beyond the " + memory_name(kind)};
                return false;
            }
            for (std::uint64_t i = 0; i < count; ++i) {
                content.values[address] = value;
                content.held[address] = true;
                ++address;
            }
        }
    }
    return true;
}

}  // namespace

std::optional<ImageFormat> format_from_name(std::string_view name) {
    for (ImageFormat f : {ImageFormat::raw, ImageFormat::ihex, ImageFormat::logisim})
        if (name == format_name(f)) return f;
    return std::nullopt;
}

const char* format_name(ImageFormat format) {
    switch (format) {
        case ImageFormat::ihex: return "ihex";
        case ImageFormat::logisim: return "logisim";
        default: return "raw";
    }
}

ImageFormat detect_format(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    const std::size_t end = bytes.find_first_of("\r\n");
    if (trim(bytes.substr(0, end)) == logisim_header) return ImageFormat::logisim;
    // The first line that is not blank: Intel HEX allows nothing before its records.
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && bytes[first] == ':') return ImageFormat::ihex;
    return ImageFormat::raw;
}

namespace {

bool is_utf8_text(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = utf8_length(bytes, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

bool has_nul(std::string_view bytes) {
    return bytes.find('\0') != std::string_view::npos;
}

// The line of the first thing in a text, for the message that refuses it.
int first_text_line(std::string_view bytes) {
    int line = 0;
    for (const std::string_view l : split_lines(bytes)) {
        ++line;
        if (!trim(l).empty()) return line;
    }
    return line == 0 ? 0 : 1;
}

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

}  // namespace

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
        case FileReading::ihex: ok = IhexReader(kind, content, fault).read(bytes); break;
        case FileReading::logisim: ok = decode_logisim(bytes, kind, content, fault); break;
        case FileReading::text:
            fault = Diagnostic{first_text_line(bytes), 0,
                               "not an image: text (no NUL byte) whose first line is no Intel "
                               "HEX record (':') or Logisim header ('v2.0 raw'); assemble a "
                               "source with isa4 asm, or give --from raw (--ram-from raw for "
                               "run's RAM) to read it as a raw image"};
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
    if (!ok) fault.message += "; " + note;
    // A raw image's cells may spell a text image's first line: say how to read it so.
    if (!ok && !forced && reading != FileReading::raw && bytes.size() == raw_size(kind))
        fault.message +=
            " (it has a raw image's size: --from raw, or --ram-from raw for run's RAM, "
            "reads it as one)";
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

void take_image(const ImageContent& content, Isa4::Rom& rom) {
    for (std::size_t k = 0; k < 256; ++k)
        if (content.held[k]) rom[k] = content.values[k];
}

void take_image(const ImageContent& content, Isa4::Ram& ram) {
    for (std::size_t k = 0; k < 256; ++k)
        if (content.held[k]) ram[k] = static_cast<std::uint8_t>(content.values[k]);
}

bool decode_file_image(const std::string& path, std::string_view bytes, MemoryKind kind,
                       ImageContent& content, Diagnostic& error,
                       std::optional<ImageFormat> forced) {
    if (decode_image(bytes, kind, content, error, forced)) return true;
    error.file = path;
    error.message += std::string("; the ") + memory_name(kind) + " is unchanged";
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
