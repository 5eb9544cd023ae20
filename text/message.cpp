#include "text/message.h"

#include <cstdarg>
#include <cstdio>

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

std::string format_diagnostic(const std::string& file, const Diagnostic& d) {
    std::string out = escape_for_message(file);
    if (d.line > 0) out += ":" + std::to_string(d.line);
    if (d.line > 0 && d.column > 0) out += ":" + std::to_string(d.column);
    return out + (d.warning ? ": warning: " : ": error: ") + d.message;
}

std::string format_diagnostic(const Diagnostic& d) {
    return format_diagnostic(d.file, d);
}

std::string printf_text(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size > 0) std::vsnprintf(out.data(), out.size() + 1, format, again);
    va_end(again);
    return out;
}

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

std::string in_quotes(std::string_view token) {
    return "'" + quote_for_message(token) + "'";
}
