// Logisim's "v2.0 raw" memory files: the header line, then one hex value per address (a
// ROM word or a RAM cell), runs of four or more equal values as "N*value" (N decimal),
// '#' comments.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/image_content.h"
#include "text/message.h"

inline constexpr std::string_view logisim_header = "v2.0 raw";

std::string encode_logisim(MemoryKind kind, const std::array<std::uint32_t, 256>& values);

// The lines after the header; false, with `fault` at the line, for a value that is not
// hex or too wide, a bad repeat count, or more than 256 values.
bool decode_logisim(std::string_view text, MemoryKind kind, ImageContent& content,
                    Diagnostic& fault);
