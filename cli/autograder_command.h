// `isa4 autograder SUITE -o autograder.zip [--package isa4_VERSION_ARCH.deb]`: a
// Gradescope autograder for one exercise, ready to upload. The archive holds, at its root,
// setup.sh (which Gradescope runs once, as root, when it builds the image) and
// run_autograder (which it runs for every submission, from /autograder), and below
// suite/ the suite, every RAM image its cases load and its model program, under the
// names the suite gives them. With --package it holds isa4's Debian package too, as
// isa4.deb, which setup.sh installs with apt; without it setup.sh needs isa4 on the image
// already and says so.
//
// run_autograder grades the one program in /autograder/submission with
// `isa4 test --submission-dir ... --gradescope /autograder/results/results.json`; the
// environment variable AUTOGRADER_ROOT puts that tree elsewhere, for a trial run.
//
// With `--for prairielearn` it writes a PrairieLearn question folder instead: info.json
// (external grading on, the image given with --image, entrypoint /grade/tests/run.sh),
// question.html (a file upload for program.s and the grader's results), and below tests/
// run.sh and, below tests/suite/, the suite and its files as above. PrairieLearn copies
// tests/ to /grade/tests and the student's file to /grade/student; run.sh grades it with
// `isa4 test --submission-dir ... --prairielearn /grade/results/results.json`, and
// GRADE_ROOT puts that tree elsewhere, for a trial run.
//
// Exit status: 0 when the archive is written, 1 when a file cannot be read or written, 2
// for bad usage, a suite with mistakes, a RAM image outside the suite's folder or a
// package that is not a Debian package.
#pragma once

#include <string>

namespace CLI {
class App;
}

struct AutograderArgs {
    std::string suite;
    std::string output;
    std::string package;                  // isa4's Debian package, or empty
    std::string platform = "gradescope";  // or "prairielearn"
    std::string image;                    // PrairieLearn: the Docker image that has isa4 installed
};

CLI::App* add_autograder_command(CLI::App& app, AutograderArgs& args);
int run_autograder(const AutograderArgs& args);
