// Intel HEX images: the bytes of the raw image from address 0 in data records of 16
// bytes, then the end-of-file record ":00000001FF".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/image_content.h"
#include "text/message.h"

std::string encode_ihex(MemoryKind kind, const std::array<std::uint32_t, 256>& values);

// False, with `fault` at the line and column of the first fault, when a record is bad,
// an address is beyond the image or given twice, or the end-of-file record is missing.
bool decode_ihex(std::string_view text, MemoryKind kind, ImageContent& content, Diagnostic& fault);
