#include "grading/report_text.h"
#include "grading/reports.h"

namespace {

std::string points_text(std::uint64_t earned, std::uint64_t max) {
    return std::to_string(earned) + "/" + std::to_string(max);
}

class MarkdownFormat : public ReportFormat {
public:
    std::string head(const GradedBatch& batch, const std::vector<ProgramSummary>&) const override {
        return "### " + markdown_cell(printable(batch.suite_path)) + "\n\n" +
               plural(batch.suite.cases.size(), "case", "cases") + ", " +
               plural(total_points(batch.suite), "point", "points") +
               ".\n\n| program | passed | points |\n|---|--:|--:|\n";
    }

    ReportParts program(const GradedBatch& batch, std::size_t,
                        const ProgramResult& p) const override {
        const Suite& suite = batch.suite;
        const std::string name = markdown_cell(printable(p.path));
        ReportParts parts;
        parts.body = "| " + name + " | " + std::to_string(p.passed()) + "/" +
                     std::to_string(suite.cases.size()) + " | " +
                     points_text(p.points(), total_points(suite)) + " |\n";

        std::string& out = parts.notes;
        out = "\n#### " + name + "\n\n";
        if (!p.graded) {
            out += markdown_cell(p.failure) + ", every case fails:\n\n";
            for (const std::string& r : p.reasons) out += "- " + markdown_cell(printable(r)) + "\n";
            return parts;
        }
        if (!p.warnings.empty()) {
            out += "The assembler warns:\n\n";
            for (const std::string& w : p.warnings)
                out += "- " + markdown_cell(printable(w)) + "\n";
            out += "\n";
        }
        out += "| # | case | result | steps | points | why |\n|--:|---|---|--:|--:|---|\n";
        for (std::size_t i = 0; i < p.cases.size(); ++i) {
            const SuiteCase& c = suite.cases[i];
            const CaseResult& r = p.cases[i];
            out += "| " + std::to_string(i + 1) + " | ";
            if (c.hidden()) {
                out += "hidden case " + std::to_string(i + 1) + " | " + verdict_name(r.verdict) +
                       " |  | " + points_text(r.points, c.points) + " |  |\n";
                continue;
            }
            std::string why;
            for (const Diagnostic& problem : r.problems)
                why += (why.empty() ? "" : "<br>") + markdown_cell(located(batch, problem));
            out += markdown_cell(printable(c.name)) + " | " + verdict_name(r.verdict) + " | " +
                   (r.verdict == Verdict::no_halt ? "-" : std::to_string(r.steps)) + " | " +
                   points_text(r.points, c.points) + " | " + why + " |\n";
        }
        return parts;
    }

    std::string middle(const GradedBatch& batch,
                       const std::vector<ProgramSummary>& all) const override {
        return "\n" + every_case_passed(batch, all) + "\n";
    }
};

}  // namespace

const ReportFormat& markdown_format() {
    static const MarkdownFormat format;
    return format;
}
