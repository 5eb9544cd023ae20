// What every image format shares: the two memories, the three formats' names, and the
// values an image file holds.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "machine/isa4.h"

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

// Writes the values the content holds into the memory; the others stay.
void take_image(const ImageContent& content, Isa4::Rom& rom);
void take_image(const ImageContent& content, Isa4::Ram& ram);

// The size of a memory's raw image (768 bytes for the ROM, 256 for the RAM), its widest
// value, and its name in messages ("ROM", "RAM").
std::size_t raw_size(MemoryKind kind);
std::uint32_t max_value(MemoryKind kind);
const char* memory_name(MemoryKind kind);

// A byte of a file in a message, quoted and escaped as every outside byte is: 'G', '\x1b'.
std::string shown_byte(char c);
