// Checks across a suite's lines, made as each case closes: a case that checks nothing,
// step bounds no run can meet, a cell both expected and kept unchanged, a slot expected
// twice, two cases of one name, and the suite's total of points.
#include "grading/suite_parser.h"
#include "grading/suite_syntax.h"
#include "text/message.h"

// A case's step bounds that no run can meet: against its step limit and `until`, and
// against each other. Reports the first and stops.
void check_bounds(const SuiteCase& c, std::vector<Diagnostic>& out) {
    // A run that halts takes 1 to `limit` steps (the halting JZ is one); an `until
    // limit` run that passes takes its limit.
    std::uint64_t lo = c.until_halt ? 1 : c.limit, hi = c.limit;
    const StepBound* lo_from = nullptr;
    const StepBound* hi_from = nullptr;
    for (const StepBound& b : c.bounds) {
        std::uint64_t b_lo = 0, b_hi = UINT64_MAX;
        switch (b.compare) {
            case StepBound::less:
                b_hi = b.steps == 0 ? 0 : b.steps - 1;
                b_lo = b.steps == 0 ? 1 : 0;
                break;
            case StepBound::at_most: b_hi = b.steps; break;
            case StepBound::equal: b_lo = b_hi = b.steps; break;
            case StepBound::at_least: b_lo = b.steps; break;
            case StepBound::more: b_lo = b.steps + 1; break;
        }
        const std::uint64_t base_lo = c.until_halt ? 1 : c.limit;
        if (std::max(base_lo, b_lo) > std::min(c.limit, b_hi)) {
            std::string why;
            if (b_lo > c.limit)
                why = "the bound " + b.text() + " is beyond the case's step limit of " +
                      std::to_string(c.limit);
            else if (!c.until_halt)
                why = "the bound " + b.text() + " can never hold: an 'until limit' run takes " +
                      std::to_string(c.limit) + " steps, its step limit";
            else
                why = "the bound " + b.text() + " can never hold: a run takes at least 1 step";
            out.push_back({b.line, b.column, why});
            return;
        }
        if (std::max(lo, b_lo) > std::min(hi, b_hi)) {
            const StepBound* other = b_lo > hi ? hi_from : lo_from;
            out.push_back({b.line, b.column,
                           "the bound " + b.text() + " can never hold with " + other->text() +
                               " (line " + std::to_string(other->line) + ")"});
            return;
        }
        if (b_lo > lo) lo = b_lo, lo_from = &b;
        if (b_hi < hi) hi = b_hi, hi_from = &b;
    }
}

bool bounds_on_model(const SuiteCase& c) {
    for (const StepBound& b : c.bounds)
        if (b.model_factor != 0) return true;
    return false;
}

namespace {

// "[02]", "r2", "z", "pc": one slot of what a case may expect.
std::string slot_name(unsigned slot) {
    if (slot == 0) return "pc";
    if (slot == 1) return "z";
    if (slot < 18) return start_name(StateEntry::reg, slot - 2);
    return printf_text("[%02X]", slot - 18);
}

}  // namespace

// An `expect` or `compare` of what an earlier one of the case already names: two values
// cannot both hold, and one said twice is a slip.
void SuiteParser::check_expectations() {
    int said[2 + 16 + 256] = {};
    const auto check = [&](const StateEntry& e) {
        const unsigned base = e.target == StateEntry::pc    ? 0
                              : e.target == StateEntry::z   ? 1
                              : e.target == StateEntry::reg ? 2
                                                            : 18;
        for (std::size_t k = 0; k < e.values.size(); ++k) {
            const unsigned slot = base + e.first + static_cast<unsigned>(k);
            if (said[slot] != 0) {
                suite_.diagnostics.push_back({e.line, e.column,
                                              slot_name(slot) + " is already expected on line " +
                                                  std::to_string(said[slot])});
                return;
            }
        }
        for (std::size_t k = 0; k < e.values.size(); ++k)
            said[base + e.first + static_cast<unsigned>(k)] = e.line;
    };
    for (const StateEntry& e : current().expect.entries) check(e);
    for (const StateEntry& e : current().compare) check(e);
}

void SuiteParser::checks_something(const SuiteCase& c) {
    if (c.expect.entries.empty() && c.compare.empty() && c.bounds.empty() && c.unchanged.empty() &&
        c.never.empty())
        suite_.diagnostics.push_back(
            {c.line, 1,
             "case " + in_quotes(c.name) +
                 " checks nothing: give it an 'expect', 'compare' or 'steps' line"});
}

// A cell that is expected and also unchanged (the file's ranges or the case's).
void SuiteParser::check_unchanged_expected(const SuiteCase& c) {
    for (const std::vector<StateEntry>* list : {&c.expect.entries, &c.compare}) {
        for (const StateEntry& e : *list) {
            if (e.target != StateEntry::ram) continue;
            const unsigned last = e.first + static_cast<unsigned>(e.values.size()) - 1;
            for (const CellRange& r : c.unchanged) {
                if (r.first > last || e.first > r.last) continue;
                suite_.diagnostics.push_back({e.line, e.column,
                                              "an expected cell is also unchanged (line " +
                                                  std::to_string(r.line) +
                                                  "): expect it or keep it, not both"});
                break;
            }
        }
    }
}

bool SuiteParser::unique_name(const SuiteCase& c, int column) {
    const auto [at, fresh] = names_.emplace(c.name, c.line);
    if (fresh) return true;
    suite_.diagnostics.push_back({c.line, column,
                                  "a case named " + in_quotes(c.name) + " is already on line " +
                                      std::to_string(at->second)});
    return false;
}

void SuiteParser::add_points(const SuiteCase& c, std::uint64_t count) {
    points_ += c.points * count;
    if (points_ <= max_suite_points || points_refused_) return;
    points_refused_ = true;
    suite_.diagnostics.push_back({c.line, 1,
                                  "the cases so far give " + std::to_string(points_) +
                                      " points, more than the " + std::to_string(max_suite_points) +
                                      " a suite may give"});
}

void SuiteParser::close_case() {
    if (!in_case_) return;
    SuiteCase& c = current();
    c.limit = case_limit_.value_or(default_limit_);
    c.unchanged.insert(c.unchanged.begin(), file_unchanged_.begin(), file_unchanged_.end());
    c.never.insert(c.never.begin(), file_never_.begin(), file_never_.end());
    c.feedback = case_feedback_.value_or(file_feedback_);
    c.ram_start = case_ram_start_.line != 0 ? case_ram_start_ : file_ram_start_;
    checks_something(c);
    if (!bounds_on_model(c)) check_bounds(c, suite_.diagnostics);
    check_unchanged_expected(c);
    check_expectations();
    if (generate_) {
        expand_generated();
    } else {
        draw_start_state(c);
        unique_name(c, name_column_);
        add_points(c, 1);
    }
    in_case_ = false;
    case_limit_.reset();
    cells_ = StateFile{};
    case_start_ = RegisterStart{};
    case_ram_start_ = RamStart{};
    case_feedback_.reset();
    case_set_.clear();
    case_said_.clear();
    generate_.reset();
}
