// Raw images, the workbench's own files: the ROM as 256 records of 3 bytes (24-bit
// big-endian words), the RAM as 256 bytes (the layout is machine/image_file.h's).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/image_content.h"

std::string encode_raw(MemoryKind kind, const std::array<std::uint32_t, 256>& values);

// A raw image's bytes as far as the memory goes; a shorter file gives the values it
// holds whole.
void decode_raw(std::string_view bytes, MemoryKind kind, ImageContent& content);

// The values of a raw image `bytes` whose bytes `held_bytes` marks in full (what an
// Intel HEX file fills in).
void take_raw_bytes(const std::vector<unsigned char>& bytes, const std::vector<bool>& held_bytes,
                    MemoryKind kind, ImageContent& content);
