#include "web/home_files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "machine/image_file.h"
#include "text/message.h"
#include "text/source_text.h"
#include "toolchain/assembler.h"

namespace {

bool is_plain_name(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::string refusal(std::string_view operation, std::string_view name, std::string reason) {
    return failure_message(operation, escape_for_message(name),
                           FileResult{false, std::move(reason)});
}

bool ends_with(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Assembles the source just saved as `name` into STEM.rom, as `isa4 asm` does.
void assemble_beside(const std::string& name, std::string_view source,
                     std::vector<std::string>& lines) {
    const Assembly assembly = assemble(source);
    int errors = 0;
    for (const Diagnostic& d : assembly.diagnostics) {
        lines.push_back(format_diagnostic(name, d));
        errors += d.warning ? 0 : 1;
    }
    const std::string shown = escape_for_message(name);
    if (errors > 0) {
        lines.push_back(shown + ": " + std::to_string(errors) +
                        (errors == 1 ? " error" : " errors") + "; no image written");
        return;
    }
    const std::string image = name.substr(0, name.size() - 2) + ".rom";
    const FileResult saved = save_rom_image(image.c_str(), assembly.rom);
    if (!saved) {
        lines.push_back(failure_message("Save ROM", escape_for_message(image), saved));
        return;
    }
    lines.push_back(shown + ": assembled into " + escape_for_message(image));
}

}  // namespace

std::vector<std::string> add_home_file(std::string_view name, std::string_view bytes,
                                       std::size_t size) {
    if (!is_plain_name(name)) return {refusal("Open", name, "Not a plain file name")};
    if (size > max_home_file_size) return {refusal("Open", name, "File too large (over 1 MiB)")};
    const std::string path(name);
    const FileResult saved = save_file(path.c_str(), bytes);
    if (!saved) return {failure_message("Open", escape_for_message(name), saved)};
    std::vector<std::string> lines;
    if (ends_with(name, ".s") && name.size() > 2) assemble_beside(path, bytes, lines);
    return lines;
}

std::vector<std::string> delete_home_file(std::string_view name) {
    if (!is_plain_name(name)) return {refusal("Delete", name, "Not a plain file name")};
    const std::string path(name);
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) return {refusal("Delete", name, std::strerror(errno))};
    if (!S_ISREG(status.st_mode)) return {refusal("Delete", name, "Not a regular file")};
    if (std::remove(path.c_str()) != 0) return {refusal("Delete", name, std::strerror(errno))};
    return {};
}

std::string storage_refused_message(std::string_view path, std::string_view reason) {
    return refusal("Save", path, "the browser's storage did not keep it: " + std::string(reason));
}
