#include "cli/cli_io.h"

#include <iostream>

#include "cli/source_text.h"
#include "machine/image_file.h"

namespace {

// Longer tokens are cut: a message quotes enough to find the place, not a whole line.
constexpr std::size_t quoted_length = 40;

void append_escaped(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            out += c;
        } else {
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        }
    }
}

}  // namespace

std::string escape_for_message(std::string_view text) {
    std::string out;
    append_escaped(out, text);
    return out;
}

std::string quote_for_message(std::string_view token) {
    std::string out;
    append_escaped(out, token.substr(0, quoted_length));
    if (token.size() > quoted_length) out += "...";
    return out;
}

std::optional<std::string> read_text_input(const std::string& path) {
    std::string bytes;
    const FileResult read = read_file(path.c_str(), bytes, max_text_file_size);
    if (!read) {
        std::cerr << escape_for_message(path) << ": error: cannot read the file (" << read.reason
                  << ")\n";
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::uint64_t> parse_cli_number(const std::string& text, std::uint64_t lo,
                                              std::uint64_t hi) {
    std::size_t prefix = 0;
    const int base = number_base(text, prefix);
    const auto value = digits_value(std::string_view(text).substr(prefix), base);
    if (!value || *value < lo || *value > hi) return std::nullopt;
    return value;
}

bool output_clear_of_inputs(const std::string& output, const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        if (input.empty() || !same_file(output.c_str(), input.c_str())) continue;
        std::cerr << escape_for_message(output) << ": error: the output is the same file as the input "
                  << escape_for_message(input) << "; nothing was written\n";
        return false;
    }
    return true;
}
