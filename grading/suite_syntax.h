// The pieces of a suite line: the rest of a line as a name, counts and addresses in
// range, cell spans, step bounds and quoted hints. Each reader adds a diagnostic to `out`
// on a mistake and hands back nothing (or false).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grading/suite.h"
#include "headless/state_file.h"
#include "text/source_text.h"

inline constexpr std::size_t max_case_name_size = 200;
inline constexpr std::size_t max_hint_size = 200;

// The rest of the line up to a comment, without the spaces around it; the scanner ends
// after it. Here a ';' or '#' starts a comment only at the start or after a space, so
// that `case C# basics` keeps its name whole.
std::string_view rest_of_line(std::string_view line, LineScanner& scan);

// A number in lo..hi.
std::optional<std::uint64_t> read_count(LineScanner& scan, std::uint64_t lo, std::uint64_t hi,
                                        std::vector<Diagnostic>& out);

// The rest of "[a]" or "[a..b]" after its '[': sets first and last.
bool read_cell_span(LineScanner& scan, unsigned& first, unsigned& last,
                    std::vector<Diagnostic>& out);

// "<= 80", "< 2 * model", "== model": the comparison, and the steps or the model's factor;
// `value_column` is where the steps or the factor stand.
bool read_step_bound(LineScanner& scan, StepBound& bound, int& value_column,
                     std::vector<Diagnostic>& out);

// "\"y can be 0\"": the text between the quotes, where \" and \\ stand for a quote and a
// backslash; not empty, at most `max_hint_size` characters, no control characters.
std::optional<std::string> read_quoted_hint(LineScanner& scan, std::vector<Diagnostic>& out);

// "r3", "z", "pc": a register, z or pc of a `set` or `expect` line.
std::string start_name(StateEntry::Target target, unsigned index);
