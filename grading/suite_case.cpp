// Building a case: the handlers of the keyword table, each reading the rest of its line
// into the case being read or into the settings of the whole file.
#include "grading/suite_keywords.h"
#include "grading/suite_parser.h"
#include "grading/suite_syntax.h"
#include "machine/instruction.h"
#include "text/message.h"
#include "text/names.h"

// True the first time what `l`'s keyword says once is said in its scope (the file's or
// the case's); a mistake at the keyword after that.
bool SuiteParser::said_once(const KeywordLine& l) {
    std::map<std::string, int>& said = in_case_ ? case_said_ : file_said_;
    const auto [at, fresh] = said.emplace(l.keyword.once, l.scan.line());
    if (fresh) return true;
    error(l.scan, l.column,
          std::string(l.keyword.once) + " is already given on line " + std::to_string(at->second));
    return false;
}

void SuiteParser::case_line(KeywordLine& l) {
    LineScanner& scan = l.scan;
    close_case();
    if (suite_.cases.size() >= max_suite_cases) {
        if (!cases_refused_)
            error(scan, l.column,
                  "a suite holds at most " + std::to_string(max_suite_cases) + " cases");
        cases_refused_ = true;
        in_case_ = false;
        return;
    }
    scan.skip_spaces();
    const int name_column = scan.column();
    const std::string_view name = rest_of_line(l.text, scan);
    suite_.cases.emplace_back();
    in_case_ = true;
    current().line = scan.line();
    current().name = std::string(name);
    if (name.empty()) {
        error(scan, l.column, "a case needs a name: 'case NAME'");
        return;
    }
    if (name.size() > max_case_name_size) {
        error(scan, name_column,
              "a case name is at most " + std::to_string(max_case_name_size) + " characters");
        return;
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            error(scan, name_column, "a case name holds no control characters");
            return;
        }
    }
    // A case with a `generate` line makes cases of other names: checked as it closes.
    name_column_ = name_column;
}

void SuiteParser::limit(KeywordLine& l) {
    const auto n = read_count(l.scan, 1, max_step_limit, suite_.diagnostics);
    if (!n) return;
    if (in_case_)
        case_limit_ = *n;
    else
        default_limit_ = *n;
}

void SuiteParser::registers(KeywordLine& l) {
    LineScanner& scan = l.scan;
    RegisterStart& start = in_case_ ? case_start_ : file_start_;
    scan.skip_spaces();
    const int what_column = scan.column();
    const std::string what = lower(scan.identifier());
    if (what != "zero" && what != "random") {
        error(scan, what_column, "expected 'registers zero' or 'registers random'");
        return;
    }
    start.random = what == "random";
    start.line = scan.line();
    start.column = l.column;
    scan.skip_spaces();
    if (!start.random || scan.at_end()) return;
    const int seed_column = scan.column();
    if (lower(scan.identifier()) != "seed") {
        error(scan, seed_column, "expected 'seed N' after 'registers random'");
        return;
    }
    const auto n = read_count(scan, 0, 0xFFFFFFFF, suite_.diagnostics);
    if (n) start.seed = *n;
}

void SuiteParser::set(KeywordLine& l) {
    StateFile line;
    parse_state_entry(l.scan, line);
    for (const Diagnostic& d : line.diagnostics) suite_.diagnostics.push_back(d);
    for (StateEntry& e : line.entries) {
        if (e.target != StateEntry::ram) {
            start_entry(e, in_case_ ? case_set_ : file_set_);
        } else if (!in_case_) {
            suite_.diagnostics.push_back(
                {e.line, e.column,
                 "RAM cells are set in a case: start one with 'case NAME' first"});
        } else {
            StateFile cell;
            cell.entries.push_back(e);
            apply_ram_entries(cell, current().ram);
            for (std::size_t k = 0; k < e.values.size(); ++k) current().ram_set[e.first + k] = true;
            cells_.entries.push_back(std::move(e));
        }
    }
}

// One `set` of a register, z or pc; the same one twice in a scope is a mistake.
void SuiteParser::start_entry(const StateEntry& e, std::vector<StateEntry>& scope) {
    for (std::size_t k = 0; k < e.values.size(); ++k) {
        const unsigned index = e.first + static_cast<unsigned>(k);
        for (const StateEntry& old : scope) {
            if (old.target != e.target) continue;
            if (e.target == StateEntry::reg &&
                (index < old.first || index >= old.first + old.values.size()))
                continue;
            suite_.diagnostics.push_back({e.line, e.column,
                                          start_name(e.target, index) + " is already set on line " +
                                              std::to_string(old.line)});
            return;
        }
    }
    scope.push_back(e);
}

