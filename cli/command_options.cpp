#include "cli/command_options.h"

#include <CLI/CLI.hpp>

#include "cli/cli_io.h"

namespace {

const std::vector<std::string> format_names = {"raw", "ihex", "logisim"};

}  // namespace

CLI::Option* add_format_option(CLI::App* cmd, const std::string& flags, std::string& format) {
    return cmd
        ->add_option(flags, format,
                     "image format to write: raw (the workbench's), ihex (Intel HEX) or "
                     "logisim (v2.0 raw); default raw")
        ->check(CLI::IsMember(format_names))
        ->type_name("FORMAT");
}

CLI::Option* add_from_option(CLI::App* cmd, std::string& format, const std::string& flag) {
    return cmd
        ->add_option(flag, format,
                     "read the image as raw, ihex or logisim, whatever its content shows "
                     "(default: told by its content)")
        ->check(CLI::IsMember(format_names))
        ->type_name("FORMAT");
}

std::optional<ImageFormat> forced_format(const std::string& name) {
    if (name.empty()) return std::nullopt;
    return format_from_name(name);
}

ImageFormat format_of(const std::string& name) {
    return format_from_name(name).value_or(ImageFormat::raw);
}

namespace {

template <typename Memory>
std::string image_bytes_of(ImageFormat format, MemoryKind kind, const Memory& memory) {
    std::array<std::uint32_t, 256> values{};
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = memory[k];
    return encode_image(format, kind, values);
}

}  // namespace

std::string image_bytes(ImageFormat format, const Isa4::Rom& rom) {
    return image_bytes_of(format, MemoryKind::rom, rom);
}

std::string image_bytes(ImageFormat format, const Isa4::Ram& ram) {
    return image_bytes_of(format, MemoryKind::ram, ram);
}

int status_of(bool ok, const Diagnostic& error) {
    if (!ok) print_diagnostic(error);
    return ok ? exit_ok : exit_failed;
}

bool load_symbols(const std::string& path, SymbolTable& symbols) {
    if (path.empty()) return true;
    const auto text = read_text_input(path);
    if (!text) return false;
    std::vector<Diagnostic> diagnostics;
    symbols = parse_symbol_file(*text, diagnostics);
    return report(path, diagnostics);
}

void warn_raw_misread(const std::string& path, std::string_view bytes, ImageFormat format,
                      MemoryKind kind) {
    if (format != ImageFormat::raw) return;
    const std::string warning = raw_misread_warning(bytes, kind);
    if (!warning.empty()) print_diagnostic(Diagnostic{0, 0, warning, true, path});
}
