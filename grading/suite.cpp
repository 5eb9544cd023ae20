#include "grading/suite.h"

#include <map>
#include <optional>
#include <random>
#include <set>

#include "formats/image_formats.h"
#include "machine/image_file.h"
#include "machine/instruction.h"
#include "text/message.h"
#include "text/names.h"

bool StepBound::holds(std::uint64_t taken) const {
    switch (compare) {
        case less: return taken < steps;
        case at_most: return taken <= steps;
        case equal: return taken == steps;
        case at_least: return taken >= steps;
        case more: return taken > steps;
    }
    return false;
}

std::string StepBound::text() const {
    static const char* const names[] = {"<", "<=", "==", ">=", ">"};
    std::string text = std::string("steps ") + names[compare] + " " + std::to_string(steps);
    if (model_factor == 1) text += " (model)";
    if (model_factor > 1) text += " (" + std::to_string(model_factor) + " * model)";
    return text;
}

const char* visibility_name(Visibility v) {
    switch (v) {
        case Visibility::visible: return "visible";
        case Visibility::hidden: return "hidden";
        case Visibility::after_due_date: return "after_due_date";
        case Visibility::after_published: return "after_published";
    }
    return "hidden";
}

std::uint64_t Suite::total_points() const {
    std::uint64_t total = 0;
    for (const SuiteCase& c : cases) total += c.points;
    return total;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

namespace {

constexpr std::size_t max_name_size = 200;
constexpr std::size_t max_hint_size = 200;

// The visibility a case's line names, if it names one.
std::optional<Visibility> visibility_of(const std::string& keyword) {
    for (const Visibility v : {Visibility::visible, Visibility::hidden, Visibility::after_due_date,
                               Visibility::after_published})
        if (keyword == visibility_name(v)) return v;
    return std::nullopt;
}

// Every keyword of a suite: those of the file's lines, then those of a case only.
const char* const keywords[] = {
    "case",  "limit",  "registers", "set",     "max",      "forbid",         "unchanged",
    "model", "ram",    "expect",    "compare", "steps",    "points",         "partial",
    "hint",  "hidden", "visible",   "until",   "generate", "after_due_date", "after_published"};

bool is_keyword(const std::string& word) {
    for (const char* k : keywords)
        if (word == k) return true;
    return false;
}

// The rest of the line up to a comment, without the spaces around it. Here a ';' or '#'
// starts a comment only at the start or after a space, so that `case C# basics` keeps
// its name whole.
std::string_view rest_of_line(std::string_view line, LineScanner& scan) {
    scan.skip_spaces();
    std::string_view rest = line.substr(static_cast<std::size_t>(scan.column() - 1));
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if ((rest[i] == ';' || rest[i] == '#') &&
            (i == 0 || rest[i - 1] == ' ' || rest[i - 1] == '\t')) {
            rest = rest.substr(0, i);
            break;
        }
    }
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
    return rest;
}

// The same draws on every run and with every C++ library: the Mersenne Twister, whose
// output the language fixes, seeded from the seed and an FNV-1a hash of the case's name
// (std::seed_seq's mixing is fixed as well; the distributions are not, so none is used).
std::mt19937 seeded_draw(std::string_view name, std::uint64_t seed) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char ch : name) hash = (hash ^ static_cast<unsigned char>(ch)) * 0x100000001b3u;
    std::seed_seq seeds{static_cast<std::uint32_t>(hash), static_cast<std::uint32_t>(hash >> 32),
                        static_cast<std::uint32_t>(seed)};
    return std::mt19937(seeds);
}

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
    SuiteParser(Suite& suite, const std::string& folder) : suite_(suite), folder_(folder) {}

    void line(std::string_view text, int number);
    void finish();

