#include "grading/report_text.h"

#include <algorithm>
#include <cstdio>
#include "text/message.h"

std::string plural(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string located(const GradedBatch& batch, const Diagnostic& p) {
    if (p.line == 0) return printable(p.message);
    return printable(batch.suite_path) + ":" + std::to_string(p.line) + ":" +
           std::to_string(p.column) + ": " + printable(p.message);
}

std::vector<std::string> explanation(const GradedBatch& batch, const ProgramResult& program,
                                     const CaseResult& result) {
    std::vector<std::string> lines;
    if (!program.graded) {
        lines.push_back(program.failure);
        for (const std::string& r : program.reasons) lines.push_back(printable(r));
    } else {
        for (const Diagnostic& p : result.problems) lines.push_back(located(batch, p));
    }
    return lines;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

std::string xml_escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string csv_field(std::string_view text) {
    std::string field(text);
    if (!field.empty() && std::string_view("=+-@").find(field[0]) != std::string_view::npos)
        field.insert(0, "'");
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string out = "\"";
    for (const char c : field) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string padded_left(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string padded_right(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

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
