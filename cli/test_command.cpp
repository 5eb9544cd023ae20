#include "cli/test_command.h"

#include <dirent.h>
#include <sys/stat.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

#include "cli/cli_io.h"
#include "grading/feedback_page.h"
#include "grading/grader.h"
#include "grading/reports.h"
#include "grading/suite.h"
#include "grading/suite_keywords.h"
#include "machine/image_file.h"
#include "text/source_text.h"

namespace {

// A report's parts kept outside memory until the class is graded: an unnamed temporary
// file (std::tmpfile) that goes when it is closed; in memory where none can be made.
class Spool {
public:
    Spool() : file_(std::tmpfile()) {}
    ~Spool() {
        if (file_ != nullptr) std::fclose(file_);
    }
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    void add(const std::string& text) {
        if (file_ == nullptr)
            memory_ += text;
        else if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size())
            failed_ = true;
    }

    // Hands back everything added, piece by piece; false when the spool lost some.
    bool replay(const std::function<bool(std::string_view)>& put) {
        if (file_ == nullptr) return put(memory_);
        if (failed_ || std::fflush(file_) != 0) return false;
        std::rewind(file_);
        char buffer[1 << 16];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
            if (!put(std::string_view(buffer, n))) return false;
        return std::ferror(file_) == 0;
    }

private:
    std::FILE* file_;
    std::string memory_;
    bool failed_ = false;
};

struct Report {
    const char* option;
    const std::string& path;  // empty when not asked for
    const ReportFormat& format;
    Spool body;
    Spool notes;
};

// Writes a report whole: its head, the programs' bodies, its middle, their notes.
bool put_report(Report& r, const GradedBatch& batch, const std::vector<ProgramSummary>& all,
                const std::function<bool(std::string_view)>& put) {
    return put(r.format.head(batch, all)) && r.body.replay(put) &&
           put(r.format.middle(batch, all)) && r.notes.replay(put);
}

bool put_stdout(std::string_view piece) {
    std::cout << piece;
    return true;
}

std::string lower_extension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? "" : lower(name.substr(dot));
}

// The programs in a submission folder: files named *.s, *.asm or *.isa4 (sources, the
// last as the editors' set-ups name them) or *.rom,
// *.bin, *.hex, *.ihex or *.img (images), in any case, in the folder and the folders
// under it; names that start with '.' (and what is under them) and __MACOSX are skipped.
void find_programs(const std::string& dir, std::vector<std::string>& found, int depth) {
    DIR* d = opendir(dir.c_str());
    if (d == nullptr || depth > 16) {
        if (d != nullptr) closedir(d);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* e = readdir(d)) names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (name.empty() || name[0] == '.' || name == "__MACOSX") continue;
        const std::string path = (dir.back() == '/' ? dir : dir + "/") + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            find_programs(path, found, depth + 1);
            continue;
        }
        static const char* const extensions[] = {".s",   ".asm", ".isa4", ".rom",
                                                 ".bin", ".hex", ".ihex", ".img"};
        const std::string ext = lower_extension(name);
        for (const char* e : extensions)
            if (ext == e) found.push_back(path);
    }
}

// Saves the results.json files asked for (Gradescope's, PrairieLearn's) that say why
// nothing was graded; false when one cannot be saved.
bool save_failure(const TestArgs& args, const std::string& message) {
    bool saved_all = true;
    const std::pair<const std::string&, std::string> files[] = {
        {args.gradescope, gradescope_failure(message)},
        {args.prairielearn, prairielearn_failure(message)},
    };
    for (const auto& [path, text] : files) {
        if (path.empty()) continue;
        const FileResult saved = save_file(path.c_str(), text);
        if (!saved)
            print_diagnostic(path,
                             Diagnostic{0, 0, "cannot write the report (" + saved.reason + ")"});
        saved_all = saved_all && static_cast<bool>(saved);
    }
    return saved_all;
}

}  // namespace