private:
    void error(const LineScanner& scan, int column, std::string message) {
        suite_.diagnostics.push_back(scan.error_at(column, std::move(message)));
    }
    std::optional<std::uint64_t> count(LineScanner& scan, std::uint64_t lo, std::uint64_t hi);
    void start_case(std::string_view text, LineScanner& scan, int column);
    void ram_image(std::string_view text, LineScanner& scan);
    void ram_cells(LineScanner& scan);
    void register_start(LineScanner& scan, int column);
    void start_entry(const StateEntry& e, std::vector<StateEntry>& scope);
    void draw_start_state(SuiteCase& c);
    void word_limit(LineScanner& scan, int column);
    void forbid(LineScanner& scan);
    void unchanged(LineScanner& scan);
    void step_bound(LineScanner& scan);
    void until(LineScanner& scan);
    void model(std::string_view text, LineScanner& scan, int column);
    void generate(LineScanner& scan, int column);
    void compare(LineScanner& scan);
    void hint(LineScanner& scan);
    bool once(LineScanner& scan, int column, const std::string& keyword);
    bool cell_span(LineScanner& scan, unsigned& first, unsigned& last);
    void check_expectations();
    void expand_generated();
    void close_case();
    void add_points(const SuiteCase& c, std::uint64_t count);
    bool unique_name(const SuiteCase& c, int column);
    SuiteCase& current() { return suite_.cases.back(); }

    Suite& suite_;
    std::string folder_;
    std::uint64_t default_limit_ = default_step_limit;
    bool in_case_ = false;  // a `case` line has opened current()
    std::optional<std::uint64_t> case_limit_;
    StateFile cells_;  // the current case's `set` lines, written over its RAM image
    RegisterStart file_start_, case_start_;
    // `set` lines of registers, z and pc: the file's, then the current case's over them.
    std::vector<StateEntry> file_set_, case_set_;
    std::vector<CellRange> file_unchanged_;
    std::optional<Generate> generate_;  // the current case's `generate` line
    // Lines said once per file, or once per case: the keyword's line.
    std::map<std::string, int> file_said_, case_said_;
    std::map<std::string, int> names_;  // every case's name and its line
    std::uint64_t points_ = 0;          // of the cases closed so far
    bool points_refused_ = false;
    bool cases_refused_ = false;
    std::size_t case_errors_ = 0;  // the diagnostics before the current case
    int name_column_ = 1;          // of the current case's name
};

// True the first time `keyword` is given in its scope (the file's or the case's); a
// mistake at `column` after that.
bool SuiteParser::once(LineScanner& scan, int column, const std::string& keyword) {
    std::map<std::string, int>& said = in_case_ ? case_said_ : file_said_;
    const bool visibility = visibility_of(keyword).has_value();
    const std::string key = visibility ? "visible" : keyword;
    const auto [at, fresh] = said.emplace(key, scan.line());
    if (fresh) return true;
    error(scan, column,
          (visibility ? std::string("the case's visibility") : "'" + keyword + "'") +
              " is already given on line " + std::to_string(at->second));
    return false;
}

// The rest of "[a]" or "[a..b]" after its '[': sets first and last; a mistake otherwise.
bool SuiteParser::cell_span(LineScanner& scan, unsigned& first, unsigned& last) {
    const auto from = count(scan, 0, 255);
    if (!from) return false;
    std::optional<std::uint64_t> to = from;
    if (scan.accept("..")) to = count(scan, *from, 255);
    if (!to) return false;
    if (!scan.accept(']')) {
        error(scan, scan.column(), "expected ']' (or '..' and the last address)");
        return false;
    }
    first = static_cast<unsigned>(*from);
    last = static_cast<unsigned>(*to);
    return true;
}

std::optional<std::uint64_t> SuiteParser::count(LineScanner& scan, std::uint64_t lo,
                                                std::uint64_t hi) {
    scan.skip_spaces();
    const int column = scan.column();
    if (!scan.at_number()) {
        const std::string_view found = scan.token_for_message();
        error(scan, column,
              found.empty() ? "expected a number" : "expected a number, found " + in_quotes(found));
        return std::nullopt;
    }
    std::string problem;
    const auto n = scan.literal(problem);
    if (!n) {
        error(scan, column, problem);
        return std::nullopt;
    }
    const auto v = static_cast<std::uint64_t>(n->value);
    if (n->too_large || n->value < 0 || v < lo || v > hi) {
        error(scan, column,
              "value " + (n->too_large ? quote_for_message(n->typed) : std::to_string(v)) +
                  " is out of range (" + std::to_string(lo) + ".." + std::to_string(hi) + ")");
        return std::nullopt;
    }
    return v;
}

