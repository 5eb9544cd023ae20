#include "grading/reports.h"

#include "grading/report_text.h"

#include <algorithm>
#include <cstdio>
#include "text/message.h"

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
    if (!program.warnings.empty()) {
        summary += "The assembler warns:\n";
        for (const std::string& w : program.warnings) summary += printable(w) + "\n";
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