CLI::App* add_test_command(CLI::App& app, TestArgs& args) {
    CLI::App* cmd = app.add_subcommand(
        "test", "Grade programs (sources or ROM images) against the cases of a .suite file");
    const CLI::Validator named(name_check, "", "");
    const CLI::Validator folder_named(
        [](const std::string& text) { return text.empty() ? "a folder name cannot be empty" : ""; },
        "", "");
    cmd->add_option("SUITE", args.suite, "the exercise: cases, inputs and expectations")
        ->required()
        ->type_name("FILE");
    CLI::Option* programs =
        cmd->add_option("PROGRAM", args.programs, "sources or ROM images to grade")
            ->type_name("FILE...");
    CLI::Option* dir =
        cmd->add_option(
               "--submission-dir", args.submission_dir,
               "grade the one program in DIR and the folders under it (*.s, *.asm, *.isa4, "
               "*.rom, *.bin, *.hex, *.ihex, *.img; hidden files skipped)")
            ->check(folder_named)
            ->type_name("DIR");
    programs->excludes(dir);
    dir->excludes(programs);
    cmd->add_flag("--tap", args.tap, "print TAP (version 13) instead of the table");
    cmd->add_option("--junit", args.junit, "write JUnit XML: a testsuite per program")
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("--gradescope", args.gradescope,
                    "write Gradescope's results.json (one program only)")
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("--prairielearn", args.prairielearn,
                    "write PrairieLearn's external-grader results.json (one program only)")
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("--csv", args.csv, "write a row per program and case")
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("--markdown", args.markdown,
                    "write Markdown tables, e.g. for $GITHUB_STEP_SUMMARY (cases that are not "
                    "visible: verdict only)")
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("--feedback", args.feedback,
                    "write a web page per program into DIR (hidden cases: verdict only), "
                    "and index.html for the class")
        ->check(folder_named)
        ->type_name("DIR");
    cmd->footer(suite_keywords_help() +
                "\nExit status: 0 every case of every program passes, 1 a case fails, a "
                "submission folder holds no program or several, or a report cannot be written, 2 "
                "bad usage or a mistake in the suite.");
    return cmd;
}