void SuiteParser::line(std::string_view text, int number) {
    LineScanner scan(text, number);
    if (scan.at_end() || cases_refused_) return;
    const int column = scan.column();
    const std::string keyword = lower(scan.identifier());
    const std::size_t errors_before = suite_.diagnostics.size();

    if (!is_keyword(keyword)) {
        if (keyword.empty() && !in_case_)
            error(scan, column,
                  "expected a keyword (case, limit, registers, set ...), found " +
                      in_quotes(scan.token_for_message()));
        else
            error(scan, column,
                  "unknown keyword " +
                      in_quotes(keyword.empty() ? scan.token_for_message() : keyword) +
                      " (expected case, ram, set, registers, expect, compare, unchanged, steps, "
                      "limit, points, partial, hint, visible, hidden, after_due_date, "
                      "after_published, until or generate)");
        return;
    }
    if (keyword == "case") {
        start_case(text, scan, column);
        return;
    }
    if (keyword == "limit") {
        const auto n = count(scan, 1, max_step_limit);
        if (n && once(scan, column, keyword)) {
            if (in_case_)
                case_limit_ = *n;
            else
                default_limit_ = *n;
        }
    } else if (keyword == "max" || keyword == "forbid" || keyword == "model") {
        if (in_case_)
            error(scan, column,
                  "'" + keyword + "' holds for the whole program: put it before the first case");
        else if (keyword == "max")
            word_limit(scan, column);
        else if (keyword == "model")
            model(text, scan, column);
        else
            forbid(scan);
        if (keyword == "model") return;
    } else if (keyword == "unchanged") {
        unchanged(scan);
    } else if (keyword == "registers") {
        register_start(scan, column);
    } else if (keyword == "set") {
        ram_cells(scan);
        return;
    } else if (!in_case_) {
        error(scan, column,
              "'" + keyword + "' belongs to a case: start one with 'case NAME' first");
        return;
    } else if (keyword == "expect") {
        parse_state_entry(scan, current().expect);
        for (Diagnostic& d : current().expect.diagnostics) suite_.diagnostics.push_back(d);
        current().expect.diagnostics.clear();
        return;
    } else if (keyword == "ram") {
        if (once(scan, column, keyword)) ram_image(text, scan);
        return;
    } else if (keyword == "steps") {
        step_bound(scan);
    } else if (keyword == "points") {
        const auto n = count(scan, 0, max_case_points);
        if (n && once(scan, column, keyword)) current().points = static_cast<unsigned>(*n);
    } else if (keyword == "partial") {
        if (once(scan, column, keyword)) current().partial = true;
    } else if (keyword == "hint") {
        if (once(scan, column, keyword)) hint(scan);
    } else if (const auto v = visibility_of(keyword)) {
        if (once(scan, column, keyword)) current().visibility = *v;
    } else if (keyword == "until") {
        if (once(scan, column, keyword)) until(scan);
    } else if (keyword == "generate") {
        if (once(scan, column, keyword)) generate(scan, column);
    } else if (keyword == "compare") {
        compare(scan);
    }
    if (suite_.diagnostics.size() == errors_before && !scan.at_end())
        error(scan, scan.column(),
              "unexpected " + in_quotes(scan.token_for_message()) + " after '" + keyword + "'");
}

bool SuiteParser::unique_name(const SuiteCase& c, int column) {
    const auto [at, fresh] = names_.emplace(c.name, c.line);
    if (fresh) return true;
    suite_.diagnostics.push_back({c.line, column,
                                  "a case named " + in_quotes(c.name) + " is already on line " +
                                      std::to_string(at->second)});
    return false;
}

