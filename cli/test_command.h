// `isa4 test SUITE PROGRAM...`: grades programs against a suite and reports the results
// as a table or TAP on standard output, and as JUnit XML, Gradescope or PrairieLearn
// JSON, CSV or Markdown files.
//
// Exit status: 0 when every case of every program passes, 1 when any fails, a submission
// folder holds no program or several, or a report cannot be written, 2 for bad usage or
// a suite with mistakes (then nothing runs).
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

struct TestArgs {
    std::string suite;
    std::vector<std::string> programs;
    std::string submission_dir;  // grade the one program found there instead
    bool tap = false;
    std::string junit;
    std::string gradescope;
    std::string prairielearn;  // PrairieLearn's results.json
    std::string csv;
    std::string markdown;
    std::string feedback;  // a folder for the web pages, one per program and index.html
};

CLI::App* add_test_command(CLI::App& app, TestArgs& args);
int run_test(const TestArgs& args);
