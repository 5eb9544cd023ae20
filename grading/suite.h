// Suite files: one exercise for `isa4 test`, as named cases that each set up RAM, run the
// program from reset and check the end state.
//
//   # multiply.suite
//   limit 2000                    step limit of every case (default 100000)
//
//   registers random              start state of every case: `registers zero` (the
//                                 default) or random r1..rf, drawn from `seed N` (1 if
//                                 not given) and the case's name
//   set    r3 = 5                 also before the first case: a register, z or pc at start
//
//   max words 12                  the program places at most 12 words
//   forbid MOVE MM, ADD           instructions it may not hold (a MOVE kind, or a mnemonic)
//   unchanged [0x20..0xFF]        cells every case must leave as they started (also in a
//                                 case, for that case)
//
//   case six times seven          a case runs to the next `case` line
//     ram    six-seven.ram        RAM image loaded first (named from the suite's folder)
//     set    [0x00..0x01] = 6, 7  RAM cells written over it, as in RAM data files
//     set    r2 = 0x10            a register, z or pc at start, over the file's
//     registers zero              this case's registers, over the file's
//     expect [0x02] = 42          one expectation line, as in --expect files
//     expect r2 = 0
//     steps  <= 80                a bound on the steps taken (<, <=, ==, >=, >)
//     limit  500                  this case's step limit
//     points 2                    weight, default 1
//     hidden                      who sees the case on a grading platform: visible (the
//                                 default), hidden (never the student), after_due_date
//                                 or after_published
//     until  limit                the run must reach its step limit; the default,
//                                 `until halt`, needs a halting JZ within it
//     partial                     points per expectation line met (rounded down)
//     hint   "y can be 0"         shown with the case's failure, unless it is hidden
//
//   model  model.s                before the first case: the teacher's solution, which
//                                 must pass every case (bounds on itself aside)
//   case   random                 with `generate`, this case's lines make 20 cases,
//     generate 20 seed 7: [0x00..0x01] in 0..15     "random 1" .. "random 20", their
//     compare [0x02], r2          cells drawn from the seed and the name, expecting what
//     steps  <= 2 * model         the model ends with on [02] and r2
//
// Keywords may be written in either case; `;` and `#` start comments (in a case name or
// a file name only after a space). The name of a case is the rest of its line. Every
// mistake is a diagnostic; a suite with any is not run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "headless/runner.h"
#include "headless/state_file.h"
#include "machine/isa4.h"
#include "text/source_text.h"

inline constexpr std::uint64_t max_step_limit = 1000000000;
// The most points one case may give, and a whole suite (generated cases included).
inline constexpr unsigned max_case_points = 1000000;
inline constexpr std::uint64_t max_suite_points = 1000000000;
// The most cases one `generate` line makes, and a suite in all; the largest factor of
// `K * model`.
inline constexpr unsigned max_generated_cases = 10000;
inline constexpr std::size_t max_suite_cases = 100000;
inline constexpr unsigned max_model_factor = 1000;

struct StepBound {
    enum Compare { less, at_most, equal, at_least, more } compare = at_most;
    std::uint64_t steps = 0;    // for a bound on the model, set once the model has run
    unsigned model_factor = 0;  // `steps <= 2 * model`: 2; 0 for a plain number
    int line = 0;
    int column = 0;

    bool holds(std::uint64_t taken) const;
    std::string text() const;  // "steps <= 80", "steps <= 34 (2 * model)"
};

// How a case's registers start before its `set` lines.
struct RegisterStart {
    bool random = false;  // r1..rf drawn from `seed` and the case name; r0 stays 0
    std::uint64_t seed = 1;
    int line = 0;  // of the `registers` line, 0 when none was given
    int column = 0;
};

// An instruction a program may not hold: the opcodes first..last.
struct ForbiddenForm {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::string name;  // "MOVE MM", "ADD"
    int line = 0;
    int column = 0;
};

struct WordLimit {
    unsigned words = 0;
    int line = 0;  // 0 when the suite sets no limit
    int column = 0;
};

// RAM cells first..last that must end as they started.
struct CellRange {
    unsigned first = 0;
    unsigned last = 0;
    int line = 0;
    int column = 0;
};

// Cells a `generate` line draws for each of its cases, from lo..hi.
struct DrawnCells {
    unsigned first = 0;
    unsigned last = 0;
    unsigned lo = 0;
    unsigned hi = 255;
};

// When a grading platform shows a case to the student; the names are Gradescope's.
enum class Visibility { visible, hidden, after_due_date, after_published };

// "visible", "hidden", "after_due_date", "after_published".
const char* visibility_name(Visibility v);

struct SuiteCase {
    std::string name;
    int line = 0;                 // of its `case` line
    Isa4::Ram ram{};              // RAM at reset
    Isa4::Registers registers{};  // registers at reset
    bool z = false;
    std::uint8_t pc = 0xFF;  // as `reset` leaves it: the next step executes word 00
    RegisterStart start;
    std::vector<unsigned> random_registers;  // the registers drawn at random, in order
    StateFile expect;                        // the expectation entries
    std::vector<StepBound> bounds;
    std::vector<CellRange> unchanged;  // the file's ranges, then the case's
    std::uint64_t limit = default_step_limit;
    unsigned points = 1;
    Visibility visibility = Visibility::visible;
    bool until_halt = true;
    bool partial = false;  // points shared out over the expectation lines
    std::string hint;      // as written between the quotes, "" for none
    int hint_line = 0;
    int hint_column = 0;
    std::vector<StateEntry> compare;  // what the model's end state gives `expect`
    // A generated case: its `generate` line and the cells it drew, shown when it fails.
    int generate_line = 0;
    int generate_column = 0;
    std::vector<DrawnCells> drawn;

    // Not shown to the student now: the reports and pages students read give its verdict
    // and points only.
    bool hidden() const { return visibility != Visibility::visible; }
};

// The teacher's solution that `compare` lines and bounds on `model` are taken from.
struct ModelProgram {
    std::string path;  // "" when the suite names none
    int line = 0;
    int column = 0;
};

struct Suite {
    std::vector<SuiteCase> cases;
    std::vector<std::string> ram_images;  // the paths of the images the cases load
    ModelProgram model;
    WordLimit max_words;
    std::vector<ForbiddenForm> forbidden;
    std::vector<Diagnostic> diagnostics;

    bool ok() const { return diagnostics.empty(); }
    std::uint64_t total_points() const;
};

// `folder` is where the `ram` and `model` names are found ("" for the current directory).
// The values a model gives are not filled in here: `read_suite` (grading/grader.h) parses
// and runs the model.
Suite parse_suite(std::string_view text, const std::string& folder);

// A case's step bounds that no run can meet, against its step limit, its `until` and each
// other: the first such, added to `out`.
void check_bounds(const SuiteCase& c, std::vector<Diagnostic>& out);

// True when a bound of case `c` is taken from the model's steps.
bool bounds_on_model(const SuiteCase& c);

// The folder part of a path, "" when it has none: "ex/a.suite" -> "ex/".
std::string folder_of(const std::string& path);