void SuiteParser::start_case(std::string_view text, LineScanner& scan, int column) {
    close_case();
    if (suite_.cases.size() >= max_suite_cases) {
        if (!cases_refused_)
            error(scan, column,
                  "a suite holds at most " + std::to_string(max_suite_cases) + " cases");
        cases_refused_ = true;
        in_case_ = false;
        return;
    }
    const std::string_view name = rest_of_line(text, scan);
    const int name_column = scan.column();
    case_errors_ = suite_.diagnostics.size();
    suite_.cases.emplace_back();
    in_case_ = true;
    current().line = scan.line();
    current().name = std::string(name);
    if (name.empty()) {
        error(scan, column, "a case needs a name: 'case NAME'");
        return;
    }
    if (name.size() > max_name_size) {
        error(scan, name_column,
              "a case name is at most " + std::to_string(max_name_size) + " characters");
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

void SuiteParser::ram_image(std::string_view text, LineScanner& scan) {
    const int column = (scan.skip_spaces(), scan.column());
    const std::string name(rest_of_line(text, scan));
    if (name.empty()) {
        error(scan, column, "expected the name of a RAM image after 'ram'");
        return;
    }
    const std::string path = name[0] == '/' ? name : folder_ + name;
    const std::string shown = "cannot load the RAM image '" + escape_for_message(path) + "'";
    std::string bytes;
    const FileResult read = read_image_file(path, MemoryKind::ram, bytes);
    if (!read) {
        error(scan, column, shown + " (" + read.reason + ")");
        return;
    }
    ImageContent content;
    Diagnostic fault;
    if (!decode_image(bytes, MemoryKind::ram, content, fault)) {
        error(scan, column,
              shown + " (line " + std::to_string(fault.line) + ": " + fault.message + ")");
        return;
    }
    take_image(content, current().ram);
    suite_.ram_images.push_back(path);
    // Cells given before the image still win over it.
    apply_ram_entries(cells_, current().ram);
}

void SuiteParser::ram_cells(LineScanner& scan) {
    StateFile line;
    parse_state_entry(scan, line);
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
            cells_.entries.push_back(std::move(e));
        }
    }
}

namespace {

std::string start_name(StateEntry::Target target, unsigned index) {
    if (target == StateEntry::pc) return "pc";
    if (target == StateEntry::z) return "z";
    return std::string("r") + "0123456789abcdef"[index & 0xF];
}

}  // namespace

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

void SuiteParser::word_limit(LineScanner& scan, int column) {
    scan.skip_spaces();
    const int words_column = scan.column();
    if (lower(scan.identifier()) != "words") {
        error(scan, words_column, "expected 'max words N'");
        return;
    }
    if (suite_.max_words.line != 0) {
        error(scan, column,
              "'max words' is already given on line " + std::to_string(suite_.max_words.line));
        return;
    }
    const auto n = count(scan, 1, 256);
    if (!n) return;
    suite_.max_words = {static_cast<unsigned>(*n), scan.line(), column};
}

