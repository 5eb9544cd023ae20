#include "grading/suite.h"

#include <optional>
#include <random>

#include "formats/image_formats.h"
#include "machine/image_file.h"
#include "machine/instruction.h"
#include "text/message.h"

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
    return std::string("steps ") + names[compare] + " " + std::to_string(steps);
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

constexpr unsigned max_points = 1000000;
constexpr std::size_t max_name_size = 200;

// The visibility a case's line names, if it names one.
std::optional<Visibility> visibility_of(const std::string& keyword) {
    for (const Visibility v : {Visibility::visible, Visibility::hidden, Visibility::after_due_date,
                               Visibility::after_published})
        if (keyword == visibility_name(v)) return v;
    return std::nullopt;
}

// The rest of the line up to a comment, without the spaces around it.
std::string_view rest_of_line(std::string_view line, LineScanner& scan) {
    scan.skip_spaces();
    std::string_view rest = line.substr(static_cast<std::size_t>(scan.column() - 1));
    const std::size_t comment = rest.find_first_of(";#");
    if (comment != std::string_view::npos) rest = rest.substr(0, comment);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
    return rest;
}

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
    void draw_start_state();
    void word_limit(LineScanner& scan, int column);
    void forbid(LineScanner& scan);
    void unchanged(LineScanner& scan);
    void step_bound(LineScanner& scan);
    void until(LineScanner& scan);
    void close_case();
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
};

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
    if (scan.at_end()) return;
    const int column = scan.column();
    const std::string keyword = lower(scan.identifier());
    const std::size_t errors_before = suite_.diagnostics.size();

    if (keyword == "case") {
        start_case(text, scan, column);
        return;
    }
    if (keyword == "limit") {
        const auto n = count(scan, 1, max_step_limit);
        if (n && in_case_)
            case_limit_ = *n;
        else if (n)
            default_limit_ = *n;
    } else if (keyword == "max" || keyword == "forbid") {
        if (in_case_)
            error(scan, column,
                  "'" + keyword + "' holds for the whole program: put it before the first case");
        else if (keyword == "max")
            word_limit(scan, column);
        else
            forbid(scan);
    } else if (keyword == "unchanged") {
        unchanged(scan);
    } else if (keyword == "registers") {
        register_start(scan, column);
    } else if (keyword == "set") {
        ram_cells(scan);
        return;
    } else if (!in_case_) {
        if (keyword.empty())
            error(scan, column,
                  "expected a keyword (case, limit, registers, set ...), found " +
                      in_quotes(scan.token_for_message()));
        else
            error(scan, column,
                  "'" + keyword + "' belongs to a case: start one with 'case NAME' first");
        return;
    } else if (keyword == "expect") {
        parse_state_entry(scan, current().expect);
        for (Diagnostic& d : current().expect.diagnostics) suite_.diagnostics.push_back(d);
        current().expect.diagnostics.clear();
        return;
    } else if (keyword == "ram") {
        ram_image(text, scan);
        return;
    } else if (keyword == "steps") {
        step_bound(scan);
    } else if (keyword == "points") {
        const auto n = count(scan, 0, max_points);
        if (n) current().points = static_cast<unsigned>(*n);
    } else if (const auto v = visibility_of(keyword)) {
        current().visibility = *v;
    } else if (keyword == "until") {
        until(scan);
    } else {
        error(scan, column,
              "unknown keyword " + in_quotes(keyword.empty() ? scan.token_for_message() : keyword) +
                  " (expected case, ram, set, registers, expect, unchanged, steps, limit, points, "
                  "visible, hidden, after_due_date, after_published or until)");
        return;
    }
    if (suite_.diagnostics.size() == errors_before && !scan.at_end())
        error(scan, scan.column(),
              "unexpected " + in_quotes(scan.token_for_message()) + " after '" + keyword + "'");
}

void SuiteParser::start_case(std::string_view text, LineScanner& scan, int column) {
    close_case();
    const std::string_view name = rest_of_line(text, scan);
    const int name_column = scan.column();
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
    for (std::size_t i = 0; i + 1 < suite_.cases.size(); ++i) {
        if (suite_.cases[i].name == current().name) {
            error(scan, name_column,
                  "a case named " + in_quotes(name) + " is already on line " +
                      std::to_string(suite_.cases[i].line));
            return;
        }
    }
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
    const auto first = count(scan, 0, 255);
    if (!first) return;
    std::optional<std::uint64_t> last = first;
    if (scan.accept("..")) last = count(scan, *first, 255);
    if (!last) return;
    if (!scan.accept(']')) {
        error(scan, scan.column(), "expected ']' (or '..' and the last address)");
        return;
    }
    range.first = static_cast<unsigned>(*first);
    range.last = static_cast<unsigned>(*last);
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
    const auto n = count(scan, 0, max_step_limit);
    if (!n) return;
    bound.steps = *n;
    current().bounds.push_back(bound);
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
void SuiteParser::draw_start_state() {
    SuiteCase& c = current();
    c.start = case_start_.line != 0 ? case_start_ : file_start_;
    bool drawn[16] = {};
    if (c.start.random) {
        std::uint64_t hash = 0xcbf29ce484222325u;  // FNV-1a of the name
        for (const char ch : c.name)
            hash = (hash ^ static_cast<unsigned char>(ch)) * 0x100000001b3u;
        std::seed_seq seeds{static_cast<std::uint32_t>(hash),
                            static_cast<std::uint32_t>(hash >> 32),
                            static_cast<std::uint32_t>(c.start.seed)};
        std::mt19937 draw(seeds);
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

void SuiteParser::close_case() {
    if (!in_case_) return;
    current().limit = case_limit_.value_or(default_limit_);
    if (current().expect.entries.empty() && current().bounds.empty() &&
        current().unchanged.empty() && file_unchanged_.empty())
        suite_.diagnostics.push_back({current().line, 1,
                                      "case " + in_quotes(current().name) +
                                          " checks nothing: give it an 'expect' or 'steps' line"});
    for (const StepBound& b : current().bounds) {
        const bool reachable = b.compare == StepBound::more ? b.steps < current().limit
                               : b.compare == StepBound::less || b.compare == StepBound::at_most
                                   ? true
                                   : b.steps <= current().limit;
        if (!reachable)
            suite_.diagnostics.push_back({b.line, b.column,
                                          "the bound " + b.text() +
                                              " is beyond the case's step limit of " +
                                              std::to_string(current().limit)});
    }
    draw_start_state();
    std::vector<CellRange>& cells = current().unchanged;
    cells.insert(cells.begin(), file_unchanged_.begin(), file_unchanged_.end());
    for (const StateEntry& e : current().expect.entries) {
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
    in_case_ = false;
    case_limit_.reset();
    cells_ = StateFile{};
    case_start_ = RegisterStart{};
    case_set_.clear();
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
