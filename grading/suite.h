// Suite files: one exercise for `isa4 test`, as named cases that each set up RAM, run the
// program from reset and check the end state.
//
//   # multiply.suite
//   limit 2000                    step limit of every case (default 100000)
//   max words 12                  the program places at most 12 words
//   model model.s                 the teacher's solution, which must pass every case
//
//   case six times seven          a case runs to the next `case` line
//     set    [0x00..0x01] = 6, 7  RAM cells at start, as in RAM data files
//     expect [0x02] = 42          one expectation line, as in --expect files
//     steps  <= 2 * model         a bound on the steps taken
//
// Every keyword, where it may stand and how often, is in the table of
// grading/suite_keywords.h. Keywords may be written in either case; `;` and `#` start
// comments (in a case name or a file name only after a space). The name of a case is the
// rest of its line. Every mistake is a diagnostic; a suite with any is not run.
#pragma once

#include <array>
#include <bitset>
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

// How a case's RAM starts under the cells it sets or draws: zeros, or (`ram random`) every
// other cell drawn from `seed` and the case's name. A case with a `ram` image starts as
// the image says.
struct RamStart {
    bool random = false;
    std::uint64_t seed = 1;
    int line = 0;  // of the `ram random` line, 0 when none was given
    int column = 0;
};

// What a run may not do at all, not even for a step: `never writes [first..last]`,
// `never writes rN` (first = last = N) or `never reads [first..last]`.
struct NeverRule {
    enum Kind { write_cells, write_register, read_cells } kind = write_cells;
    unsigned first = 0;
    unsigned last = 0;
    int line = 0;
    int column = 0;
};

// How much a failed case tells: everything (`full`, the default); which visible cases
// failed and their hints, no expected value, input or trace (`brief`); the points only
// (`score`).
enum class Feedback { full, brief, score };

// "full", "brief", "score".
const char* feedback_name(Feedback f);

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
    int line = 0;     // of its `case` line
    Isa4::Ram ram{};  // RAM at reset
    // The `ram` line's image (an index into Suite::ram_images, -1 for none), loaded
    // under the cells the case's `set` lines and `generate` line write.
    int ram_image = -1;
    std::array<bool, 256> ram_set{};
    Isa4::Registers registers{};  // registers at reset
    bool z = false;
    std::uint8_t pc = 0xFF;  // as `reset` leaves it: the next step executes word 00
    RegisterStart start;
    std::vector<unsigned> random_registers;  // the registers drawn at random, in order
    StateFile expect;                        // the expectation entries
    std::vector<StepBound> bounds;
    std::vector<CellRange> unchanged;  // the file's ranges, then the case's
    RamStart ram_start;
    std::bitset<256> random_cells;  // the cells `ram random` drew
    std::vector<NeverRule> never;   // the file's rules, then the case's
    Feedback feedback = Feedback::full;
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

// A file a suite line names: a case's RAM image, or the teacher's solution that `compare`
// lines and bounds on `model` are taken from.
struct SuiteFile {
    std::string name;  // as written; "" when the suite names none
    std::string path;  // where it is read: set by `resolve_suite_files`
    int line = 0;
    int column = 0;
};

struct Suite {
    std::vector<SuiteCase> cases;
    std::vector<SuiteFile> ram_images;  // the `ram` lines, in order
    SuiteFile model;
    WordLimit max_words;
    std::vector<ForbiddenForm> forbidden;
    std::vector<Diagnostic> diagnostics;

    bool ok() const { return diagnostics.empty(); }
    std::uint64_t total_points() const;
};

// Reads a suite's text; reads no file. The `ram` images and the model are found and read
// by `read_suite` (grading/grader.h), which parses, resolves the files and runs the model.
Suite parse_suite(std::string_view text);

// Where a file a suite names is read: a name from the suite's `folder` ("" for the
// current directory), an absolute path as it is.
std::string suite_file_path(const std::string& folder, const std::string& name);

// Sets the paths of the suite's files and loads the cases' RAM images under their `set`
// cells; an image that cannot be loaded is a mistake at its `ram` line.
void resolve_suite_files(Suite& suite, const std::string& folder);

// A case's step bounds that no run can meet, against its step limit, its `until` and each
// other: the first such, added to `out`.
void check_bounds(const SuiteCase& c, std::vector<Diagnostic>& out);

// True when a bound of case `c` is taken from the model's steps.
bool bounds_on_model(const SuiteCase& c);

// The folder part of a path, "" when it has none: "ex/a.suite" -> "ex/".
std::string folder_of(const std::string& path);
