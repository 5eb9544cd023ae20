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

std::string every_case_passed(const GradedBatch& batch, const std::vector<ProgramSummary>& all) {
    std::size_t all_passed = 0;
    for (const ProgramSummary& p : all) all_passed += p.passed == batch.suite.cases.size() ? 1 : 0;
    return std::to_string(all_passed) + " of " + plural(all.size(), "program", "programs") +
           " passed every case.";
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
