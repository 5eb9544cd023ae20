// The pieces every report format of `isa4 test` shares: counts in words, the lines that
// explain a case, and the escapes of XML, JSON and CSV.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "grading/reports.h"

std::string plural(std::uint64_t n, const char* one, const char* many);

// "3 of 5 programs passed every case.": the table's and the Markdown's last line.
std::string every_case_passed(const GradedBatch& batch, const std::vector<ProgramSummary>& all);

// "multiply.suite:12:5: r1 is 03, expected 04", or the bare text for a problem that
// comes from no line of the suite.
std::string located(const GradedBatch& batch, const Diagnostic& p);

// Every line that explains a case's result: the program's reasons when it was not
// graded, else the case's problems.
std::vector<std::string> explanation(const GradedBatch& batch, const ProgramResult& program,
                                     const CaseResult& result);

std::string joined(const std::vector<std::string>& lines);

std::string xml_escaped(std::string_view text);

// A CSV field (RFC 4180). A field that a spreadsheet would take for a formula gets a
// leading apostrophe, so that a file name cannot run one.
std::string csv_field(std::string_view text);

// A Markdown table cell: '|', '`', '*', '_', '[', ']', '\\' and the like escaped with a
// backslash, '<' and '&' as entities, line ends as <br>.
std::string markdown_cell(std::string_view text);

// The sum of every case's points, in 64 bits whatever the suite's own total.
std::uint64_t total_points(const Suite& suite);

std::string padded_left(const std::string& s, std::size_t width);

std::string padded_right(const std::string& s, std::size_t width);
