// The three image formats over random memories: every format written and read back as
// every other, files that end early, and Intel HEX laid out as other tools write it.
#include "formats/image_formats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using Values = std::array<std::uint32_t, 256>;

constexpr ImageFormat formats[] = {ImageFormat::raw, ImageFormat::ihex, ImageFormat::logisim};

std::uint32_t widest(MemoryKind kind) {
    return kind == MemoryKind::rom ? 0xFFFFFF : 0xFF;
}

// Random values, with the edges (0, the 20-bit top, bit 20, the widest) and runs of equal
// values more often than chance gives them, so that run encoding and wide words come up.
Values random_values(MemoryKind kind, std::mt19937& rng) {
    const std::uint32_t top = widest(kind);
    const std::vector<std::uint32_t> edges = {0, top, kind == MemoryKind::rom ? 0xFFFFFu : 0x7Fu,
                                              kind == MemoryKind::rom ? 0x100000u : 0x80u};
    std::uniform_int_distribution<std::uint32_t> any(0, top);
    std::uniform_int_distribution<int> choice(0, 9), run(1, 40);
    Values values{};
    for (std::size_t k = 0; k < values.size();) {
        const int pick = choice(rng);
        const std::uint32_t v =
            pick < 2 ? edges[static_cast<std::size_t>(pick) + 2 * (k & 1)] : any(rng);
        const std::size_t n = pick < 4 ? static_cast<std::size_t>(run(rng)) : 1;
        for (std::size_t i = 0; i < n && k < values.size(); ++i) values[k++] = v;
    }
    return values;
}

std::string format_label(ImageFormat f, MemoryKind kind) {
    return std::string(format_name(f)) + (kind == MemoryKind::rom ? " ROM" : " RAM");
}

// The values a decoded file gives, zero where it gives none, as a fresh memory takes them.
Values loaded(const ImageContent& content) {
    Values v{};
    for (std::size_t k = 0; k < v.size(); ++k)
        if (content.held[k]) v[k] = content.values[k];
    return v;
}

// The number of leading addresses a file holds; fails the test unless it holds exactly
// those, with the values of `original`.
std::size_t held_prefix(const ImageContent& content, const Values& original) {
    std::size_t n = 0;
    while (n < 256 && content.held[n]) ++n;
    for (std::size_t k = 0; k < 256; ++k) {
        EXPECT_EQ(content.held[k], k < n) << "address " << k;
        if (content.held[k]) {
            EXPECT_EQ(content.values[k], original[k]) << "address " << k;
        }
    }
    return n;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start + 1));
        start = end + 1;
    }
    return lines;
}

TEST(ImageFormats, EveryFormatReadsBackAsEveryOther) {
    std::mt19937 rng(20261210);
    for (MemoryKind kind : {MemoryKind::rom, MemoryKind::ram})
        for (int trial = 0; trial < 100; ++trial) {
            const Values values = random_values(kind, rng);
            for (ImageFormat from : formats)
                for (ImageFormat to : formats) {
                    SCOPED_TRACE(format_label(from, kind) + " to " + format_name(to) + ", trial " +
                                 std::to_string(trial));
                    const std::string first = encode_image(from, kind, values);
                    ASSERT_EQ(detect_format(first), from);
                    ImageContent content;
                    Diagnostic fault;
                    ASSERT_TRUE(decode_image(first, kind, content, fault)) << fault.message;
                    ASSERT_EQ(content.held.count(), 256u);
                    const std::string second = encode_image(to, kind, loaded(content));
                    ASSERT_TRUE(decode_image(second, kind, content, fault)) << fault.message;
                    ASSERT_EQ(content.held.count(), 256u);
                    ASSERT_EQ(loaded(content), values);
                }
        }
}

