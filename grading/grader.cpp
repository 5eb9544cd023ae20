#include "grading/grader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>

#include "formats/image_formats.h"
#include "headless/runner.h"
#include "machine/image_file.h"
#include "machine/instruction.h"
#include "text/message.h"
#include "text/source_text.h"
#include "toolchain/assembler.h"
#include "toolchain/disassembler.h"

unsigned ProgramResult::passed() const {
    unsigned n = 0;
    for (const CaseResult& c : cases) n += c.verdict == Verdict::pass ? 1 : 0;
    return n;
}

std::uint64_t ProgramResult::points() const {
    std::uint64_t n = 0;
    for (const CaseResult& c : cases) n += c.points;
    return n;
}

const char* verdict_name(Verdict v) {
    switch (v) {
        case Verdict::pass: return "pass";
        case Verdict::fail: return "fail";
        case Verdict::no_halt: return "did not halt";
        case Verdict::error: return "error";
    }
    return "error";
}

bool looks_like_source(const std::string& bytes) {
    return reads_as_source(bytes);
}

bool reads_as_source(const std::string& bytes) {
    return classify_file(bytes, MemoryKind::rom) == FileReading::text;
}

namespace {

// Reads and assembles (or loads) the program into `rom`, and marks the words it places
// (for an image, which cannot tell an empty word from ADD r0, r0, r0: every word that
// is not 0); on failure fills `reasons`.
bool load_program(const std::string& path, Isa4::Rom& rom, CheckedArray<bool, 256>& placed,
                  ProgramResult& program) {
    std::vector<std::string>& reasons = program.reasons;
    // Read and told apart as isa4 run and asm do: the one rule of formats/.
    ProgramFile file;
    Diagnostic error;
    if (!read_program_file(path, file, error)) {
        // The error, then its notes, each a line of the reports.
        const std::string text = format_diagnostic(error);
        for (std::size_t at = 0; at <= text.size();) {
            const std::size_t end = std::min(text.find('\n', at), text.size());
            reasons.push_back(text.substr(at, end - at));
            at = end + 1;
        }
        switch (file.problem) {
            case ProgramFile::Problem::unreadable: program.failure = "cannot be read"; break;
            case ProgramFile::Problem::wide_text:
                program.failure = std::string(file.wide) + " text";
                break;
            default: program.failure = "cannot be loaded"; break;
        }
        return false;
    }
    if (!file.is_source) {
        take_image(file.image, rom);
        for (unsigned a = 0; a < 256; ++a) placed[a] = rom[a] != 0;
        return true;
    }
    const std::string& bytes = file.source;
    const Assembly assembly = assemble(bytes);
    if (assembly.ok() && assembly.words == 0) {
        reasons.push_back(format_diagnostic(
            Diagnostic{0, 0, "no instructions, only blank lines and comments", false, path}));
        program.failure = "empty program";
        return false;
    }
    if (assembly.ok()) {
        rom = assembly.rom;
        program.source = bytes;
        program.word_lines = assembly.word_lines;
        placed = assembly.placed;
        std::size_t warned = 0;
        for (const Diagnostic& d : assembly.diagnostics)
            if (++warned <= max_reasons) program.warnings.push_back(format_diagnostic(path, d));
        if (warned > max_reasons)
            program.warnings.push_back(escape_for_message(path) + ": " +
                                       std::to_string(warned - max_reasons) + " more warnings");
        return true;
    }
    std::size_t errors = 0;
    for (const Diagnostic& d : assembly.diagnostics) {
        if (d.warning) continue;
        if (++errors <= max_reasons) reasons.push_back(format_diagnostic(path, d));
    }
    if (errors > max_reasons)
        reasons.push_back(escape_for_message(path) + ": " + std::to_string(errors - max_reasons) +
                          " more errors");
    program.failure = "does not assemble";
    return false;
}

// "started with random registers: r1 = 3A, r2 = 07, ...", so the run can be repeated.
std::string random_start_text(const SuiteCase& c) {
    std::string text = "started with random registers:";
    const char* separator = " ";
    for (const unsigned r : c.random_registers) {
        text += separator + std::string("r") + "0123456789abcdef"[r] + " = " +
                printf_text("%02X", c.registers[r]);
        separator = ", ";
    }
    return text;
}

// What the program breaks of the suite's rules on its words, at the rule's line.
std::vector<Diagnostic> broken_rules(const Suite& suite, const Isa4::Rom& rom,
                                     const CheckedArray<bool, 256>& placed) {
    std::vector<Diagnostic> broken;
    unsigned words = 0;
    for (unsigned a = 0; a < 256; ++a) words += placed[a] ? 1 : 0;
    const WordLimit& limit = suite.max_words;
    if (limit.line != 0 && words > limit.words)
        broken.push_back({limit.line, limit.column,
                          "the program has " + std::to_string(words) + " words, at most " +
                              std::to_string(limit.words) + " are allowed"});
    for (const ForbiddenForm& form : suite.forbidden) {
        std::vector<unsigned> at;
        for (unsigned a = 0; a < 256; ++a) {
            const std::uint32_t opcode = decode_word(rom[a]).opcode;
            if (placed[a] && opcode >= form.first && opcode <= form.last) at.push_back(a);
        }
        if (at.empty()) continue;
        std::string where = printf_text("word %02X", at.front());
        if (at.size() > 1) where += " and " + std::to_string(at.size() - 1) + " more";
        broken.push_back({form.line, form.column,
                          where + " " + (at.size() > 1 ? "are " : "is ") + form.name +
                              ", which this exercise does not allow"});
    }
    return broken;
}

// "[25] is 07, expected 00 as at the start" for the first cell of each unchanged range
// that the run changed, with a count of the others.
void check_unchanged(const SuiteCase& c, const Isa4& arch, std::vector<Diagnostic>& problems) {
    for (const CellRange& r : c.unchanged) {
        std::vector<unsigned> changed;
        for (unsigned a = r.first; a <= r.last; ++a)
            if (arch.ram[a] != c.ram[a]) changed.push_back(a);
        if (changed.empty()) continue;
        Mismatch m;
        m.line = r.line;
        m.column = r.column;
        const unsigned first = changed.front();
        m.what = printf_text("[%02X]", first);
        m.expected = c.ram[first];
        m.actual = arch.ram[first];
        std::string text = mismatch_text(m) + " as at the start";
        if (changed.size() > 1)
            text += " (and " + std::to_string(changed.size() - 1) + " more changed cells)";
        problems.push_back({r.line, r.column, text});
    }
}

// The lines of a case a run meets out of those it checks: each `expect`, `compare`,
// `steps`, `unchanged` and `never` line one, whatever it names.
std::pair<std::size_t, std::size_t> lines_met(const SuiteCase& c,
                                              const std::vector<Diagnostic>& problems) {
    std::set<int> lines, missed;
    for (const StateEntry& e : c.expect.entries) lines.insert(e.line);
    for (const StepBound& b : c.bounds) lines.insert(b.line);
    for (const CellRange& r : c.unchanged) lines.insert(r.line);
    for (const NeverRule& r : c.never) lines.insert(r.line);
    for (const Diagnostic& p : problems) missed.insert(p.line);
    return {lines.size() - missed.size(), lines.size()};
}

// "step 12 (word 05: MOVE [0x20], r3) writes [20], which this case never lets it write".
std::string never_text(const FirstAccess& first, const std::string& what, const char* done) {
    return "step " + std::to_string(first.step) + " (word " + printf_text("%02X", first.address) +
           ": " + executed_text(first.word, first.address) + ") " + done + "s " + what +
           ", which this case never lets it " + done;
}

// The `never` rules the run broke, each at its line with the first step that broke it.
std::vector<Diagnostic> never_problems(const SuiteCase& c, const AccessLog& log) {
    std::vector<Diagnostic> problems;
    for (const NeverRule& rule : c.never) {
        const FirstAccess* first = nullptr;
        unsigned at = 0;
        for (unsigned k = rule.first; k <= rule.last; ++k) {
            const FirstAccess& a = rule.kind == NeverRule::write_register ? log.register_written[k]
                                   : rule.kind == NeverRule::write_cells  ? log.cell_written[k]
                                                                          : log.cell_read[k];
            if (a.step != 0 && (first == nullptr || a.step < first->step)) first = &a, at = k;
        }
        if (first == nullptr) continue;
        const std::string what = rule.kind == NeverRule::write_register
                                     ? std::string("r") + "0123456789abcdef"[at]
                                     : printf_text("[%02X]", at);
        problems.push_back(
            {rule.line, rule.column,
             never_text(*first, what, rule.kind == NeverRule::read_cells ? "read" : "write")});
    }
    return problems;
}

// Runs case `c` from `arch` to its end; a case with `never` rules notes every access on
// the way, and what it broke of them goes to `broken`.
RunOutcome run_case_machine(const SuiteCase& c, Isa4& arch, std::vector<Diagnostic>& broken) {
    RunLimits limits;
    limits.max_steps = c.limit;
    if (c.never.empty()) return run_machine(arch, limits);
    AccessLog log;
    const RunOutcome outcome = run_logging_access(arch, limits, log);
    broken = never_problems(c, log);
    return outcome;
}

CaseResult run_case(const SuiteCase& c, const Isa4::Rom& rom) {
    const auto start = std::chrono::steady_clock::now();
    CaseResult result;
    Isa4 arch = case_start(c, rom);
    std::vector<Diagnostic> never_broken;
    const RunOutcome outcome = run_case_machine(c, arch, never_broken);
    result.steps = outcome.steps;

    if (c.until_halt && outcome.reason != StopReason::halt) {
        result.verdict = Verdict::no_halt;
        result.problems.push_back(
            {0, 0, "did not halt within " + std::to_string(c.limit) + " steps"});
    } else {
        const bool early = !c.until_halt && outcome.reason == StopReason::halt;
        if (early)
            result.problems.push_back({0, 0,
                                       "halted after " + std::to_string(outcome.steps) +
                                           " steps, before the step limit of " +
                                           std::to_string(c.limit)});
        std::vector<Diagnostic> missed = case_problems(c, arch, outcome.steps, true);
        missed.insert(missed.end(), never_broken.begin(), never_broken.end());
        result.problems.insert(result.problems.end(), missed.begin(), missed.end());
        result.verdict = result.problems.empty() ? Verdict::pass : Verdict::fail;
        if (result.verdict == Verdict::pass) {
            result.points = c.points;
        } else if (c.partial && !early) {
            const auto [met, lines] = lines_met(c, missed);
            result.points = lines == 0 ? 0 : static_cast<unsigned>(c.points * met / lines);
        }
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

// "started with random RAM (seed 7): [00..01] = 3A, 07, [04..FF] = ...": the cells that
// `ram random` drew, in runs.
std::string random_ram_text(const SuiteCase& c) {
    std::string text = "started with random RAM (seed " + std::to_string(c.ram_start.seed) + "):";
    const char* separator = " ";
    for (unsigned a = 0; a < 256;) {
        if (!c.random_cells[a]) {
            ++a;
            continue;
        }
        unsigned end = a;
        while (end + 1 < 256 && c.random_cells[end + 1]) ++end;
        text +=
            separator + (a == end ? printf_text("[%02X]", a) : printf_text("[%02X..%02X]", a, end));
        for (unsigned k = a; k <= end; ++k)
            text += (k == a ? " = " : ", ") + printf_text("%02X", c.ram[k]);
        separator = ", ";
        a = end + 1;
    }
    return text;
}

// The lines that help to repeat a failed case: the random registers, random RAM and drawn
// cells it started with, then the case's hint unless the case is hidden.
void add_start_lines(const SuiteCase& c, CaseResult& r) {
    if (r.verdict == Verdict::pass) return;
    if (!c.random_registers.empty())
        r.problems.push_back({c.start.line, c.start.column, random_start_text(c)});
    if (c.random_cells.any())
        r.problems.push_back({c.ram_start.line, c.ram_start.column, random_ram_text(c)});
    if (!c.drawn.empty())
        r.problems.push_back({c.generate_line, c.generate_column, drawn_inputs_text(c)});
    if (!c.hint.empty() && !c.hidden())
        r.problems.push_back({c.hint_line, c.hint_column, "hint: " + c.hint});
}

// What a failed case may tell at its feedback level: with `brief` the first `rules`
// problems (the suite's rules the program's words break, which give nothing of the
// expected end away) and its hint, none for a hidden case; with `score` nothing. Its
// verdict and points stay.
void limit_feedback(const SuiteCase& c, CaseResult& r, std::size_t rules) {
    if (c.feedback == Feedback::full) return;
    r.problems.resize(c.feedback == Feedback::brief ? std::min(rules, r.problems.size()) : 0);
    if (c.feedback == Feedback::brief && r.verdict != Verdict::pass && !c.hint.empty() &&
        !c.hidden())
        r.problems.push_back({c.hint_line, c.hint_column, "hint: " + c.hint});
}

// Cuts a long list of problems to max_problems, ending it with a count of the rest; the
// lines that help to repeat the case come after, from `add_start_lines`.
void keep_first_problems(std::vector<Diagnostic>& problems) {
    if (problems.size() <= max_problems + 1) return;
    const std::size_t more = problems.size() - max_problems;
    problems.resize(max_problems);
    problems.push_back({0, 0, "... and " + std::to_string(more) + " more problems"});
}

}  // namespace

ProgramResult read_program(const std::string& path, CheckedArray<bool, 256>* placed) {
    ProgramResult program;
    program.path = path;
    CheckedArray<bool, 256> words{};
    program.graded = load_program(path, program.rom, words, program);
    if (placed != nullptr) *placed = words;
    return program;
}

Isa4 case_start(const SuiteCase& c, const Isa4::Rom& rom) {
    Isa4 arch{};
    arch.rom = rom;
    arch.ram = c.ram;
    arch.registers = c.registers;
    arch.z = c.z;
    arch.pc = c.pc;
    return arch;
}

std::vector<Diagnostic> case_problems(const SuiteCase& c, const Isa4& end, std::uint64_t steps,
                                      bool model_bounds) {
    std::vector<Diagnostic> problems;
    for (const Mismatch& m : check_state(c.expect, end).mismatches)
        problems.push_back({m.line, m.column, mismatch_text(m)});
    check_unchanged(c, end, problems);
    for (const StepBound& b : c.bounds)
        if ((model_bounds || b.model_factor == 0) && !b.holds(steps))
            problems.push_back({b.line, b.column,
                                "took " + std::to_string(steps) + " steps, expected " + b.text()});
    return problems;
}

std::string drawn_inputs_text(const SuiteCase& c) {
    std::string text = "inputs:";
    const char* separator = " ";
    for (const DrawnCells& d : c.drawn) {
        text += separator + (d.first == d.last ? printf_text("[%02X]", d.first)
                                               : printf_text("[%02X..%02X]", d.first, d.last));
        for (unsigned a = d.first; a <= d.last; ++a)
            text += (a == d.first ? " = " : ", ") + printf_text("%02X", c.ram[a]);
        separator = ", ";
    }
    return text;
}

namespace {

// A model that cannot be read, does not end a
// case as its `until` asks or fails what a case expects is a mistake of the suite: one
// message per line of the suite, however many generated cases it makes.
void run_model(Suite& suite) {
    const SuiteFile& m = suite.model;
    const ProgramResult model = read_program(m.path);
    if (!model.graded) {
        suite.diagnostics.push_back(
            {m.line, m.column,
             "the model '" + escape_for_message(m.path) + "' " + model.failure +
                 (model.reasons.empty() ? "" : " (" + model.reasons.front() + ")")});
        return;
    }
    std::set<std::pair<int, int>> reported;
    const auto report = [&](int line, int column, std::string message) {
        if (reported.insert({line, column}).second)
            suite.diagnostics.push_back({line, column, std::move(message)});
    };
    for (SuiteCase& c : suite.cases) {
        Isa4 arch = case_start(c, model.rom);
        std::vector<Diagnostic> never_broken;
        const RunOutcome outcome = run_case_machine(c, arch, never_broken);
        const bool generated = c.generate_line != 0;
        const int line = generated ? c.generate_line : c.line;
        const int column = generated ? c.generate_column : 1;
        std::string where = " in case " + in_quotes(c.name);
        if (generated) where += " (" + drawn_inputs_text(c) + ")";
        if (c.until_halt && outcome.reason != StopReason::halt) {
            report(line, column,
                   "the model did not halt within " + std::to_string(c.limit) + " steps" + where);
            continue;
        }
        if (!c.until_halt && outcome.reason == StopReason::halt) {
            report(line, column,
                   "the model halted after " + std::to_string(outcome.steps) +
                       " steps, before the step limit of " + std::to_string(c.limit) + where);
            continue;
        }
        for (StateEntry e : c.compare) {
            for (std::size_t k = 0; k < e.values.size(); ++k) {
                const unsigned at = e.first + static_cast<unsigned>(k);
                e.values[k] = e.target == StateEntry::pc    ? arch.pc
                              : e.target == StateEntry::z   ? (arch.z ? 1 : 0)
                              : e.target == StateEntry::reg ? arch.registers[at]
                                                            : arch.ram[at];
            }
            c.expect.entries.push_back(std::move(e));
        }
        if (bounds_on_model(c)) {
            for (StepBound& b : c.bounds)
                if (b.model_factor != 0) b.steps = b.model_factor * outcome.steps;
            std::vector<Diagnostic> found;
            check_bounds(c, found);
            for (const Diagnostic& d : found) report(d.line, d.column, d.message + where);
        }
        std::vector<Diagnostic> problems = case_problems(c, arch, outcome.steps, false);
        problems.insert(problems.end(), never_broken.begin(), never_broken.end());
        for (const Diagnostic& p : problems)
            report(p.line, p.column,
                   "the model fails case " + in_quotes(c.name) + ": " + p.message);
    }
}

}  // namespace

Suite read_suite(std::string_view text, const std::string& folder) {
    Suite suite = parse_suite(text);
    resolve_suite_files(suite, folder);
    if (suite.ok() && !suite.model.path.empty()) run_model(suite);
    return suite;
}

ProgramResult grade_program(const Suite& suite, const std::string& path) {
    CheckedArray<bool, 256> placed{};
    ProgramResult program = read_program(path, &placed);
    const std::vector<Diagnostic> broken =
        program.graded ? broken_rules(suite, program.rom, placed) : std::vector<Diagnostic>{};
    program.cases.reserve(suite.cases.size());
    for (const SuiteCase& c : suite.cases) {
        if (program.graded) {
            program.cases.push_back(run_case(c, program.rom));
            CaseResult& r = program.cases.back();
            if (!broken.empty()) {
                r.problems.insert(r.problems.begin(), broken.begin(), broken.end());
                if (r.verdict == Verdict::pass) r.verdict = Verdict::fail;
                r.points = 0;
            }
            keep_first_problems(r.problems);
            add_start_lines(c, r);
            limit_feedback(c, r, broken.size());
        } else {
            CaseResult failed;
            failed.verdict = Verdict::error;
            failed.problems.push_back({0, 0, program.failure});
            program.cases.push_back(failed);
        }
    }
    return program;
}
