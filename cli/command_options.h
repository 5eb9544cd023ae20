// What the image subcommands share: the --format option and the symbol files they read.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "formats/image_formats.h"
#include "text/message.h"
#include "toolchain/symbols.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

// "--format raw|ihex|logisim" (or another flag) into `format`.
CLI::Option* add_format_option(CLI::App* cmd, const std::string& flags, std::string& format);

// The format a checked --format value names.
ImageFormat format_of(const std::string& name);

// "--from raw|ihex|logisim": read the input in this format, whatever its content shows.
CLI::Option* add_from_option(CLI::App* cmd, std::string& format,
                             const std::string& flag = "--from");
// The format a checked --from value names; nothing when none was given.
std::optional<ImageFormat> forced_format(const std::string& name);

// The file bytes of an image of `rom` or `ram` in `format`.
std::string image_bytes(ImageFormat format, const Isa4::Rom& rom);
std::string image_bytes(ImageFormat format, const Isa4::Ram& ram);

// Warns on standard error ("PATH: warning: ...") when the raw image `bytes` about to be
// written to `path` would be read back as another format (`raw_misread_warning`).
void warn_raw_misread(const std::string& path, std::string_view bytes, ImageFormat format,
                      MemoryKind kind);

// Prints `error` when `ok` is false; the exit status for it.
int status_of(bool ok, const Diagnostic& error);

// Reads the symbol file `path` into `symbols` (nothing when `path` is empty); false, with
// its messages printed, when it has faults.
bool load_symbols(const std::string& path, SymbolTable& symbols);
