#include "formats/image_content.h"

#include "machine/image_file.h"
#include "text/message.h"

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

std::size_t raw_size(MemoryKind kind) {
    return kind == MemoryKind::rom ? rom_image_size : ram_image_size;
}

std::uint32_t max_value(MemoryKind kind) {
    return kind == MemoryKind::rom ? 0xFFFFFF : 0xFF;
}

const char* memory_name(MemoryKind kind) {
    return kind == MemoryKind::rom ? "ROM" : "RAM";
}

std::string shown_byte(char c) {
    return in_quotes(std::string_view(&c, 1));
}

void take_image(const ImageContent& content, Isa4::Rom& rom) {
    for (std::size_t k = 0; k < 256; ++k)
        if (content.held[k]) rom[k] = content.values[k];
}

void take_image(const ImageContent& content, Isa4::Ram& ram) {
    for (std::size_t k = 0; k < 256; ++k)
        if (content.held[k]) ram[k] = static_cast<std::uint8_t>(content.values[k]);
}