int run_test(const TestArgs& args) {
    const auto started = std::chrono::steady_clock::now();
    Report reports[] = {
        {"--junit", args.junit, junit_format(), {}, {}},
        {"--csv", args.csv, csv_format(), {}, {}},
        {"--markdown", args.markdown, markdown_format(), {}, {}},
    };
    static const std::string standard_output = "-";
    Report shown{args.tap ? "--tap" : "the table",
                 standard_output,
                 args.tap ? tap_format() : table_format(),
                 {},
                 {}};

    std::vector<std::string> programs = args.programs;
    if (args.submission_dir.empty() && programs.empty()) {
        return usage_error("name the programs to grade, or --submission-dir");
    }
    std::vector<std::string> inputs = programs;
    inputs.push_back(args.suite);
    for (const std::string& p : inputs) {
        if (p.empty()) {
            return usage_error("an empty file name");
        }
    }
    for (const auto& [option, path] :
         {std::pair<const char*, const std::string&>{"--gradescope", args.gradescope},
          {"--prairielearn", args.prairielearn}}) {
        if (!path.empty() && programs.size() > 1) {
            return usage_error(std::string(option) + " grades one program, not " +
                               std::to_string(programs.size()));
        }
    }
    const auto text = read_text_input(args.suite);
    if (!text) {
        save_failure(args, "The autograder cannot read its suite; nothing was graded.");
        return exit_usage;
    }
    const Suite suite = read_suite(*text, folder_of(args.suite));
    if (!suite.ok()) {
        for (const Diagnostic& d : suite.diagnostics) print_diagnostic(args.suite, d);
        std::cerr << escape_for_message(args.suite) << ": " << suite.diagnostics.size()
                  << (suite.diagnostics.size() == 1 ? " error" : " errors")
                  << "; nothing was run\n";
        // The student sees that the fault is not theirs, but not the suite's lines.
        save_failure(args, "The autograder's suite has a mistake; nothing was graded.");
        return exit_usage;
    }
    for (const SuiteFile& image : suite.ram_images) inputs.push_back(image.path);
    if (!suite.model.path.empty()) inputs.push_back(suite.model.path);

    if (!args.submission_dir.empty()) {
        struct stat st;
        const bool exists = stat(args.submission_dir.c_str(), &st) == 0;
        const int error = errno;
        if (!exists || !S_ISDIR(st.st_mode)) {
            const std::string problem = "cannot read the submission folder " +
                                        escape_for_message(args.submission_dir) + " (" +
                                        (exists ? "Not a directory" : std::strerror(error)) + ")";
            save_failure(args, problem);
            return usage_error(problem);
        }
        find_programs(args.submission_dir, programs, 0);
        std::string problem;
        if (programs.empty()) {
            problem =
                "No program was found in the submission " +
                escape_for_message(args.submission_dir) +
                ": hand in a source (*.s, *.asm, *.isa4) or a ROM image (*.rom, *.bin, *.hex, "
                "*.ihex, *.img).";
        } else if (programs.size() > 1) {
            problem = "The submission holds " + std::to_string(programs.size()) +
                      " programs; hand in only one:";
            for (const std::string& p : programs) problem += "\n  " + escape_for_message(p);
        }
        if (!problem.empty()) {
            std::cerr << "isa4 test: error: " << problem << "\n";
            save_failure(args, problem);
            return exit_failed;
        }
        inputs.insert(inputs.end(), programs.begin(), programs.end());
    }

    // The reports, results.json, then a page per program and index.html in the feedback
    // folder: all checked before anything is graded, and written all or none.
    std::vector<Output> outputs;
    for (const Report& r : reports) outputs.push_back({r.option, r.path, "the report"});
    outputs.push_back({"--gradescope", args.gradescope, "the report"});
    const std::size_t gradescope_output = outputs.size() - 1;
    outputs.push_back({"--prairielearn", args.prairielearn, "the report"});
    const std::size_t first_page = outputs.size();
    std::vector<std::string> page_names;
    if (!args.feedback.empty()) {
        page_names = feedback_page_names(programs);
        const std::string folder =
            args.feedback.back() == '/' ? args.feedback : args.feedback + "/";
        for (const std::string& name : page_names)
            outputs.push_back({"--feedback", folder + name, "the page", 1});
        outputs.push_back({"--feedback", folder + "index.html", "the page", 1});
    }
    // Reports not asked for stay in the list, with no name, so that their index is fixed.
    std::vector<Output> named;
    for (const Output& o : outputs)
        if (!o.path.empty()) named.push_back(o);
    if (const int status = check_outputs(named, inputs)) return status;
    OutputWriter writer(outputs);

    // Each program is graded, its parts of every report spooled and its page staged,
    // then its result is dropped: only its summary stays.
    const GradedBatch batch{suite, args.suite, programs};
    bool staged = true;  // every page so far is in its temporary file
    std::vector<ProgramSummary> all;
    all.reserve(programs.size());
    std::string gradescope, prairielearn;
    for (std::size_t i = 0; i < programs.size(); ++i) {
        const ProgramResult result = grade_program(suite, programs[i]);
        for (Report* r : {&shown, &reports[0], &reports[1], &reports[2]}) {
            if (r != &shown && r->path.empty()) continue;
            ReportParts parts = r->format.program(batch, i, result);
            r->body.add(parts.body);
            r->notes.add(parts.notes);
        }
        if (!args.gradescope.empty()) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            gradescope = gradescope_report(batch, result, seconds);
        }
        if (!args.prairielearn.empty()) prairielearn = prairielearn_report(batch, result);
        if (!args.feedback.empty() && staged)
            staged = writer.stage(first_page + i, student_page(batch, result));
        all.push_back(summary_of(result));
    }

    bool all_pass = true;
    for (const ProgramSummary& p : all) all_pass = all_pass && p.passed == suite.cases.size();
    int status = all_pass ? exit_ok : exit_failed;
    if (!put_report(shown, batch, all, put_stdout)) {
        std::cerr << "isa4 test: error: cannot keep the table while grading (temporary files)\n";
        status = exit_failed;
    }
    for (std::size_t k = 0; k < std::size(reports) && staged; ++k) {
        Report& r = reports[k];
        if (r.path.empty()) continue;
        staged = writer.stage_from(
            k, [&](const PieceSink& put) { return put_report(r, batch, all, put); });
    }
    if (staged && !args.gradescope.empty()) staged = writer.stage(gradescope_output, gradescope);
    if (staged && !args.prairielearn.empty())
        staged = writer.stage(gradescope_output + 1, prairielearn);
    if (staged && !args.feedback.empty())
        staged = writer.stage(first_page + programs.size(), class_page(batch, page_names, all));
    // Nothing is written unless every file could be.
    if (!staged || !writer.commit()) return exit_failed;
    return status;
}
