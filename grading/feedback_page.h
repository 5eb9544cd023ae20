// The feedback pages of a graded batch: a web page per graded program for its author
// (`isa4 test --feedback DIR` writes them, and the page in the browser shows one when a
// student checks a program), and index.html for the teacher, all made by the trace
// pages' writer (trace/page.h).
//
// A student's page gives each case's verdict and points and, for a visible case that
// failed, its mismatches and a view of its run that opens at the end with the values
// that differ marked. A hidden case shows its verdict and points only: not its name, its
// inputs, its expectations nor its run. index.html shows the pass rate of every case,
// a histogram of points, the slowest passing programs of each case and a link to every
// page.
#pragma once

#include <string>
#include <vector>

#include "grading/reports.h"

// The page name of each program: the shortest ending of its path that tells it from the
// others (`ann/multiply.s` and `ben/multiply.s` give ann-multiply.s.html and
// ben-multiply.s.html), with every byte but letters, digits, '.', '_' and '-' as '_', no
// leading '.', and a number added where two would still be the same name (also when they
// differ only in case). None is index.html.
std::vector<std::string> feedback_page_names(const std::vector<std::string>& programs);

// The most steps a page of feedback records of one case's run.
inline constexpr std::uint64_t feedback_recorded_steps = default_step_limit;

// One program's page, made as soon as it is graded.
std::string student_page(const GradedBatch& batch, const ProgramResult& program);

// index.html, from what every program left once all are graded; `names` are their pages.
std::string class_page(const GradedBatch& batch, const std::vector<std::string>& names,
                       const std::vector<ProgramSummary>& all);
