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

// The first line of `bytes` after a UTF-8 byte order mark, without its line end (CR, LF
// or both), or nothing when no line end comes within `limit` bytes.
std::optional<std::string_view> first_line(std::string_view bytes, std::size_t limit) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    const std::size_t end = bytes.substr(0, limit).find_first_of("\r\n");
    if (end == std::string_view::npos) {
        if (bytes.size() > limit) return std::nullopt;
        return bytes;
    }
    return bytes.substr(0, end);
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
          held_(raw_size(kind)) {}

    bool read(std::string_view text) {
        int line = 0;
        bool ended = false;
        for (const std::string_view text_line : split_lines(text)) {
            const std::string_view record = trim(text_line);
            ++line;
            if (record.empty()) continue;
            if (ended) return fail(line, "text after the end-of-file record");
            if (!read_record(record, line, ended)) return false;
        }
        take_raw_bytes(image_, held_, kind_, content_);
        return true;
    }

private:
    MemoryKind kind_;
    ImageContent& content_;
    Diagnostic& fault_;
    std::vector<unsigned char> image_;
    std::vector<bool> held_;
    unsigned long base_ = 0;  // from the extended address records

    bool fail(int line, std::string message) {
        fault_ = Diagnostic{line, 0, std::move(message)};
        return false;
    }

    bool read_record(std::string_view record, int line, bool& ended) {
        if (record[0] != ':')
            return fail(line, "expected a record starting with ':', found " + shown(record[0]));
        std::vector<unsigned> bytes;
        for (std::size_t i = 1; i < record.size(); i += 2) {
            const int hi = hex_digit(record[i]);
            if (hi < 0) return fail(line, shown(record[i]) + " is not a hex digit");
            if (i + 1 == record.size())
                return fail(line, "odd number of hex digits (a record is whole bytes)");
            const int lo = hex_digit(record[i + 1]);
            if (lo < 0) return fail(line, shown(record[i + 1]) + " is not a hex digit");
            bytes.push_back(static_cast<unsigned>(hi << 4 | lo));
        }
        if (bytes.size() < 5)
            return fail(line, "record too short (at least a count, address, type and checksum)");
        const unsigned count = bytes[0];
        if (bytes.size() != count + 5)
            return fail(line, "the record's count says " + std::to_string(count) +
                                  " data bytes, it holds " + std::to_string(bytes.size() - 5));
        unsigned sum = 0;
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
        const unsigned expected = (0x100 - (sum & 0xFF)) & 0xFF;
        if (bytes.back() != expected)
            return fail(line, "bad checksum " + printf_text("%02X", bytes.back()) +
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
                    if (at >= image_.size())
                        return fail(line, "address " + printf_text("0x%04lX", at) +
                                              " is beyond the " + std::to_string(image_.size()) +
                                              "-byte " + memory_name(kind_) + " image");
                    image_[at] = static_cast<unsigned char>(data[i]);
                    held_[at] = true;
                }
                return true;
            case 0x01:  // end of file
                if (count != 0) return fail(line, "an end-of-file record holds no data");
                ended = true;
                return true;
            case 0x02:  // extended segment address: base = value * 16
            case 0x04:  // extended linear address: base = value << 16
                if (count != 2) return fail(line, "an extended address record holds 2 bytes");
                base_ = static_cast<unsigned long>(data[0] << 8 | data[1]) << (type == 2 ? 4 : 16);
                return true;
            case 0x03:  // start segment address, of no meaning for a memory image
            case 0x05:  // start linear address, likewise
                if (count != 4) return fail(line, "a start address record holds 4 bytes");
                return true;
            default:
                return fail(line, "unknown record type " + printf_text("%02X", type) +
                                      " (expected 00 to 05)");
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
    // Longer than any record: 255 data bytes make a line of 521 characters.
    const auto line = first_line(bytes, 600);
    if (!line) return ImageFormat::raw;
    const std::string_view first = trim(*line);
    if (first == logisim_header) return ImageFormat::logisim;
    if (first.size() >= 11 && first[0] == ':') {
        bool all_hex = true;
        for (char c : first.substr(1)) all_hex = all_hex && hex_digit(c) >= 0;
        if (all_hex) return ImageFormat::ihex;
    }
    return ImageFormat::raw;
}

std::string encode_image(ImageFormat format, MemoryKind kind,
                         const std::array<std::uint32_t, 256>& values) {
    switch (format) {
        case ImageFormat::ihex: return encode_ihex(kind, values);
        case ImageFormat::logisim: return encode_logisim(kind, values);
        default: return encode_raw(kind, values);
    }
}

bool decode_image(std::string_view bytes, MemoryKind kind, ImageContent& content,
                  Diagnostic& fault) {
    content = ImageContent{};
    // A program saved as UTF-16 or UTF-32 text is no ROM image, whatever its bytes say.
    if (kind == MemoryKind::rom) {
        if (const char* wide = wide_text_encoding(bytes)) {
            fault = Diagnostic{0, 0, wide_text_message(wide)};
            return false;
        }
    }
    switch (detect_format(bytes)) {
        case ImageFormat::ihex: return IhexReader(kind, content, fault).read(bytes);
        case ImageFormat::logisim: return decode_logisim(bytes, kind, content, fault);
        default: decode_raw(bytes, kind, content); return true;
    }
}

namespace {

template <typename Memory>
std::array<std::uint32_t, 256> values_of(const Memory& memory) {
    std::array<std::uint32_t, 256> values{};
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = memory[k];
    return values;
}

}  // namespace

FileResult read_image_file(const std::string& path, MemoryKind kind, std::string& bytes) {
    bool whole = true;
    const FileResult read = read_file_start(path.c_str(), bytes, max_text_file_size, whole);
    if (!read || whole) return read;
    // A raw image is read only as far as the memory goes, however long the file; one
    // that starts like a text image is as large as the text cap allows, and no larger.
    if (detect_format(bytes) != ImageFormat::raw) {
        bytes.clear();
        return FileResult{false, too_large_reason(max_text_file_size)};
    }
    bytes.resize(raw_size(kind));
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
                       ImageContent& content, Diagnostic& error) {
    if (decode_image(bytes, kind, content, error)) return true;
    error.file = path;
    error.message += std::string("; the ") + memory_name(kind) + " is unchanged";
    return false;
}

namespace {

template <typename Memory>
bool load_any(const std::string& path, MemoryKind kind, Memory& memory, Diagnostic& error) {
    std::string bytes;
    const FileResult read = read_image_file(path, kind, bytes);
    if (!read) {
        error = Diagnostic{
            0, 0,
            std::string("cannot load the ") + memory_name(kind) + " image (" + read.reason + ")",
            false, path};
        return false;
    }
    ImageContent content;
    if (!decode_file_image(path, bytes, kind, content, error)) return false;
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

bool load_rom_any(const std::string& path, Isa4::Rom& rom, Diagnostic& error) {
    return load_any(path, MemoryKind::rom, rom, error);
}

bool load_ram_any(const std::string& path, Isa4::Ram& ram, Diagnostic& error) {
    return load_any(path, MemoryKind::ram, ram, error);
}

bool save_rom_as(const std::string& path, ImageFormat format, const Isa4::Rom& rom,
                 Diagnostic& error) {
    return save_as(path, format, MemoryKind::rom, values_of(rom), error);
}

bool save_ram_as(const std::string& path, ImageFormat format, const Isa4::Ram& ram,
                 Diagnostic& error) {
    return save_as(path, format, MemoryKind::ram, values_of(ram), error);
}
