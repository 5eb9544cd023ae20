#include "grading/report_text.h"
#include "grading/reports.h"
#include "text/message.h"

namespace {

// Jenkins splits a classname at its last dot into a package and a class, so a file name
// keeps no dot there; the path itself stands whole in the `file` attribute.
std::string classname_of(const std::string& path) {
    std::string name = printable(path);
    for (char& c : name)
        if (c == '.') c = '_';
    return xml_escaped(name);
}

class JunitFormat : public ReportFormat {
public:
    std::string head(const GradedBatch& batch,
                     const std::vector<ProgramSummary>& all) const override {
        std::uint64_t tests = 0, failures = 0, errors = 0;
        double seconds = 0;
        for (const ProgramSummary& p : all) {
            tests += p.verdicts.size();
            for (const Verdict v : p.verdicts) {
                failures += v == Verdict::fail || v == Verdict::no_halt ? 1 : 0;
                errors += v == Verdict::error ? 1 : 0;
            }
            seconds += p.seconds;
        }
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" +
               xml_escaped(printable(batch.suite_path)) + "\" tests=\"" + std::to_string(tests) +
               "\" failures=\"" + std::to_string(failures) + "\" errors=\"" +
               std::to_string(errors) + "\" time=\"" + printf_text("%.6f", seconds) + "\">\n";
    }

    // The closing tag goes after the last program's testsuite.
    std::string middle(const GradedBatch&, const std::vector<ProgramSummary>&) const override {
        return "</testsuites>\n";
    }

    ReportParts program(const GradedBatch& batch, std::size_t,
                        const ProgramResult& p) const override {
        const Suite& suite = batch.suite;
        std::size_t failed = 0;
        double program_seconds = 0;
        std::string cases;
        const std::string classname = classname_of(p.path);
        const std::string file = xml_escaped(printable(p.path));
        for (std::size_t i = 0; i < p.cases.size(); ++i) {
            const CaseResult& r = p.cases[i];
            program_seconds += r.seconds;
            cases += "    <testcase classname=\"" + classname + "\" name=\"" +
                     xml_escaped(printable(suite.cases[i].name)) + "\" file=\"" + file +
                     "\" time=\"" + printf_text("%.6f", r.seconds) + "\"";
            if (r.verdict == Verdict::pass) {
                cases += "/>\n";
                continue;
            }
            const std::vector<std::string> lines = explanation(batch, p, r);
            const std::string element = r.verdict == Verdict::error ? "error" : "failure";
            // The first problem, where the feedback level leaves one; else the verdict.
            std::string message = verdict_name(r.verdict);
            if (r.verdict == Verdict::fail && p.graded) {
                if (!r.problems.empty()) message = printable(r.problems.front().message);
            } else if (!lines.empty()) {
                message = lines.front();
            }
            failed += r.verdict == Verdict::error ? 0 : 1;
            cases += ">\n      <" + element + " message=\"" + xml_escaped(message) + "\" type=\"" +
                     verdict_name(r.verdict) + "\">" + xml_escaped(joined(lines)) + "</" + element +
                     ">\n    </testcase>\n";
        }
        const std::size_t erred = p.graded ? 0 : p.cases.size();
        ReportParts parts;
        std::string& out = parts.body;
        out = "  <testsuite name=\"" + file + "\" tests=\"" + std::to_string(p.cases.size()) +
              "\" failures=\"" + std::to_string(failed) + "\" errors=\"" + std::to_string(erred) +
              "\" skipped=\"0\" time=\"" + printf_text("%.6f", program_seconds) + "\">\n" + cases;
        if (!p.warnings.empty()) {
            std::vector<std::string> shown;
            for (const std::string& w : p.warnings) shown.push_back(printable(w));
            out += "    <system-out>" + xml_escaped(joined(shown)) + "</system-out>\n";
        }
        out += "  </testsuite>\n";
        return parts;
    }
};

}  // namespace

const ReportFormat& junit_format() {
    static const JunitFormat format;
    return format;
}
