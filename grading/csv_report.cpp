#include "grading/reports.h"

#include "grading/report_text.h"

#include <algorithm>
#include <cstdio>
#include "text/message.h"

std::string csv_report(const GradedBatch& batch) {
    std::string out = "program,case,result,steps,points,max_points\r\n";
    for (const ProgramResult& p : batch.programs) {
        const std::string program = csv_field(printable(p.path));
        for (std::size_t i = 0; i < p.cases.size(); ++i) {
            const CaseResult& r = p.cases[i];
            out += program + "," + csv_field(printable(batch.suite.cases[i].name)) + "," +
                   verdict_name(r.verdict) + "," + (p.graded ? std::to_string(r.steps) : "") + "," +
                   std::to_string(r.points) + "," + std::to_string(batch.suite.cases[i].points) +
                   "\r\n";
        }
    }
    return out;
}
