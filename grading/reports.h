// What `isa4 test` writes: a table for the teacher, TAP for test harnesses, JUnit XML for
// CI servers, Markdown for a CI job's summary, Gradescope's results.json and CSV for a
// spreadsheet. Each format has a source of its own (table_report.cpp ...), over the
// pieces in report_text.h.
//
// A class is graded one program at a time, and each program's result is dropped once
// its reports are written, so memory does not grow with the class. A report is therefore
// written in parts: `program` gives one program's parts as soon as it is graded, and
// `head` and `middle`, which may hold totals, are asked for once every program is done.
// The whole report is
//
//   head  +  every program's `body`  +  middle  +  every program's `notes`
//
// and the caller keeps the programs' parts outside memory until then (cli/ spools them).
//
// Names and messages come from the programs and the suite, so every report escapes
// them for its own syntax (printable(), then the format's own escape).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "grading/grader.h"
#include "grading/suite.h"

// What the reports know before any program is graded.
struct GradedBatch {
    const Suite& suite;
    std::string suite_path;
    std::vector<std::string> paths;  // every program to grade, in order
};

// The little that each graded program leaves for the totals and the class's page.
struct ProgramSummary {
    std::string path;
    bool graded = false;
    unsigned passed = 0;
    std::uint64_t points = 0;
    double seconds = 0;
    std::vector<Verdict> verdicts;     // one per case
    std::vector<std::uint32_t> steps;  // one per case, at most 2^32 - 1
};

ProgramSummary summary_of(const ProgramResult& program);

struct ReportParts {
    std::string body;
    std::string notes;
};

class ReportFormat {
public:
    virtual ~ReportFormat() = default;
    // `index`: the program's place in `batch.paths`.
    virtual ReportParts program(const GradedBatch& batch, std::size_t index,
                                const ProgramResult& p) const = 0;
    virtual std::string head(const GradedBatch& batch,
                             const std::vector<ProgramSummary>& all) const = 0;
    virtual std::string middle(const GradedBatch&, const std::vector<ProgramSummary>&) const {
        return "";
    }
};

// One row per program (cases passed, points, steps of each case), then the problems of
// every failing case.
const ReportFormat& table_format();

// TAP version 13: one test point per program and case; a failing point carries its
// result, steps and problems as a YAML block.
const ReportFormat& tap_format();

// JUnit XML: a <testsuite> per program, a <testcase> per case (classname the program
// with its dots as '_', name the case, file the program), <failure> for a failed case,
// <error> for a program that was not graded.
const ReportFormat& junit_format();

// program,case,visibility,result,steps,points,max_points: one row per program and case.
const ReportFormat& csv_format();

// GitHub-flavoured Markdown for a CI job's summary: a table of the programs, then a
// table of the cases of each. A case that is not visible shows as "hidden case N" with
// its result and points: never its name or its problems.
const ReportFormat& markdown_format();

// A whole report of programs already graded, for tests and small batches.
std::string whole_report(const ReportFormat& format, const GradedBatch& batch,
                         const std::vector<ProgramResult>& programs);

// Gradescope's results.json for one program: the real score, the execution time, an
// output that counts only the cases students may see now, and a test per case with its
// name, score, max_score, status, output and visibility.
std::string gradescope_report(const GradedBatch& batch, const ProgramResult& program,
                              double seconds);

// A results.json for a submission that could not be graded at all (no program, several,
// a broken suite): score 0 and the message.
std::string gradescope_failure(std::string_view message);

// PrairieLearn's external-grader results.json for one program: `gradable` false with the
// program's `format_errors` when it could not be read or assembled (the attempt then
// does not count), else the score from 0 to 1, a message that counts the visible cases,
// the assembler's warnings as output, and a test per visible case with its name, points,
// max_points, verdict as message and its problems as output. Cases that are not visible
// count in the score only.
std::string prairielearn_report(const GradedBatch& batch, const ProgramResult& program);

// A results.json for a submission that could not be graded at all: `gradable` false,
// each line of the message a format error.
std::string prairielearn_failure(std::string_view message);