void SuiteParser::max(KeywordLine& l) {
    LineScanner& scan = l.scan;
    scan.skip_spaces();
    const int words_column = scan.column();
    if (lower(scan.identifier()) != "words") {
        error(scan, words_column, "expected 'max words N'");
        return;
    }
    const auto n = read_count(scan, 1, 256, suite_.diagnostics);
    if (!n) return;
    suite_.max_words = {static_cast<unsigned>(*n), scan.line(), l.column};
}

// `forbid MOVE MM, ADD`: mnemonics of the instruction table, a MOVE with its kind.
void SuiteParser::forbid(KeywordLine& l) {
    LineScanner& scan = l.scan;
    do {
        scan.skip_spaces();
        ForbiddenForm form;
        form.line = scan.line();
        form.column = scan.column();
        const std::string_view typed = scan.identifier();
        const InstructionForm* found = nullptr;
        std::string names;
        for (const InstructionForm& f : instruction_forms) {
            if (found == nullptr && lower(typed) == lower(f.mnemonic)) found = &f;
            if (names.find(f.mnemonic + std::string(",")) == std::string::npos)
                names += std::string(f.mnemonic) + ", ";
        }
        if (found == nullptr) {
            const std::string_view shown = typed.empty() ? scan.token_for_message() : typed;
            error(scan, form.column,
                  "expected an instruction to forbid (" + names + "or MOVE RR, MR, RM, MM)" +
                      (shown.empty() ? "" : ", found " + in_quotes(shown)));
            return;
        }
        form.name = found->mnemonic;
        form.first = form.last = found->opcode;
        if (found->opcode == op_move) {
            form.last = op_move_mm;
            scan.skip_spaces();
            LineScanner look = scan;
            const std::string kind = lower(look.identifier());
            for (std::uint32_t k = 0; k < 4; ++k) {
                if (kind != lower(mv_opcodes[k])) continue;
                scan = look;
                form.first = form.last = op_move + k;
                form.name += std::string(" ") + mv_opcodes[k];
            }
        }
        for (const ForbiddenForm& old : suite_.forbidden) {
            if (old.first <= form.last && form.first <= old.last) {
                error(scan, form.column,
                      form.name + " is already forbidden on line " + std::to_string(old.line) +
                          " (" + old.name + ")");
                return;
            }
        }
        suite_.forbidden.push_back(form);
        scan.skip_spaces();
    } while (scan.accept(','));
}

// `unchanged [0x20..0xFF]` or `unchanged [0x05]`.
void SuiteParser::unchanged(KeywordLine& l) {
    LineScanner& scan = l.scan;
    scan.skip_spaces();
    CellRange range;
    range.line = scan.line();
    range.column = scan.column();
    if (!scan.accept('[')) {
        error(scan, range.column, "expected 'unchanged [address]' or 'unchanged [first..last]'");
        return;
    }
    if (!read_cell_span(scan, range.first, range.last, suite_.diagnostics)) return;
    std::vector<CellRange>& scope = in_case_ ? current().unchanged : file_unchanged_;
    for (const CellRange& old : scope) {
        if (old.first <= range.last && range.first <= old.last) {
            error(scan, range.column,
                  "these cells overlap the unchanged ones of line " + std::to_string(old.line));
            return;
        }
    }
    scope.push_back(range);
}

// `model FILE`: found and run once the whole suite is read (`read_suite`).
void SuiteParser::model(KeywordLine& l) {
    const int name_column = (l.scan.skip_spaces(), l.scan.column());
    const std::string name(rest_of_line(l.text, l.scan));
    if (name.empty()) {
        error(l.scan, name_column, "expected the file of the model solution after 'model'");
        return;
    }
    suite_.model = {name, "", l.scan.line(), name_column};
}

