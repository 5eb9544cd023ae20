#include "grading/reports.h"

#include "text/message.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string plural(unsigned n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "multiply.suite:12:5: r1 is 03, expected 04", or the bare text for a problem that
// comes from no line of the suite.
std::string located(const GradedBatch& batch, const Diagnostic& p) {
    if (p.line == 0) return printable(p.message);
    return printable(batch.suite_path) + ":" + std::to_string(p.line) + ":" +
           std::to_string(p.column) + ": " + printable(p.message);
}

// Every line that explains a case's result: the program's reasons when it was not
// graded, else the case's problems.
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

// A CSV field (RFC 4180). A field that a spreadsheet would take for a formula gets a
// leading apostrophe, so that a file name cannot run one.
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

std::string table_report(const GradedBatch& batch) {
    const Suite& suite = batch.suite;
    std::string out = printable(batch.suite_path) + ": " +
                      plural(static_cast<unsigned>(suite.cases.size()), "case", "cases") + ", " +
                      plural(suite.total_points(), "point", "points") + "\n";
    for (std::size_t i = 0; i < suite.cases.size(); ++i) {
        const SuiteCase& c = suite.cases[i];
        out += padded_left(std::to_string(i + 1), 4) + "  " + printable(c.name) + " (" +
               plural(c.points, "point", "points") + (c.hidden ? ", hidden" : "") + ")\n";
    }

    // Columns: the program, cases passed, points, then the steps of each case, "*" marking
    // a failed case and "-" one that did not halt.
    std::size_t name_width = 7;
    for (const ProgramResult& p : batch.programs)
        name_width = std::max(name_width, printable(p.path).size());
    const std::string total = std::to_string(suite.total_points());
    const std::size_t points_width = std::max<std::size_t>(6, 2 * total.size() + 1);
    std::size_t step_width = 4;
    for (const ProgramResult& p : batch.programs)
        for (const CaseResult& r : p.cases)
            step_width = std::max(step_width, std::to_string(r.steps).size() + 2);

    out += "\n" + padded_right("program", name_width) + "  passed  " +
           padded_left("points", points_width);
    for (std::size_t i = 0; i < suite.cases.size(); ++i)
        out += padded_left(std::to_string(i + 1), step_width);
    out += "\n";
    unsigned all_passed = 0;
    for (const ProgramResult& p : batch.programs) {
        const std::string passed =
            std::to_string(p.passed()) + "/" + std::to_string(suite.cases.size());
        out += padded_right(printable(p.path), name_width) + "  " + padded_left(passed, 6) + "  " +
               padded_left(std::to_string(p.points()) + "/" + total, points_width);
        if (!p.graded) {
            out += "  " + p.failure;
        } else {
            for (const CaseResult& r : p.cases) {
                std::string cell = r.verdict == Verdict::no_halt ? "-" : std::to_string(r.steps);
                cell += r.verdict == Verdict::pass ? " " : "*";
                out += padded_left(cell, step_width);
            }
        }
        // No spaces at the line's end.
        while (!out.empty() && out.back() == ' ') out.pop_back();
        out += "\n";
        all_passed += p.passed() == suite.cases.size() ? 1 : 0;
    }
    out += "\n" + std::to_string(all_passed) + " of " +
           plural(static_cast<unsigned>(batch.programs.size()), "program", "programs") +
           " passed every case.\n";

    for (const ProgramResult& p : batch.programs) {
        if (!p.graded) {
            out += "\n" + printable(p.path) + ": " + p.failure + ", every case fails\n";
            for (const std::string& r : p.reasons) out += "  " + printable(r) + "\n";
            continue;
        }
        for (std::size_t i = 0; i < p.cases.size(); ++i) {
            const CaseResult& r = p.cases[i];
            if (r.verdict == Verdict::pass) continue;
            out += "\n" + printable(p.path) + ": case " + std::to_string(i + 1) + " '" +
                   printable(suite.cases[i].name) + "' " +
                   (r.verdict == Verdict::no_halt ? "did not halt" : "failed") + "\n";
            for (const Diagnostic& problem : r.problems)
                out += "  " + located(batch, problem) + "\n";
        }
    }
    return out;
}

std::string tap_report(const GradedBatch& batch) {
    const Suite& suite = batch.suite;
    std::string out =
        "TAP version 13\n1.." + std::to_string(batch.programs.size() * suite.cases.size()) + "\n";
    std::size_t number = 0;
    for (const ProgramResult& p : batch.programs) {
        for (std::size_t i = 0; i < p.cases.size(); ++i) {
            const CaseResult& r = p.cases[i];
            // '#' would start a directive, and a line end would end the test line.
            std::string description = printable(p.path) + ": " + printable(suite.cases[i].name);
            std::string escaped;
            for (const char c : description)
                escaped += c == '#' ? std::string("\\#") : std::string(1, c);
            const bool ok = r.verdict == Verdict::pass;
            out += std::string(ok ? "ok " : "not ok ") + std::to_string(++number) + " - " +
                   escaped + "\n";
            if (ok) continue;
            // The YAML block as prove's reader takes it: one line per key, the
            // explanation one quoted string.
            std::string message;
            for (const std::string& line : explanation(batch, p, r))
                message += (message.empty() ? "" : "\n") + line;
            out += "  ---\n  message: " + json_string(message) + "\n  severity: fail\n" +
                   "  result: " + json_string(verdict_name(r.verdict)) + "\n";
            if (p.graded) out += "  steps: " + std::to_string(r.steps) + "\n";
            out += "  ...\n";
        }
    }
    return out;
}

