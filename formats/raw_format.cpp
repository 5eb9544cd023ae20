#include "formats/raw_format.h"

#include <algorithm>

#include "machine/image_file.h"

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
