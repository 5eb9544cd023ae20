// The suite reader's state, shared by its parts (grading/ only): the line dispatch
// (suite_reader.cpp), the keywords' handlers that build a case (suite_case.cpp), the checks
// across cases (suite_checks.cpp) and the expansion of generated cases and random starts
// (suite_expand.cpp).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grading/suite.h"
#include "text/source_text.h"

struct SuiteKeyword;

// One keyword's line, as its handler gets it: the scanner stands after the keyword.
struct KeywordLine {
    std::string_view text;  // the whole line
    LineScanner& scan;
    int column;  // of the keyword
    const SuiteKeyword& keyword;
};

// The `generate` line of a case.
struct Generate {
    unsigned count = 0;
    std::uint64_t seed = 1;
    std::vector<DrawnCells> cells;
    int line = 0;
    int column = 0;
};

class SuiteParser {
public:
    explicit SuiteParser(Suite& suite) : suite_(suite) {}

    void line(std::string_view text, int number);
    void finish();

    // The handlers of the keyword table, one per keyword (the visibilities share one).
    void case_line(KeywordLine& l);
    void limit(KeywordLine& l);
    void registers(KeywordLine& l);
    void set(KeywordLine& l);
    void max(KeywordLine& l);
    void forbid(KeywordLine& l);
    void unchanged(KeywordLine& l);
    void model(KeywordLine& l);
    void ram(KeywordLine& l);
    void expect(KeywordLine& l);
    void compare(KeywordLine& l);
    void steps(KeywordLine& l);
    void points(KeywordLine& l);
    void partial(KeywordLine& l);
    void hint(KeywordLine& l);
    void visibility(KeywordLine& l);
    void until(KeywordLine& l);
    void generate(KeywordLine& l);
    void never(KeywordLine& l);
    void feedback(KeywordLine& l);

private:
    void error(const LineScanner& scan, int column, std::string message) {
        suite_.diagnostics.push_back(scan.error_at(column, std::move(message)));
    }
    bool said_once(const KeywordLine& l);
    void start_entry(const StateEntry& e, std::vector<StateEntry>& scope);
    SuiteCase& current() { return suite_.cases.back(); }

    // Checks across the cases (suite_checks.cpp).
    void close_case();
    void checks_something(const SuiteCase& c);
    void check_expectations();
    void check_unchanged_expected(const SuiteCase& c);
    bool unique_name(const SuiteCase& c, int column);
    void add_points(const SuiteCase& c, std::uint64_t count);

    // Generated cases and random starts (suite_expand.cpp).
    void draw_start_state(SuiteCase& c);
    void expand_generated();

    Suite& suite_;
    std::uint64_t default_limit_ = default_step_limit;
    bool in_case_ = false;  // a `case` line has opened current()
    std::optional<std::uint64_t> case_limit_;
    StateFile cells_;  // the current case's `set` lines of RAM cells
    RegisterStart file_start_, case_start_;
    RamStart file_ram_start_, case_ram_start_;
    std::vector<NeverRule> file_never_;
    Feedback file_feedback_ = Feedback::full;
    std::optional<Feedback> case_feedback_;
    // `set` lines of registers, z and pc: the file's, then the current case's over them.
    std::vector<StateEntry> file_set_, case_set_;
    std::vector<CellRange> file_unchanged_;
    std::optional<Generate> generate_;  // the current case's `generate` line
    // What was said once per file, or once per case (a keyword's `once`): its line.
    std::map<std::string, int> file_said_, case_said_;
    std::map<std::string, int> names_;  // every case's name and its line
    std::uint64_t points_ = 0;          // of the cases closed so far
    bool points_refused_ = false;
    bool cases_refused_ = false;
    int name_column_ = 1;  // of the current case's name
};
