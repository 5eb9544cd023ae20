// Grading programs against a suite: each program is read and assembled once, then every
// case runs on a fresh machine in this process. Nothing a program holds or does stops the
// batch: a file that cannot be read or assembled fails every case with its reasons, and
// a run is always bounded by its case's step limit.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "grading/suite.h"

enum class Verdict : std::uint8_t {
    pass,
    fail,     // wrong end state, a step bound missed, or halted before an `until limit`
    no_halt,  // did not halt within the case's step limit
    error,    // the program could not be read, loaded or assembled
};

struct CaseResult {
    Verdict verdict = Verdict::error;
    std::uint64_t steps = 0;
    // Earned: the case's points when it passes, else 0; for a `partial` case that ran to
    // its end as `until` asks, points * lines met / lines, rounded down.
    unsigned points = 0;
    double seconds = 0;
    // Why it failed: "r1 is 03, expected 04" at the suite line it comes from (line 0
    // when it comes from no line).
    std::vector<Diagnostic> problems;
};

struct ProgramResult {
    std::string path;
    bool graded = false;                // read and assembled (or loaded)
    std::string failure;                // else "does not assemble", "cannot be read" ...
    std::vector<std::string> reasons;   // why not: the file's error or the assembler's messages
    std::vector<std::string> warnings;  // the assembler's, "file:line:column: warning: ..."
    std::vector<CaseResult> cases;      // one per suite case, in suite order
    Isa4::Rom rom{};                    // what the cases ran, when graded
    std::string source;                 // the program's text, when it was assembled
    std::array<int, 256> word_lines{};  // the source line of each word, 0 for none

    unsigned passed() const;
    std::uint64_t points() const;
};

// The most assembler messages kept for one program; a longer list ends with a count.
inline constexpr std::size_t max_reasons = 20;

// The most problems kept for one case (a case that checks every cell could list 256);
// a longer list ends with "... and N more problems".
inline constexpr std::size_t max_problems = 10;

ProgramResult grade_program(const Suite& suite, const std::string& path);

// Parses a suite (`parse_suite`) and, when it reads without mistakes and names a model,
// runs the model on every case: its end state gives the `compare` lines' values and its
// steps the bounds on `model`; a model that fails a case is a mistake of the suite.
Suite read_suite(std::string_view text, const std::string& folder);

// Reads and assembles (or loads) a program as `grade_program` does, running nothing: sets
// `graded`, `failure`, `reasons`, `warnings`, `rom`, `source` and `word_lines`; `placed`,
// when given, marks the words the program places.
ProgramResult read_program(const std::string& path, CheckedArray<bool, 256>* placed = nullptr);

// The machine as case `c` starts it, holding `rom`.
Isa4 case_start(const SuiteCase& c, const Isa4::Rom& rom);

// What a run of case `c` that took `steps` and ended as `end` misses of the case's
// expectations, unchanged cells and step bounds (those on the model only when
// `model_bounds`), each at its suite line.
std::vector<Diagnostic> case_problems(const SuiteCase& c, const Isa4& end, std::uint64_t steps,
                                      bool model_bounds);

// "inputs: [00] = 05, [10..12] = 01, 02, 03": the cells a generated case drew.
std::string drawn_inputs_text(const SuiteCase& c);

// True when a program file is to be assembled rather than loaded as an image, by the rule
// every reader shares (`classify_file` in formats/image_formats.h): text with no NUL byte
// whose first line is neither Intel HEX nor Logisim's header, and not a raw image's 768
// bytes that are no UTF-8 text or hold no line end. The two names are one test.
bool looks_like_source(const std::string& bytes);
bool reads_as_source(const std::string& bytes);

// "pass", "fail", "did not halt", "error": the result's name in every report.
const char* verdict_name(Verdict v);
