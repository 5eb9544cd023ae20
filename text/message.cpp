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
    std::string text = out + (d.warning ? ": warning: " : ": error: ") + d.message;
    for (const std::string& note : d.notes) text += "\n" + out + ": note: " + note;
    return text;
}

std::string format_usage_error(const std::string& command, const std::string& what) {
    return format_diagnostic(Diagnostic{0, 0, what, false, command}) + "\n" +
           escape_for_message(command) + ": try '" + escape_for_message(command) + " --help'";
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

std::size_t utf8_length(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned min = 0;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2, min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 3, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 4, min = 0x10000;
    else
        return 0;
    if (i + n > s.size()) return 0;
    unsigned code = b & (0x3F >> (n - 1));
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        code = (code << 6) | (c & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return n;
}

bool is_utf8_text(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = utf8_length(bytes, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string json_text(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        char buf[8];
        if (c >= 0x80) {
            const std::size_t n = utf8_length(text, i);
            if (n == 0) {
                std::snprintf(buf, sizeof buf, "\\\\x%02x", c);
                out += buf;
                ++i;
            } else if (n == 3 && c == 0xE2 && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                       (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xA8) {
                out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
                i += n;
            } else {
                out.append(text.substr(i, n));
                i += n;
            }
            continue;
        }
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '<': out += "\\u003c"; break;
            case '>': out += "\\u003e"; break;
            case '&': out += "\\u0026"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    std::snprintf(buf, sizeof buf, "\\\\x%02x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    return out + "\"";
}

namespace {

// The code point of the valid UTF-8 sequence of `n` bytes at `s[i]`.
unsigned code_point(std::string_view s, std::size_t i, std::size_t n) {
    unsigned code = static_cast<unsigned char>(s[i]) & (0x3F >> (n - 1));
    for (std::size_t k = 1; k < n; ++k)
        code = (code << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return code;
}

// Code points that are valid UTF-8 but must not reach a report as themselves: C1
// controls, the controls of bidirectional text (which can make a name read backwards),
// the line and paragraph separators, and the noncharacters (XML forbids U+FFFE and
// U+FFFF outright).
bool escaped_code_point(unsigned c) {
    return (c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) ||
           (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

}  // namespace

std::string printable(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x20 && b < 0x7F) {
            out += text[i++];
            continue;
        }
        if (const std::size_t n = b >= 0x80 ? utf8_length(text, i) : 0) {
            const unsigned code = code_point(text, i, n);
            if (escaped_code_point(code))
                out += printf_text("\\u{%04x}", code);
            else
                out.append(text.substr(i, n));
            i += n;
            continue;
        }
        out += "\\x";
        out += hex[b >> 4];
        out += hex[b & 0xF];
        ++i;
    }
    return out;
}
