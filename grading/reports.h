// What `isa4 test` writes: a table for the teacher, TAP for test harnesses, JUnit XML for
// CI servers, Gradescope's results.json and CSV for a spreadsheet. Each report is built
// whole as text; the caller prints it or saves it. Each format has a source of its
// own (table_report.cpp ...), over the pieces in report_text.h.
//
// Names and messages come from the programs and the suite, so every report escapes
// them for its own syntax, and control bytes and bytes that are not UTF-8 show as \xNN.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "grading/grader.h"
#include "grading/suite.h"

struct GradedBatch {
    const Suite& suite;
    std::string suite_path;
    std::vector<ProgramResult> programs;
};

// One row per program (cases passed, points, steps of each case), then the problems of
// every failing case.
std::string table_report(const GradedBatch& batch);

// TAP version 13: one test point per program and case; a failing point carries its
// result, steps and problems as a YAML block.
std::string tap_report(const GradedBatch& batch);

// JUnit XML: a <testsuite> per program, a <testcase> per case (classname the program,
// name the case), <failure> for a failed case, <error> for a program that was not graded.
std::string junit_report(const GradedBatch& batch);

// Gradescope's results.json for one program: score, and a test per case with its name,
// score, max_score, status, output and visibility.
std::string gradescope_report(const GradedBatch& batch, const ProgramResult& program);

// program,case,result,steps,points,max_points: one row per program and case.
std::string csv_report(const GradedBatch& batch);

// Valid UTF-8 kept; control bytes (tab too) and stray bytes as \xNN.
std::string printable(std::string_view text);