// `forbid MOVE MM, ADD`: mnemonics of the instruction table, a MOVE with its kind.
void SuiteParser::forbid(LineScanner& scan) {
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
void SuiteParser::unchanged(LineScanner& scan) {
    scan.skip_spaces();
    CellRange range;
    range.line = scan.line();
    range.column = scan.column();
    if (!scan.accept('[')) {
        error(scan, range.column, "expected 'unchanged [address]' or 'unchanged [first..last]'");
        return;
    }
    if (!cell_span(scan, range.first, range.last)) return;
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

void SuiteParser::register_start(LineScanner& scan, int column) {
    RegisterStart& start = in_case_ ? case_start_ : file_start_;
    if (start.line != 0) {
        error(scan, column, "'registers' is already given on line " + std::to_string(start.line));
        return;
    }
    scan.skip_spaces();
    const int what_column = scan.column();
    const std::string what = lower(scan.identifier());
    if (what != "zero" && what != "random") {
        error(scan, what_column, "expected 'registers zero' or 'registers random'");
        return;
    }
    start.random = what == "random";
    start.line = scan.line();
    start.column = column;
    scan.skip_spaces();
    if (!start.random || scan.at_end()) return;
    const int seed_column = scan.column();
    if (lower(scan.identifier()) != "seed") {
        error(scan, seed_column, "expected 'seed N' after 'registers random'");
        return;
    }
    const auto n = count(scan, 0, 0xFFFFFFFF);
    if (n) start.seed = *n;
}

void SuiteParser::step_bound(LineScanner& scan) {
    StepBound bound;
    bound.line = scan.line();
    scan.skip_spaces();
    bound.column = scan.column();
    if (scan.accept("<="))
        bound.compare = StepBound::at_most;
    else if (scan.accept(">="))
        bound.compare = StepBound::at_least;
    else if (scan.accept("=="))
        bound.compare = StepBound::equal;
    else if (scan.accept('<'))
        bound.compare = StepBound::less;
    else if (scan.accept('>'))
        bound.compare = StepBound::more;
    else {
        error(scan, bound.column, "expected <, <=, ==, >= or > and a number of steps");
        return;
    }
    scan.skip_spaces();
    const int at = scan.column();
    LineScanner look = scan;
    if (lower(look.identifier()) == "model") {
        scan = look;
        bound.model_factor = 1;
    } else {
        const auto n = count(scan, 0, max_step_limit);
        if (!n) return;
        scan.skip_spaces();
        if (!scan.accept('*')) {
            bound.steps = *n;
        } else {
            scan.skip_spaces();
            const int model_column = scan.column();
            if (lower(scan.identifier()) != "model") {
                error(scan, model_column, "expected 'model' after '*', as in 'steps <= 2 * model'");
                return;
            }
            if (*n < 1 || *n > max_model_factor) {
                error(scan, at,
                      "the factor of 'model' is 1.." + std::to_string(max_model_factor) + ", not " +
                          std::to_string(*n));
                return;
            }
            bound.model_factor = static_cast<unsigned>(*n);
        }
    }
    if (bound.model_factor != 0 && suite_.model.path.empty()) {
        error(scan, at, "a bound on 'model' needs a 'model FILE' line before the first case");
        return;
    }
    for (const StepBound& old : current().bounds) {
        if (old.compare == bound.compare) {
            static const char* const names[] = {"<", "<=", "==", ">=", ">"};
            error(scan, bound.column,
                  std::string("a bound 'steps ") + names[bound.compare] +
                      "' is already given on line " + std::to_string(old.line));
            return;
        }
    }
    current().bounds.push_back(bound);
}

// `model FILE`: named from the suite's folder, read once the whole suite is.
void SuiteParser::model(std::string_view text, LineScanner& scan, int column) {
    if (!once(scan, column, "model")) return;
    const int name_column = (scan.skip_spaces(), scan.column());
    const std::string name(rest_of_line(text, scan));
    if (name.empty()) {
        error(scan, name_column, "expected the file of the model solution after 'model'");
        return;
    }
    suite_.model = {name[0] == '/' ? name : folder_ + name, scan.line(), name_column};
}

// `generate 20 seed 7: [0x00] in 0..8, [0x10..0x17] in 0..255`.
void SuiteParser::generate(LineScanner& scan, int column) {
    Generate g;
    g.line = scan.line();
    g.column = column;
    const auto n = count(scan, 1, max_generated_cases);
    if (!n) return;
    g.count = static_cast<unsigned>(*n);
    scan.skip_spaces();
    LineScanner look = scan;
    if (lower(look.identifier()) == "seed") {
        scan = look;
        const auto seed = count(scan, 0, 0xFFFFFFFF);
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
        if (!cell_span(scan, d.first, d.last)) return;
        scan.skip_spaces();
        const int in_column = scan.column();
        if (lower(scan.identifier()) != "in") {
            error(scan, in_column, "expected 'in lo..hi' after the cells");
            return;
        }
        const auto lo = count(scan, 0, 255);
        if (!lo) return;
        if (!scan.accept("..")) {
            error(scan, scan.column(), "expected '..' and the highest value");
            return;
        }
        const auto hi = count(scan, *lo, 255);
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

// `compare [0x02], [0x10..0x17], r2, z, pc`: expected as the model ends.
void SuiteParser::compare(LineScanner& scan) {
    do {
        scan.skip_spaces();
        StateEntry e;
        e.line = scan.line();
        e.column = scan.column();
        if (suite_.model.path.empty()) {
            error(scan, e.column,
                  "'compare' takes the model's values: name it with 'model FILE' before the "
                  "first case");
            return;
        }
        if (scan.accept('[')) {
            unsigned last = 0;
            if (!cell_span(scan, e.first, last)) return;
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

// `hint "y can be 0"`: \" and \\ stand for a quote and a backslash.
void SuiteParser::hint(LineScanner& scan) {
    scan.skip_spaces();
    const int column = scan.column();
    if (scan.peek() != '"') {
        error(scan, column, "expected the hint in double quotes: hint \"...\"");
        return;
    }
    std::string text;
    std::size_t k = 1;
    for (;; ++k) {
        const char c = scan.peek_at(k);
        if (c == '\0') {
            error(scan, column, "the hint has no closing quote");
            return;
        }
        if (c == '"') break;
        if (c == '\\' && (scan.peek_at(k + 1) == '"' || scan.peek_at(k + 1) == '\\')) ++k;
        if (static_cast<unsigned char>(scan.peek_at(k)) < 0x20 || scan.peek_at(k) == 0x7F) {
            error(scan, column, "a hint holds no control characters");
            return;
        }
        text += scan.peek_at(k);
    }
    std::string typed;
    for (std::size_t i = 0; i <= k; ++i) typed += scan.peek_at(i);
    scan.accept(typed);
    if (text.empty() || text.size() > max_hint_size) {
        error(scan, column,
              text.empty() ? std::string("the hint is empty")
                           : "a hint is at most " + std::to_string(max_hint_size) + " characters");
        return;
    }
    current().hint = text;
    current().hint_line = scan.line();
    current().hint_column = column;
}

void SuiteParser::until(LineScanner& scan) {
    scan.skip_spaces();
    const int column = scan.column();
    const std::string what = lower(scan.identifier());
    if (what == "halt" || what == "limit")
        current().until_halt = what == "halt";
    else
        error(scan, column, "expected 'until halt' or 'until limit'");
}

// The case's registers, z and pc at reset: zeros or values drawn from the seed and the
// case's name (the same on every run), then the file's `set` lines and the case's.
void SuiteParser::draw_start_state(SuiteCase& c) {
    c.start = case_start_.line != 0 ? case_start_ : file_start_;
    bool drawn[16] = {};
    if (c.start.random) {
        std::mt19937 draw = seeded_draw(c.name, c.start.seed);
        for (unsigned r = 1; r < 16; ++r) {
            c.registers[r] = static_cast<std::uint8_t>(draw() & 0xFF);
            drawn[r] = true;
        }
    }
    for (const std::vector<StateEntry>* scope : {&file_set_, &case_set_}) {
        for (const StateEntry& e : *scope) {
            if (e.target == StateEntry::pc) c.pc = e.values.front();
            if (e.target == StateEntry::z) c.z = e.values.front() != 0;
            if (e.target != StateEntry::reg) continue;
            for (std::size_t k = 0; k < e.values.size(); ++k) {
                c.registers[e.first + k] = e.values[k];
                drawn[e.first + k] = false;
            }
        }
    }
    for (unsigned r = 1; r < 16; ++r)
        if (drawn[r]) c.random_registers.push_back(r);
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

}  // namespace

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

void SuiteParser::add_points(const SuiteCase& c, std::uint64_t count) {
    points_ += c.points * count;
    if (points_ <= max_suite_points || points_refused_) return;
    points_refused_ = true;
    suite_.diagnostics.push_back({c.line, 1,
                                  "the cases so far give " + std::to_string(points_) +
                                      " points, more than the " + std::to_string(max_suite_points) +
                                      " a suite may give"});
}

// The cases of a `generate` line: the case as written, once per draw, named "NAME 1" ..
// "NAME N", each drawing its cells from the line's seed and its own name.
void SuiteParser::expand_generated() {
    const Generate g = *generate_;
    for (const StateEntry& e : cells_.entries) {
        const unsigned last = e.first + static_cast<unsigned>(e.values.size()) - 1;
        for (const DrawnCells& d : g.cells) {
            if (d.first > last || e.first > d.last) continue;
            suite_.diagnostics.push_back({e.line, e.column,
                                          "these cells are drawn by the 'generate' line " +
                                              std::to_string(g.line) +
                                              ": set them or draw them, not both"});
            break;
        }
    }
    SuiteCase base = std::move(current());
    suite_.cases.pop_back();
    base.generate_line = g.line;
    base.generate_column = g.column;
    base.drawn = g.cells;
    if (suite_.cases.size() + g.count > max_suite_cases) {
        suite_.diagnostics.push_back({g.line, g.column,
                                      "these cases would make the suite more than " +
                                          std::to_string(max_suite_cases) + " cases"});
        return;
    }
    bool names_ok = true;
    for (unsigned k = 1; k <= g.count; ++k) {
        suite_.cases.push_back(base);
        SuiteCase& c = current();
        c.name = base.name + " " + std::to_string(k);
        std::mt19937 draw = seeded_draw(c.name, g.seed);
        for (const DrawnCells& d : g.cells)
            for (unsigned a = d.first; a <= d.last; ++a)
                c.ram[a] = static_cast<std::uint8_t>(d.lo + draw() % (d.hi - d.lo + 1));
        draw_start_state(c);
        if (names_ok) names_ok = unique_name(c, name_column_);
    }
    add_points(base, g.count);
}

void SuiteParser::close_case() {
    if (!in_case_) return;
    SuiteCase& c = current();
    c.limit = case_limit_.value_or(default_limit_);
    if (c.expect.entries.empty() && c.compare.empty() && c.bounds.empty() && c.unchanged.empty() &&
        file_unchanged_.empty())
        suite_.diagnostics.push_back(
            {c.line, 1,
             "case " + in_quotes(c.name) +
                 " checks nothing: give it an 'expect', 'compare' or 'steps' line"});
    if (!bounds_on_model(c)) check_bounds(c, suite_.diagnostics);
    std::vector<CellRange>& cells = c.unchanged;
    cells.insert(cells.begin(), file_unchanged_.begin(), file_unchanged_.end());
    for (const std::vector<StateEntry>* list : {&c.expect.entries, &c.compare}) {
        for (const StateEntry& e : *list) {
            if (e.target != StateEntry::ram) continue;
            const unsigned last = e.first + static_cast<unsigned>(e.values.size()) - 1;
            for (const CellRange& r : cells) {
                if (r.first > last || e.first > r.last) continue;
                suite_.diagnostics.push_back({e.line, e.column,
                                              "an expected cell is also unchanged (line " +
                                                  std::to_string(r.line) +
                                                  "): expect it or keep it, not both"});
                break;
            }
        }
    }
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
    case_set_.clear();
    case_said_.clear();
    generate_.reset();
}

void SuiteParser::finish() {
    close_case();
    if (suite_.cases.empty())
        suite_.diagnostics.push_back({1, 1, "the suite has no cases: add 'case NAME' lines"});
}

}  // namespace

Suite parse_suite(std::string_view text, const std::string& folder) {
    Suite suite;
    SuiteParser parser(suite, folder);
    const auto lines = split_lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) parser.line(lines[i], static_cast<int>(i) + 1);
    parser.finish();
    return suite;
}
