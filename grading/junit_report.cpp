#include "grading/reports.h"

#include "grading/report_text.h"

#include <algorithm>
#include <cstdio>
#include "text/message.h"

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
                  printf_text("%.6f", program_seconds) + "\">\n" + cases;
        if (!p.warnings.empty()) {
            std::vector<std::string> shown;
            for (const std::string& w : p.warnings) shown.push_back(printable(w));
            suites += "    <system-out>" + xml_escaped(joined(shown)) + "</system-out>\n";
        }
        suites += "  </testsuite>\n";
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
