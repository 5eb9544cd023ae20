// libFuzzer target for the image readers: every input is read as a ROM and as a RAM
// image, by its content and in each format given, and must neither crash nor trip a
// sanitizer. What reads must keep these promises (a broken one traps):
//
//   - every value fits its memory (24 bits a ROM word, 8 bits a cell);
//   - the image written in every format reads back, by its content, to the same values
//     (a raw image of printable lines, which the rule reads as text or as a text image,
//     is then read with the raw format given).
//
// Built only with -DKELVANE_FUZZ=ON under clang; scripts/fuzz.sh builds and runs it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "formats/image_formats.h"
#include "text/source_text.h"

namespace {

void require(bool promise) {
    if (!promise) __builtin_trap();
}

void check_round_trips(const ImageContent& content, MemoryKind kind) {
    std::array<std::uint32_t, 256> values{};
    for (std::size_t k = 0; k < 256; ++k)
        if (content.held[k]) values[k] = content.values[k];
    for (const ImageFormat to : {ImageFormat::raw, ImageFormat::ihex, ImageFormat::logisim}) {
        const std::string written = encode_image(to, kind, values);
        std::optional<ImageFormat> forced;
        // Only a ROM word past 20 bits (a top byte of FE or FF) can make a raw ROM start
        // like UTF-16 or UTF-32 text, which the ROM readers refuse; --from raw reads it.
        if (to == ImageFormat::raw && (classify_file(written, kind) != FileReading::raw ||
                                       wide_text_encoding(written) != nullptr))
            forced = ImageFormat::raw;
        else
            require(detect_format(written) == to || to == ImageFormat::raw);
        ImageContent again;
        Diagnostic fault;
        require(decode_image(written, kind, again, fault, forced));
        require(again.held.all());
        require(again.values == values);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const MemoryKind kind : {MemoryKind::rom, MemoryKind::ram}) {
        const std::uint32_t max = kind == MemoryKind::rom ? 0xFFFFFF : 0xFF;
        for (const std::optional<ImageFormat> forced :
             {std::optional<ImageFormat>(), std::optional(ImageFormat::raw),
              std::optional(ImageFormat::ihex), std::optional(ImageFormat::logisim)}) {
            ImageContent content;
            Diagnostic fault;
            if (!decode_image(bytes, kind, content, fault, forced)) continue;
            for (std::size_t k = 0; k < 256; ++k)
                require(!content.held[k] || content.values[k] <= max);
            check_round_trips(content, kind);
        }
    }
    return 0;
}
