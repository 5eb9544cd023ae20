#include "grading/report_text.h"

#include <algorithm>
#include <cstdint>
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

std::string csv_field(std::string_view text) {
    std::string field(text);
    if (!field.empty() && std::string_view("=+-@").find(field[0]) != std::string_view::npos)
        field.insert(0, "'");
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string out = "\"";
    for (const char c : field) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

ProgramSummary summary_of(const ProgramResult& program) {
    ProgramSummary s;
    s.path = program.path;
    s.graded = program.graded;
    s.passed = program.passed();
    s.points = program.points();
    for (const CaseResult& r : program.cases) {
        s.seconds += r.seconds;
        s.verdicts.push_back(r.verdict);
        s.steps.push_back(static_cast<std::uint32_t>(std::min<std::uint64_t>(r.steps, UINT32_MAX)));
    }
    return s;
}

std::string whole_report(const ReportFormat& format, const GradedBatch& batch,
                         const std::vector<ProgramResult>& programs) {
    std::vector<ProgramSummary> all;
    std::string body, notes;
    for (std::size_t i = 0; i < programs.size(); ++i) {
        ReportParts parts = format.program(batch, i, programs[i]);
        body += parts.body;
        notes += parts.notes;
        all.push_back(summary_of(programs[i]));
    }
    return format.head(batch, all) + body + format.middle(batch, all) + notes;
}

std::string markdown_cell(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '<': out += "&lt;"; break;
            case '&': out += "&amp;"; break;
            case '\n': out += "<br>"; break;
            case '\r': break;
            default:
                if (std::string_view("\\`*_[]|#!~>").find(c) != std::string_view::npos) out += '\\';
                out += c;
        }
    }
    return out;
}

std::uint64_t total_points(const Suite& suite) {
    std::uint64_t total = 0;
    for (const SuiteCase& c : suite.cases) total += c.points;
    return total;
}

std::string padded_left(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string padded_right(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
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
