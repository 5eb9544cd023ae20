#include <cstdio>
#include <cstdlib>

#include "grading/report_text.h"
#include "grading/reports.h"
#include "text/message.h"

namespace {

// The shortest decimal that reads back as `value`, so that 999999999 of 1000000000
// points is never shown as a full score.
std::string shortest_number(double value) {
    for (int digits = 1; digits < 17; ++digits) {
        const std::string text = printf_text("%.*g", digits, value);
        if (std::strtod(text.c_str(), nullptr) == value) return text;
    }
    return printf_text("%.17g", value);
}

std::string format_errors(const std::vector<std::string>& errors) {
    std::string out = "[";
    for (std::size_t i = 0; i < errors.size(); ++i)
        out += std::string(i == 0 ? "" : ", ") + json_text(printable(errors[i]));
    return out + "]";
}

}  // namespace

std::string prairielearn_report(const GradedBatch& batch, const ProgramResult& program) {
    const Suite& suite = batch.suite;
    if (!program.graded) {
        std::vector<std::string> errors = {printable(program.path) + ": " + program.failure};
        errors.insert(errors.end(), program.reasons.begin(), program.reasons.end());
        return "{\n  \"gradable\": false,\n  \"format_errors\": " + format_errors(errors) + "\n}\n";
    }
    const std::uint64_t max = total_points(suite);
    const std::uint64_t earned = program.points();
    const double score = max == 0 ? (program.passed() == suite.cases.size() ? 1.0 : 0.0)
                                  : static_cast<double>(earned) / static_cast<double>(max);
    std::size_t shown = 0, passed = 0;
    std::string tests;
    for (std::size_t i = 0; i < program.cases.size(); ++i) {
        const SuiteCase& c = suite.cases[i];
        const CaseResult& r = program.cases[i];
        if (c.hidden()) continue;
        ++shown;
        passed += r.verdict == Verdict::pass ? 1 : 0;
        std::string output;
        if (r.verdict == Verdict::pass)
            output = "passed in " + plural(r.steps, "step", "steps") + "\n";
        else
            for (const Diagnostic& p : r.problems) output += printable(p.message) + "\n";
        tests += std::string(tests.empty() ? "" : ",") +
                 "\n    {\"name\": " + json_text(printable(c.name)) +
                 ", \"points\": " + std::to_string(r.points) +
                 ", \"max_points\": " + std::to_string(c.points) +
                 ", \"message\": " + json_text(verdict_name(r.verdict)) +
                 ", \"output\": " + json_text(output) + "}";
    }
    std::string message =
        std::to_string(passed) + " of " + plural(shown, "visible case", "visible cases") +
        " passed; " + std::to_string(earned) + " of " + plural(max, "point", "points") + " in all";
    if (shown < suite.cases.size())
        message +=
            ", with " + plural(suite.cases.size() - shown, "case", "cases") + " that are not shown";
    message += ".";
    std::string output;
    if (!program.warnings.empty()) {
        output += "The assembler warns:\n";
        for (const std::string& w : program.warnings) output += printable(w) + "\n";
    }
    return "{\n  \"gradable\": true,\n  \"score\": " + shortest_number(score) +
           ",\n  \"message\": " + json_text(message) + ",\n  \"output\": " + json_text(output) +
           ",\n  \"tests\": [" + tests + (tests.empty() ? "" : "\n  ") + "]\n}\n";
}

std::string prairielearn_failure(std::string_view message) {
    std::vector<std::string> lines;
    for (std::size_t from = 0; from < message.size();) {
        std::size_t end = message.find('\n', from);
        if (end == std::string_view::npos) end = message.size();
        lines.push_back(std::string(message.substr(from, end - from)));
        from = end + 1;
    }
    return "{\n  \"gradable\": false,\n  \"format_errors\": " + format_errors(lines) + "\n}\n";
}