// `ram FILE`: loaded once the whole suite is read (`read_suite`), under the case's `set`
// lines and drawn cells, wherever they stand.
// `ram FILE` in a case, or `ram random [seed N]` in the file or a case (a RAM image named
// "random" is `ram ./random`).
void SuiteParser::ram(KeywordLine& l) {
    LineScanner& scan = l.scan;
    const int column = (scan.skip_spaces(), scan.column());
    LineScanner look = scan;
    if (lower(look.identifier()) == "random") {
        look.skip_spaces();
        if (look.at_end() || lower(LineScanner(look).identifier()) == "seed") {
            scan = look;
            RamStart& start = in_case_ ? case_ram_start_ : file_ram_start_;
            start.random = true;
            start.line = scan.line();
            start.column = l.column;
            if (scan.at_end()) return;
            scan.identifier();
            const auto n = read_count(scan, 0, 0xFFFFFFFF, suite_.diagnostics);
            if (n) start.seed = *n;
            return;
        }
    }
    const std::string name(rest_of_line(l.text, scan));
    if (name.empty()) {
        error(scan, column, "expected 'ram FILE' or 'ram random [seed N]'");
        return;
    }
    if (!in_case_) {
        error(scan, l.column,
              "'ram FILE' belongs to a case: start one with 'case NAME' first (before the "
              "first case, only 'ram random' may stand)");
        return;
    }
    current().ram_image = static_cast<int>(suite_.ram_images.size());
    suite_.ram_images.push_back({name, "", scan.line(), column});
}

// `never writes [first..last]`, `never writes rN`, `never reads [first..last]`.
void SuiteParser::never(KeywordLine& l) {
    LineScanner& scan = l.scan;
    scan.skip_spaces();
    NeverRule rule;
    rule.line = scan.line();
    rule.column = l.column;
    const int what_column = scan.column();
    const std::string what = lower(scan.identifier());
    const char* const usage =
        "expected 'never writes [first..last]', 'never writes rN' or 'never reads "
        "[first..last]'";
    if (what != "writes" && what != "reads") {
        error(scan, what_column, usage);
        return;
    }
    scan.skip_spaces();
    const int at = scan.column();
    if (scan.accept('[')) {
        rule.kind = what == "writes" ? NeverRule::write_cells : NeverRule::read_cells;
        if (!read_cell_span(scan, rule.first, rule.last, suite_.diagnostics)) return;
    } else {
        const std::string reg = lower(scan.identifier());
        const std::optional<unsigned> index = register_number(reg);
        if (what != "writes" || !index) {
            error(scan, at, what == "writes" ? usage : "expected 'never reads [first..last]'");
            return;
        }
        rule.kind = NeverRule::write_register;
        rule.first = rule.last = *index;
    }
    (in_case_ ? current().never : file_never_).push_back(rule);
}

// `feedback full | brief | score`, for every case or this one.
void SuiteParser::feedback(KeywordLine& l) {
    LineScanner& scan = l.scan;
    scan.skip_spaces();
    const int column = scan.column();
    const std::string what = lower(scan.identifier());
    Feedback level;
    if (what == "full") {
        level = Feedback::full;
    } else if (what == "brief") {
        level = Feedback::brief;
    } else if (what == "score") {
        level = Feedback::score;
    } else {
        error(scan, column, "expected 'feedback full', 'feedback brief' or 'feedback score'");
        return;
    }
    if (in_case_)
        case_feedback_ = level;
    else
        file_feedback_ = level;
}

void SuiteParser::expect(KeywordLine& l) {
    parse_state_entry(l.scan, current().expect);
    for (Diagnostic& d : current().expect.diagnostics) suite_.diagnostics.push_back(d);
    current().expect.diagnostics.clear();
}

// `compare [0x02], [0x10..0x17], r2, z, pc`: expected as the model ends.
void SuiteParser::compare(KeywordLine& l) {
    LineScanner& scan = l.scan;
    do {
        scan.skip_spaces();
        StateEntry e;
        e.line = scan.line();
        e.column = scan.column();
        if (suite_.model.name.empty()) {
            error(scan, e.column,
                  "'compare' takes the model's values: name it with 'model FILE' before the "
                  "first case");
            return;
        }
        if (scan.accept('[')) {
            unsigned last = 0;
            if (!read_cell_span(scan, e.first, last, suite_.diagnostics)) return;
            e.target = StateEntry::ram;
            e.values.assign(last - e.first + 1, 0);
        } else {
            const std::string_view name = scan.identifier();
            const std::string word = lower(name);
            if (word == "pc" || word == "z") {
                e.target = word == "pc" ? StateEntry::pc : StateEntry::z;
            } else if (const auto r = register_number(name)) {
                e.target = StateEntry::reg;
                e.first = *r;
            } else {
                const std::string_view shown = name.empty() ? scan.token_for_message() : name;
                error(scan, e.column,
                      "expected a [RAM address], a register r0..rf, z or pc to compare" +
                          (shown.empty() ? std::string() : ", found " + in_quotes(shown)));
                return;
            }
            e.values.assign(1, 0);
        }
        current().compare.push_back(std::move(e));
        scan.skip_spaces();
    } while (scan.accept(','));
}

