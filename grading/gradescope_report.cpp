#include "grading/report_text.h"
#include "grading/reports.h"
#include "text/message.h"

namespace {

// When the student sees the cases that are not visible now: "shown after the due date",
// "never shown" ..., one phrase per kind the suite uses.
std::string later_text(const Suite& suite) {
    const std::pair<Visibility, const char*> kinds[] = {
        {Visibility::after_due_date, "shown after the due date"},
        {Visibility::after_published, "shown once the grades are published"},
        {Visibility::hidden, "never shown"},
    };
    std::vector<const char*> phrases;
    for (const auto& [v, phrase] : kinds)
        for (const SuiteCase& c : suite.cases)
            if (c.visibility == v) {
                phrases.push_back(phrase);
                break;
            }
    std::string text;
    for (std::size_t i = 0; i < phrases.size(); ++i)
        text += std::string(i == 0 ? "" : i + 1 == phrases.size() ? " or " : ", ") + phrases[i];
    return text;
}

// The first line of the output, which counts only what the student may see now: the
// score stays the real one, but a count of hidden cases passed would tell what they test.
std::string summary_line(const Suite& suite, const ProgramResult& program) {
    std::uint64_t shown = 0, passed = 0, points = 0, max = 0;
    for (std::size_t i = 0; i < suite.cases.size(); ++i) {
        if (suite.cases[i].hidden()) continue;
        ++shown;
        passed += program.cases[i].verdict == Verdict::pass ? 1 : 0;
        points += program.cases[i].points;
        max += suite.cases[i].points;
    }
    const std::string name = printable(program.path) + ": ";
    if (shown == suite.cases.size())
        return name + std::to_string(passed) + " of " + plural(shown, "case", "cases") +
               " passed, " + std::to_string(points) + " of " + plural(max, "point", "points");
    if (shown == 0) return name + "the cases are " + later_text(suite);
    return name + std::to_string(passed) + " of " + plural(shown, "visible case", "visible cases") +
           " passed, " + std::to_string(points) + " of their " + plural(max, "point", "points") +
           "; the other cases are " + later_text(suite);
}

}  // namespace

std::string gradescope_report(const GradedBatch& batch, const ProgramResult& program,
                              double seconds) {
    const Suite& suite = batch.suite;
    std::string summary = summary_line(suite, program) + "\n";
    if (!program.graded) {
        summary += program.failure + ":\n";
        for (const std::string& r : program.reasons) summary += printable(r) + "\n";
    }
    if (!program.warnings.empty()) {
        summary += "The assembler warns:\n";
        for (const std::string& w : program.warnings) summary += printable(w) + "\n";
    }
    std::string out = "{\n  \"score\": " + std::to_string(program.points()) +
                      ",\n  \"execution_time\": " + printf_text("%.3f", seconds) +
                      ",\n  \"output\": " + json_text(summary) + ",\n  \"tests\": [";
    for (std::size_t i = 0; i < program.cases.size(); ++i) {
        const SuiteCase& c = suite.cases[i];
        const CaseResult& r = program.cases[i];
        std::string output;
        if (r.verdict == Verdict::pass)
            output = "passed in " + plural(r.steps, "step", "steps") + "\n";
        else
            for (const Diagnostic& p : r.problems) output += printable(p.message) + "\n";
        out += std::string(i == 0 ? "" : ",") + "\n    {\"name\": " + json_text(printable(c.name)) +
               ", \"score\": " + std::to_string(r.points) +
               ", \"max_score\": " + std::to_string(c.points) + ", \"status\": \"" +
               (r.verdict == Verdict::pass ? "passed" : "failed") + "\", \"visibility\": \"" +
               visibility_name(c.visibility) + "\", \"output\": " + json_text(output) + "}";
    }
    return out + "\n  ]\n}\n";
}

std::string gradescope_failure(std::string_view message) {
    std::string shown;
    for (std::size_t from = 0; from < message.size();) {
        std::size_t end = message.find('\n', from);
        if (end == std::string_view::npos) end = message.size();
        shown += printable(message.substr(from, end - from)) + "\n";
        from = end + 1;
    }
    return "{\n  \"score\": 0,\n  \"output\": " + json_text(shown) + ",\n  \"tests\": []\n}\n";
}
