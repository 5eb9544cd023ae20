#include <algorithm>

#include "grading/report_text.h"
#include "grading/reports.h"

namespace {

// Columns: the program, cases passed, points, then the steps of each case, "*" marking
// a failed case and "-" one that did not halt. The rows are written as the programs are
// graded, so the widths come from what is known before: the paths, the total and the
// largest step limit (no case takes more steps than its limit).
struct Widths {
    std::size_t name = 7;
    std::size_t points = 6;
    std::size_t steps = 4;
};

Widths widths_of(const GradedBatch& batch) {
    Widths w;
    for (const std::string& p : batch.paths) w.name = std::max(w.name, printable(p).size());
    const std::size_t total = std::to_string(total_points(batch.suite)).size();
    w.points = std::max<std::size_t>(w.points, 2 * total + 1);
    for (const SuiteCase& c : batch.suite.cases)
        w.steps = std::max(w.steps, std::to_string(c.limit).size() + 2);
    return w;
}

class TableFormat : public ReportFormat {
public:
    std::string head(const GradedBatch& batch, const std::vector<ProgramSummary>&) const override {
        const Suite& suite = batch.suite;
        const Widths w = widths_of(batch);
        std::string out = printable(batch.suite_path) + ": " +
                          plural(suite.cases.size(), "case", "cases") + ", " +
                          plural(total_points(suite), "point", "points") + "\n";
        for (std::size_t i = 0; i < suite.cases.size(); ++i) {
            const SuiteCase& c = suite.cases[i];
            out += padded_left(std::to_string(i + 1), 4) + "  " + printable(c.name) + " (" +
                   plural(c.points, "point", "points") +
                   (c.hidden() ? std::string(", ") + visibility_name(c.visibility) : "") + ")\n";
        }
        out +=
            "\n" + padded_right("program", w.name) + "  passed  " + padded_left("points", w.points);
        for (std::size_t i = 0; i < suite.cases.size(); ++i)
            out += padded_left(std::to_string(i + 1), w.steps);
        return out + "\n";
    }

    ReportParts program(const GradedBatch& batch, std::size_t,
                        const ProgramResult& p) const override {
        const Suite& suite = batch.suite;
        const Widths w = widths_of(batch);
        ReportParts parts;
        std::string& row = parts.body;
        const std::string passed =
            std::to_string(p.passed()) + "/" + std::to_string(suite.cases.size());
        row = padded_right(printable(p.path), w.name) + "  " + padded_left(passed, 6) + "  " +
              padded_left(std::to_string(p.points()) + "/" + std::to_string(total_points(suite)),
                          w.points);
        if (!p.graded) {
            row += "  " + p.failure;
        } else {
            for (const CaseResult& r : p.cases) {
                std::string cell = r.verdict == Verdict::no_halt ? "-" : std::to_string(r.steps);
                cell += r.verdict == Verdict::pass ? " " : "*";
                row += padded_left(cell, w.steps);
            }
        }
        // No spaces at the line's end.
        while (!row.empty() && row.back() == ' ') row.pop_back();
        row += "\n";

        std::string& out = parts.notes;
        if (!p.graded) {
            out += "\n" + printable(p.path) + ": " + p.failure + ", every case fails\n";
            for (const std::string& r : p.reasons) out += "  " + printable(r) + "\n";
            return parts;
        }
        if (!p.warnings.empty()) {
            out += "\n" + printable(p.path) + ": " +
                   plural(p.warnings.size(), "warning", "warnings") + " from the assembler\n";
            for (const std::string& warning : p.warnings) out += "  " + printable(warning) + "\n";
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
        return parts;
    }

    std::string middle(const GradedBatch& batch,
                       const std::vector<ProgramSummary>& all) const override {
        return "\n" + every_case_passed(batch, all) + "\n";
    }
};

}  // namespace

const ReportFormat& table_format() {
    static const TableFormat format;
    return format;
}