void SuiteParser::steps(KeywordLine& l) {
    StepBound bound;
    int at = 0;
    if (!read_step_bound(l.scan, bound, at, suite_.diagnostics)) return;
    if (bound.model_factor != 0 && suite_.model.name.empty()) {
        error(l.scan, at, "a bound on 'model' needs a 'model FILE' line before the first case");
        return;
    }
    for (const StepBound& old : current().bounds) {
        if (old.compare == bound.compare) {
            static const char* const names[] = {"<", "<=", "==", ">=", ">"};
            error(l.scan, bound.column,
                  std::string("a bound 'steps ") + names[bound.compare] +
                      "' is already given on line " + std::to_string(old.line));
            return;
        }
    }
    current().bounds.push_back(bound);
}

void SuiteParser::points(KeywordLine& l) {
    const auto n = read_count(l.scan, 0, max_case_points, suite_.diagnostics);
    if (n) current().points = static_cast<unsigned>(*n);
}

void SuiteParser::partial(KeywordLine&) {
    current().partial = true;
}

// `hint "y can be 0"`.
void SuiteParser::hint(KeywordLine& l) {
    const int column = (l.scan.skip_spaces(), l.scan.column());
    const auto text = read_quoted_hint(l.scan, suite_.diagnostics);
    if (!text) return;
    current().hint = *text;
    current().hint_line = l.scan.line();
    current().hint_column = column;
}

void SuiteParser::visibility(KeywordLine& l) {
    for (const Visibility v : {Visibility::visible, Visibility::hidden, Visibility::after_due_date,
                               Visibility::after_published})
        if (std::string_view(l.keyword.name) == visibility_name(v)) current().visibility = v;
}

void SuiteParser::until(KeywordLine& l) {
    LineScanner& scan = l.scan;
    scan.skip_spaces();
    const int column = scan.column();
    const std::string what = lower(scan.identifier());
    if (what == "halt" || what == "limit")
        current().until_halt = what == "halt";
    else
        error(scan, column, "expected 'until halt' or 'until limit'");
}

// `generate 20 seed 7: [0x00] in 0..8, [0x10..0x17] in 0..255`.
void SuiteParser::generate(KeywordLine& l) {
    LineScanner& scan = l.scan;
    std::vector<Diagnostic>& out = suite_.diagnostics;
    Generate g;
    g.line = scan.line();
    g.column = l.column;
    const auto n = read_count(scan, 1, max_generated_cases, out);
    if (!n) return;
    g.count = static_cast<unsigned>(*n);
    scan.skip_spaces();
    LineScanner look = scan;
    if (lower(look.identifier()) == "seed") {
        scan = look;
        const auto seed = read_count(scan, 0, 0xFFFFFFFF, out);
        if (!seed) return;
        g.seed = *seed;
    }
    if (!scan.accept(':')) {
        error(scan, scan.column(),
              "expected ':' and the cells to draw, as in 'generate 20 seed 7: [0x00] in 0..15'");
        return;
    }
    do {
        scan.skip_spaces();
        const int at = scan.column();
        if (!scan.accept('[')) {
            error(scan, at, "expected '[address] in lo..hi' or '[first..last] in lo..hi'");
            return;
        }
        DrawnCells d;
        if (!read_cell_span(scan, d.first, d.last, out)) return;
        scan.skip_spaces();
        const int in_column = scan.column();
        if (lower(scan.identifier()) != "in") {
            error(scan, in_column, "expected 'in lo..hi' after the cells");
            return;
        }
        const auto lo = read_count(scan, 0, 255, out);
        if (!lo) return;
        if (!scan.accept("..")) {
            error(scan, scan.column(), "expected '..' and the highest value");
            return;
        }
        const auto hi = read_count(scan, *lo, 255, out);
        if (!hi) return;
        d.lo = static_cast<unsigned>(*lo);
        d.hi = static_cast<unsigned>(*hi);
        for (const DrawnCells& old : g.cells) {
            if (old.first <= d.last && d.first <= old.last) {
                error(scan, at, "these cells are already drawn on this line");
                return;
            }
        }
        g.cells.push_back(d);
        scan.skip_spaces();
    } while (scan.accept(','));
    generate_ = g;
}
