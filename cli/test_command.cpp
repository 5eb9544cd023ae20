#include "cli/test_command.h"

#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/cli_io.h"
#include "cli/feedback.h"
#include "grading/grader.h"
#include "grading/reports.h"
#include "grading/suite.h"
#include "machine/image_file.h"

namespace {

struct Report {
    const char* option;
    const std::string& path;
    std::string (*write)(const GradedBatch&);
};

std::string gradescope_of_first(const GradedBatch& batch) {
    return gradescope_report(batch, batch.programs.front());
}

}  // namespace

CLI::App* add_test_command(CLI::App& app, TestArgs& args) {
    CLI::App* cmd = app.add_subcommand(
        "test", "Grade programs (sources or ROM images) against the cases of a .suite file");
    cmd->add_option("SUITE", args.suite, "the exercise: cases, inputs and expectations")
        ->required()
        ->type_name("FILE");
    cmd->add_option("PROGRAM", args.programs, "sources or ROM images to grade")
        ->required()
        ->type_name("FILE...");
    cmd->add_flag("--tap", args.tap, "print TAP (version 13) instead of the table");
    const CLI::Validator named(name_check, "", "");
    cmd->add_option("--junit", args.junit, "write JUnit XML: a testsuite per program")
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("--gradescope", args.gradescope,
                    "write Gradescope's results.json (one program only)")
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("--csv", args.csv, "write a row per program and case")
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("--feedback", args.feedback,
                    "write a web page per program into DIR (hidden cases: verdict only), "
                    "and index.html for the class")
        ->check(CLI::Validator(
            [](const std::string& text) {
                return text.empty() ? "a folder name cannot be empty" : "";
            },
            "", ""))
        ->type_name("DIR");
    cmd->footer(
        "Exit status: 0 every case of every program passes, 1 a case fails or a report "
        "cannot be written, 2 bad usage or a mistake in the suite.");
    return cmd;
}

int run_test(const TestArgs& args) {
    const Report reports[] = {
        {"--junit", args.junit, junit_report},
        {"--gradescope", args.gradescope, gradescope_of_first},
        {"--csv", args.csv, csv_report},
    };
    std::vector<std::string> inputs = args.programs;
    inputs.push_back(args.suite);
    for (const std::string& p : inputs) {
        if (p.empty()) {
            std::cerr << "isa4 test: error: an empty file name\n";
            return exit_usage;
        }
    }
    if (!args.gradescope.empty() && args.programs.size() != 1) {
        std::cerr << "isa4 test: error: --gradescope grades one program, not "
                  << args.programs.size() << "\n";
        return exit_usage;
    }

    const auto text = read_text_input(args.suite);
    if (!text) return exit_usage;
    const Suite suite = parse_suite(*text, folder_of(args.suite));
    if (!suite.ok()) {
        for (const Diagnostic& d : suite.diagnostics) print_diagnostic(args.suite, d);
        std::cerr << escape_for_message(args.suite) << ": " << suite.diagnostics.size()
                  << (suite.diagnostics.size() == 1 ? " error" : " errors")
                  << "; nothing was run\n";
        return exit_usage;
    }
    inputs.insert(inputs.end(), suite.ram_images.begin(), suite.ram_images.end());
    if (!suite.model.path.empty()) inputs.push_back(suite.model.path);
    // The reports, then a page per program and index.html in the feedback folder.
    std::vector<Output> outputs;
    for (const Report& r : reports)
        if (!r.path.empty()) outputs.push_back({r.option, r.path, "the report"});
    const std::size_t first_page = outputs.size();
    std::vector<std::string> page_names;
    if (!args.feedback.empty()) {
        page_names = feedback_page_names(args.programs);
        const std::string folder =
            args.feedback.back() == '/' ? args.feedback : args.feedback + "/";
        for (const std::string& name : page_names)
            outputs.push_back({"--feedback", folder + name, "the page", true});
        outputs.push_back({"--feedback", folder + "index.html", "the page", true});
    }
    if (const int status = check_outputs(outputs, inputs)) return status;

    GradedBatch batch{suite, args.suite, {}};
    batch.programs.reserve(args.programs.size());
    bool all_pass = true;
    for (const std::string& path : args.programs) {
        batch.programs.push_back(grade_program(suite, path));
        all_pass = all_pass && batch.programs.back().passed() == suite.cases.size();
    }

    std::cout << (args.tap ? tap_report(batch) : table_report(batch));
    OutputWriter writer(outputs);
    std::size_t k = 0;
    for (const Report& r : reports)
        if (!r.path.empty() && !writer.stage(k++, r.write(batch))) return exit_failed;
    if (!args.feedback.empty() && !stage_feedback(writer, first_page, page_names, batch))
        return exit_failed;
    if (!writer.commit()) return exit_failed;
    const int status = all_pass ? exit_ok : exit_failed;
    return status;
}