std::string junit_report(const GradedBatch& batch) {
    const Suite& suite = batch.suite;
    std::size_t tests = 0, failures = 0, errors = 0;
    double seconds = 0;
    std::string suites;
    for (const ProgramResult& p : batch.programs) {
        std::size_t failed = 0;
        double program_seconds = 0;
        std::string cases;
        const std::string classname = xml_escaped(printable(p.path));
        for (std::size_t i = 0; i < p.cases.size(); ++i) {
            const CaseResult& r = p.cases[i];
            program_seconds += r.seconds;
            cases += "    <testcase classname=\"" + classname + "\" name=\"" +
                     xml_escaped(printable(suite.cases[i].name)) + "\" time=\"" +
                     printf_text("%.6f", r.seconds) + "\"";
            if (r.verdict == Verdict::pass) {
                cases += "/>\n";
                continue;
            }
            const std::vector<std::string> lines = explanation(batch, p, r);
            const std::string element = r.verdict == Verdict::error ? "error" : "failure";
            const std::string message = r.verdict == Verdict::fail && p.graded
                                            ? printable(r.problems.front().message)
                                            : lines.front();
            failed += r.verdict == Verdict::error ? 0 : 1;
            cases += ">\n      <" + element + " message=\"" + xml_escaped(message) + "\" type=\"" +
                     verdict_name(r.verdict) + "\">" + xml_escaped(joined(lines)) + "</" + element +
                     ">\n    </testcase>\n";
        }
        const std::size_t erred = p.graded ? 0 : p.cases.size();
        suites += "  <testsuite name=\"" + classname + "\" tests=\"" +
                  std::to_string(p.cases.size()) + "\" failures=\"" + std::to_string(failed) +
                  "\" errors=\"" + std::to_string(erred) + "\" skipped=\"0\" time=\"" +
                  printf_text("%.6f", program_seconds) + "\">\n" + cases + "  </testsuite>\n";
        tests += p.cases.size();
        failures += failed;
        errors += erred;
        seconds += program_seconds;
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" +
           xml_escaped(printable(batch.suite_path)) + "\" tests=\"" + std::to_string(tests) +
           "\" failures=\"" + std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
           "\" time=\"" + printf_text("%.6f", seconds) + "\">\n" + suites + "</testsuites>\n";
}

std::string gradescope_report(const GradedBatch& batch, const ProgramResult& program) {
    const Suite& suite = batch.suite;
    std::string summary = printable(program.path) + ": " + std::to_string(program.passed()) +
                          " of " +
                          plural(static_cast<unsigned>(suite.cases.size()), "case", "cases") +
                          " passed, " + std::to_string(program.points()) + " of " +
                          plural(suite.total_points(), "point", "points") + "\n";
    if (!program.graded) {
        summary += program.failure + ":\n";
        for (const std::string& r : program.reasons) summary += printable(r) + "\n";
    }
    std::string out = "{\n  \"score\": " + std::to_string(program.points()) +
                      ",\n  \"output\": " + json_string(summary) + ",\n  \"tests\": [";
    for (std::size_t i = 0; i < program.cases.size(); ++i) {
        const SuiteCase& c = suite.cases[i];
        const CaseResult& r = program.cases[i];
        std::string output;
        if (r.verdict == Verdict::pass)
            output = "passed in " + plural(static_cast<unsigned>(r.steps), "step", "steps") + "\n";
        else
            for (const Diagnostic& p : r.problems) output += printable(p.message) + "\n";
        out += std::string(i == 0 ? "" : ",") +
               "\n    {\"name\": " + json_string(printable(c.name)) +
               ", \"score\": " + std::to_string(r.points) +
               ", \"max_score\": " + std::to_string(c.points) + ", \"status\": \"" +
               (r.verdict == Verdict::pass ? "passed" : "failed") + "\", \"visibility\": \"" +
               (c.hidden ? "hidden" : "visible") + "\", \"output\": " + json_string(output) + "}";
    }
    return out + "\n  ]\n}\n";
}

std::string csv_report(const GradedBatch& batch) {
    std::string out = "program,case,result,steps,points,max_points\r\n";
    for (const ProgramResult& p : batch.programs) {
        const std::string program = csv_field(printable(p.path));
        for (std::size_t i = 0; i < p.cases.size(); ++i) {
            const CaseResult& r = p.cases[i];
            out += program + "," + csv_field(printable(batch.suite.cases[i].name)) + "," +
                   verdict_name(r.verdict) + "," + (p.graded ? std::to_string(r.steps) : "") + "," +
                   std::to_string(r.points) + "," + std::to_string(batch.suite.cases[i].points) +
                   "\r\n";
        }
    }
    return out;
}