// A file cut short at any point holds the whole values before the cut, no others; taken
// into a fresh memory and written in another format, those values travel and the rest
// are zero.
TEST(ImageFormats, FilesThatEndEarlyHoldTheValuesBeforeTheirEnd) {
    std::mt19937 rng(7);
    for (MemoryKind kind : {MemoryKind::rom, MemoryKind::ram})
        for (int trial = 0; trial < 10; ++trial) {
            const Values values = random_values(kind, rng);
            const std::size_t width = kind == MemoryKind::rom ? 3 : 1;
            for (ImageFormat from : formats) {
                SCOPED_TRACE(format_label(from, kind) + ", trial " + std::to_string(trial));
                const std::string whole = encode_image(from, kind, values);
                // The cuts: every byte count of a raw image (read as raw: a cut may be no
                // raw image's size, or hold no NUL byte), every line count of a text one
                // (header and Intel HEX's end-of-file record kept). `expected` is the values
                // each cut holds, where the layout fixes it (not for Logisim's runs).
                std::vector<std::string> cut_files;
                std::vector<std::size_t> expected;
                if (from == ImageFormat::raw) {
                    for (std::size_t n = 0; n <= whole.size(); ++n) {
                        cut_files.push_back(whole.substr(0, n));
                        expected.push_back(n / width);
                    }
                } else {
                    const std::vector<std::string> lines = lines_of(whole);
                    const std::size_t header = from == ImageFormat::logisim ? 2 : 0;
                    const std::size_t data_lines =
                        lines.size() - header - (from == ImageFormat::ihex ? 1 : 0);
                    std::string text;
                    for (std::size_t i = 0; i < header; ++i) text += lines[i];
                    for (std::size_t m = 0; m <= data_lines; ++m) {
                        if (m > 0) text += lines[header + m - 1];
                        cut_files.push_back(from == ImageFormat::ihex ? text + lines.back() : text);
                        if (from == ImageFormat::ihex)
                            expected.push_back(std::min<std::size_t>(16 * m / width, 256));
                    }
                }
                std::size_t last = 0;
                for (std::size_t c = 0; c < cut_files.size(); ++c) {
                    SCOPED_TRACE("cut " + std::to_string(c));
                    ImageContent content;
                    Diagnostic fault;
                    const auto forced =
                        from == ImageFormat::raw ? std::optional(from) : std::nullopt;
                    ASSERT_TRUE(decode_image(cut_files[c], kind, content, fault, forced))
                        << fault.message;
                    const std::size_t held = held_prefix(content, values);
                    if (expected.empty()) {
                        // Every line of values adds at least one; the last line ends the memory.
                        if (c > 0) {
                            EXPECT_GT(held, last);
                        }
                        if (c + 1 == cut_files.size()) {
                            EXPECT_EQ(held, 256u);
                        }
                    } else {
                        EXPECT_EQ(held, expected[c]);
                    }
                    last = held;
                    Values travelled = values;
                    std::fill(travelled.begin() + static_cast<std::ptrdiff_t>(held),
                              travelled.end(), 0u);
                    for (ImageFormat to : formats) {
                        ImageContent again;
                        ASSERT_TRUE(decode_image(encode_image(to, kind, loaded(content)), kind,
                                                 again, fault));
                        EXPECT_EQ(loaded(again), travelled) << "to " << format_name(to);
                    }
                }
            }
        }
}

// Intel HEX as other tools lay it out: records of any length up to 32 bytes, in any order,
// with extended address records of zero, start address records and lower-case digits.
TEST(ImageFormats, IntelHexInAnyRecordLayoutReadsTheSame) {
    std::mt19937 rng(99);
    const auto record = [](unsigned type, unsigned address, const std::string& data, bool lower) {
        unsigned sum =
            static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
        char buf[16];
        std::snprintf(buf, sizeof buf, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address,
                      type);
        std::string line = buf;
        for (unsigned char b : data) {
            std::snprintf(buf, sizeof buf, "%02X", b);
            line += buf;
            sum += b;
        }
        std::snprintf(buf, sizeof buf, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
        line += buf;
        if (lower) std::transform(line.begin(), line.end(), line.begin(), ::tolower);
        return line + (lower ? "\r\n" : "\n");
    };
    for (MemoryKind kind : {MemoryKind::rom, MemoryKind::ram})
        for (int trial = 0; trial < 50; ++trial) {
            SCOPED_TRACE(std::string(kind == MemoryKind::rom ? "ROM" : "RAM") + ", trial " +
                         std::to_string(trial));
            const Values values = random_values(kind, rng);
            const std::string raw = encode_image(ImageFormat::raw, kind, values);
            const bool lower = trial % 2 == 1;
            std::vector<std::string> records;
            std::uniform_int_distribution<std::size_t> length(1, 32);
            for (std::size_t at = 0; at < raw.size();) {
                const std::size_t n = std::min(length(rng), raw.size() - at);
                records.push_back(
                    record(0x00, static_cast<unsigned>(at), raw.substr(at, n), lower));
                at += n;
            }
            std::shuffle(records.begin(), records.end(), rng);
            std::string text = record(0x04, 0, std::string(2, '\0'), lower);
            for (const std::string& r : records) text += r;
            text += record(0x05, 0, std::string(4, '\0'), lower) + record(0x01, 0, "", lower);
            ImageContent content;
            Diagnostic fault;
            ASSERT_TRUE(decode_image(text, kind, content, fault))
                << "line " << fault.line << ": " << fault.message;
            EXPECT_EQ(content.held.count(), 256u);
            EXPECT_EQ(loaded(content), values);
        }
}

}  // namespace
