// The pieces every report format of `isa4 test` shares: counts in words, the lines that
// explain a case, and the escapes of XML, JSON and CSV.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "grading/reports.h"

std::string plural(std::uint64_t n, const char* one, const char* many);

// "multiply.suite:12:5: r1 is 03, expected 04", or the bare text for a problem that
// comes from no line of the suite.
std::string located(const GradedBatch& batch, const Diagnostic& p);

// Every line that explains a case's result: the program's reasons when it was not
// graded, else the case's problems.
std::vector<std::string> explanation(const GradedBatch& batch, const ProgramResult& program,
                                     const CaseResult& result);

std::string joined(const std::vector<std::string>& lines);

std::string xml_escaped(std::string_view text);

std::string json_string(std::string_view text);

// A CSV field (RFC 4180). A field that a spreadsheet would take for a formula gets a
// leading apostrophe, so that a file name cannot run one.
std::string csv_field(std::string_view text);

std::string padded_left(const std::string& s, std::size_t width);

std::string padded_right(const std::string& s, std::size_t width);
