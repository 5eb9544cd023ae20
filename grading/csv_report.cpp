#include "grading/report_text.h"
#include "grading/reports.h"

namespace {

class CsvFormat : public ReportFormat {
public:
    std::string head(const GradedBatch&, const std::vector<ProgramSummary>&) const override {
        return "program,case,visibility,result,steps,points,max_points\r\n";
    }

    ReportParts program(const GradedBatch& batch, std::size_t,
                        const ProgramResult& p) const override {
        ReportParts parts;
        const std::string program = csv_field(printable(p.path));
        for (std::size_t i = 0; i < p.cases.size(); ++i) {
            const SuiteCase& c = batch.suite.cases[i];
            const CaseResult& r = p.cases[i];
            parts.body += program + "," + csv_field(printable(c.name)) + "," +
                          visibility_name(c.visibility) + "," + verdict_name(r.verdict) + "," +
                          (p.graded ? std::to_string(r.steps) : "") + "," +
                          std::to_string(r.points) + "," + std::to_string(c.points) + "\r\n";
        }
        return parts;
    }
};

}  // namespace

const ReportFormat& csv_format() {
    static const CsvFormat format;
    return format;
}
