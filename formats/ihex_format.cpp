#include "formats/ihex_format.h"

#include <algorithm>
#include <vector>

#include "formats/raw_format.h"
#include "text/source_text.h"

namespace {

constexpr std::size_t ihex_record_bytes = 16;

}  // namespace

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

namespace {

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
            const std::string_view record = trim_spaces(text_line);
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
                           "expected a record starting with ':', found " + shown_byte(record[0]));
        // The longest record, 255 data bytes, is 521 characters: the rest is not read.
        constexpr std::size_t longest = 1 + 2 * (255 + 5);
        if (record.size() > longest)
            return fail_at(line, longest,
                           "record longer than any Intel HEX record (" + std::to_string(longest) +
                               " characters)");
        std::vector<unsigned> bytes;
        for (std::size_t i = 1; i < record.size(); i += 2) {
            const int hi = hex_digit(record[i]);
            if (hi < 0) return fail_at(line, i, shown_byte(record[i]) + " is not a hex digit");
            if (i + 1 == record.size())
                return fail_at(line, i, "odd number of hex digits (a record is whole bytes)");
            const int lo = hex_digit(record[i + 1]);
            if (lo < 0)
                return fail_at(line, i + 1, shown_byte(record[i + 1]) + " is not a hex digit");
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

}  // namespace

bool decode_ihex(std::string_view text, MemoryKind kind, ImageContent& content, Diagnostic& fault) {
    return IhexReader(kind, content, fault).read(text);
}
