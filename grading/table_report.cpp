#include "grading/reports.h"

#include "grading/report_text.h"

#include <algorithm>
#include <cstdio>
#include "text/message.h"

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
        if (!p.warnings.empty()) {
            out += "\n" + printable(p.path) + ": " +
                   plural(static_cast<unsigned>(p.warnings.size()), "warning", "warnings") +
                   " from the assembler\n";
            for (const std::string& w : p.warnings) out += "  " + printable(w) + "\n";
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
