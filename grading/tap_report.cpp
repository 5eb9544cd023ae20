#include "grading/report_text.h"
#include "grading/reports.h"

namespace {

// A double-quoted YAML scalar as TAP::Parser's YAMLish reader takes it: it knows the
// escapes of a quote, a backslash and a line end, but not JSON's \u ones. The text is
// printable() already, so it holds no other control byte.
std::string yaml_quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            default: out += c;
        }
    }
    return out + "\"";
}

class TapFormat : public ReportFormat {
public:
    std::string head(const GradedBatch& batch, const std::vector<ProgramSummary>&) const override {
        return "TAP version 13\n1.." +
               std::to_string(batch.paths.size() * batch.suite.cases.size()) + "\n";
    }

    ReportParts program(const GradedBatch& batch, std::size_t index,
                        const ProgramResult& p) const override {
        ReportParts parts;
        std::string& out = parts.body;
        // The assembler's warnings as diagnostic lines before the program's test points.
        for (const std::string& w : p.warnings) out += "# " + printable(w) + "\n";
        std::size_t number = index * batch.suite.cases.size();
        for (std::size_t i = 0; i < p.cases.size(); ++i) {
            const CaseResult& r = p.cases[i];
            // '#' would start a directive, and a line end would end the test line.
            std::string description =
                printable(p.path) + ": " + printable(batch.suite.cases[i].name);
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
            out += "  ---\n  message: " + yaml_quoted(message) + "\n  severity: fail\n" +
                   "  result: " + yaml_quoted(verdict_name(r.verdict)) + "\n";
            if (p.graded) out += "  steps: " + std::to_string(r.steps) + "\n";
            out += "  ...\n";
        }
        return parts;
    }
};

}  // namespace

const ReportFormat& tap_format() {
    static const TapFormat format;
    return format;
}
