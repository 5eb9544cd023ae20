#include "web/check.h"

#include <vector>

#include "grading/feedback_page.h"
#include "grading/grader.h"
#include "machine/image_file.h"
#include "text/message.h"
#include "text/source_text.h"

namespace {

std::string why_not(const std::string& file, const Diagnostic& d) {
    return format_diagnostic(file, d) + "\n";
}

}  // namespace

CheckOutcome check_program(const std::string& suite_path, const std::string& program_path) {
    CheckOutcome out;
    std::string bytes;
    const FileResult read = read_file(suite_path.c_str(), bytes, max_text_file_size);
    if (!read) {
        out.text =
            why_not(suite_path, Diagnostic{0, 0, "cannot read the file (" + read.reason + ")"});
        return out;
    }
    if (const char* wide = wide_text_encoding(bytes)) {
        out.text = why_not(suite_path, Diagnostic{0, 0, wide_text_message(wide)});
        return out;
    }
    const Suite suite = read_suite(bytes, folder_of(suite_path));
    if (!suite.ok()) {
        for (const Diagnostic& d : suite.diagnostics) out.text += why_not(suite_path, d);
        out.text += escape_for_message(suite_path) + ": " +
                    std::to_string(suite.diagnostics.size()) +
                    (suite.diagnostics.size() == 1 ? " error" : " errors") + "; nothing was run\n";
        return out;
    }
    const GradedBatch batch{suite, suite_path, {program_path}};
    out.page = true;
    out.text = student_page(batch, grade_program(suite, program_path));
    return out;
}
