#include "trace/debugger.h"

#include <algorithm>
#include <cstdio>

#include "machine/instruction.h"
#include "text/names.h"
#include "text/nearest.h"
#include "text/source_text.h"
#include "toolchain/disassembler.h"

namespace {

// ---- The commands: names, short forms, what each expects ----

struct CommandInfo {
    DebugCommand::Kind kind;
    const char* name;
    const char* short_forms;  // space-separated
    const char* usage;
    const char* expects;  // for "expected ..." when the rest of the line does not fit
    bool numbers;         // reads numbers: a fault reminds how they are written
    const char* help;
};

const CommandInfo command_table[] = {
    {DebugCommand::step, "step", "s", "step [N]", "a count of steps", true,
     "run the next N words (1 by default), a line each"},
    {DebugCommand::back, "back", "reverse-step rs", "back [N]", "a count of steps", true,
     "go back N steps (1 by default)"},
    {DebugCommand::forward_continue, "continue", "c", "continue", "nothing after it", false,
     "run to a breakpoint, a watched value changing, a halting JZ or the step limit"},
    {DebugCommand::reverse_continue, "reverse-continue", "rc", "reverse-continue",
     "nothing after it", false,
     "go back to a breakpoint, a watched value changing, a halting JZ or the first step held"},
    {DebugCommand::go_to, "goto", "", "goto STEP", "a step number", true,
     "go to the state after step STEP, back or forward"},
    {DebugCommand::restart, "restart", "", "restart", "nothing after it", false,
     "start again from reset, forgetting the steps and the values set"},
    {DebugCommand::breakpoint, "break", "b", "break ADDR|LABEL", "an address 0..255 or a label",
     true, "stop before the word at ADDR executes"},
    {DebugCommand::remove, "delete", "d", "delete [N]", "a breakpoint or watch number", true,
     "delete breakpoint or watch N (every one without N)"},
    {DebugCommand::watch, "watch", "", "watch rN|[ADDR]|[ADDR..ADDR]",
     "rN, [ADDR] or [ADDR..ADDR] with ADDR 0..255 or a name", true,
     "stop when the value changes, forward or backward"},
    {DebugCommand::info, "info", "i", "info breakpoints|watch|registers",
     "breakpoints, watch or registers", false,
     "list the breakpoints and watches, or the registers"},
    {DebugCommand::print, "print", "p", "print rN|pc|z|[ADDR]|[ADDR..ADDR]",
     "rN, pc, z, [ADDR] or [ADDR..ADDR] with ADDR 0..255 or a name", true, "show a value now"},
    {DebugCommand::when, "when", "", "when rN|[ADDR]", "rN or [ADDR] with ADDR 0..255 or a name",
     true, "every step that wrote it, with the word that did it"},
    {DebugCommand::set, "set", "", "set rN|[ADDR]|pc = V, set z = 0|1",
     "rN = V, [ADDR] = V, pc = V or z = 0|1 with V 0..255", true,
     "change a value now; later recorded steps are dropped, back undoes it"},
    {DebugCommand::list, "list", "l", "list", "nothing after it", false,
     "the program around the next word, marked =>"},
    {DebugCommand::help, "help", "h", "help [COMMAND]", "a command name", false,
     "these lines, or the line of one command"},
    {DebugCommand::quit, "quit", "q", "quit", "nothing after it", false, "end the session"},
};

const CommandInfo* find_command(std::string_view word) {
    for (const CommandInfo& c : command_table) {
        if (word == c.name) return &c;
        std::string_view forms = c.short_forms;
        while (!forms.empty()) {
            const std::size_t space = forms.find(' ');
            if (forms.substr(0, space) == word) return &c;
            if (space == std::string_view::npos) break;
            forms.remove_prefix(space + 1);
        }
    }
    return nullptr;
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
    return s;
}

// The text without any spaces: "[10 .. 17]" and "r1=5" read as typed either way.
std::string without_spaces(std::string_view s) {
    std::string out;
    for (char c : s)
        if (!is_space(c)) out += c;
    return out;
}

// A number written as everywhere else in isa4 (decimal, 0x hex or 0b binary), at most
// `max`. A word that reads only as hex without its 0x ("A0") sets `hint`, once.
std::optional<std::uint64_t> number_of(std::string_view text, std::uint64_t max,
                                       std::string& hint) {
    const std::optional<std::uint64_t> n = parse_cli_number(std::string(text), 0, max);
    if (n || !hint.empty()) return n;
    if (const std::optional<std::uint64_t> hex = digits_value(text, 16); hex && *hex <= max)
        hint = printf_text("write hex as 0x%02llX", static_cast<unsigned long long>(*hex));
    return std::nullopt;
}

// A cell address: a name of the program whose value is one (constants first), or a number.
std::optional<unsigned> cell_address(std::string_view text, const SymbolTable& symbols,
                                     std::string& hint) {
    if (is_identifier_start(text.empty() ? '\0' : text[0])) {
        const NamedValue* found = nullptr;
        for (const NamedValue& n : symbols.names)
            if (n.name == text && n.value >= 0 && n.value <= 255 &&
                (found == nullptr || !n.is_label))
                found = &n;
        if (found != nullptr) return static_cast<unsigned>(found->value);
    }
    const std::optional<std::uint64_t> a = number_of(text, 255, hint);
    if (!a) return std::nullopt;
    return static_cast<unsigned>(*a);
}

// rN, pc, z, [ADDR] or [ADDR..ADDR], with spaces already taken out.
std::optional<DebugTarget> parse_target(std::string_view text, const SymbolTable& symbols,
                                        std::string& hint) {
    DebugTarget t;
    if (lower(text) == "pc") {
        t.kind = DebugTarget::pc;
        return t;
    }
    if (lower(text) == "z") {
        t.kind = DebugTarget::z;
        return t;
    }
    if (const std::optional<unsigned> r = register_number(text)) {
        t.kind = DebugTarget::reg;
        t.first = t.last = *r;
        return t;
    }
    if (text.size() < 3 || text.front() != '[' || text.back() != ']') return std::nullopt;
    text = text.substr(1, text.size() - 2);
    const std::size_t dots = text.find("..");
    t.kind = DebugTarget::ram;
    const std::optional<unsigned> first = cell_address(text.substr(0, dots), symbols, hint);
    if (!first) return std::nullopt;
    t.first = t.last = *first;
    if (dots == std::string_view::npos) return t;
    const std::optional<unsigned> last = cell_address(text.substr(dots + 2), symbols, hint);
    if (!last || *last < *first) return std::nullopt;
    t.last = *last;
    return t;
}

std::string hex2(unsigned v) {
    return printf_text("%02X", v & 0xFF);
}

std::string word_hex(std::uint32_t word) {
    return printf_text(word > 0xFFFFF ? "%06X" : "%05X", word);
}

std::string steps_text(std::uint64_t n) {
    return std::to_string(n) + (n == 1 ? " step" : " steps");
}

// The longest program line shown whole; a longer one is cut with "...".
constexpr std::size_t shown_line_size = 160;

// A line of the program as it can be shown: tabs as spaces, other bytes escaped, its
// indent kept only for a listing.
std::string shown_line(std::string_view line, bool indent = false) {
    while (!line.empty() && is_space(line.back())) line.remove_suffix(1);
    if (!indent) line = trimmed(line);
    std::string spaced;
    for (char c : line) {
        if (spaced.size() >= shown_line_size) return escape_for_message(spaced) + "...";
        if (c != '\t') {
            spaced += c;
            continue;
        }
        do spaced += ' ';
        while (spaced.size() % 8 != 0);
    }
    return escape_for_message(spaced);
}

std::uint8_t value_of(const Isa4& arch, const DebugTarget& t, unsigned index) {
    switch (t.kind) {
        case DebugTarget::reg: return arch.registers[index & 15];
        case DebugTarget::pc: return arch.pc;
        case DebugTarget::z: return arch.z ? 1 : 0;
        case DebugTarget::ram: return arch.ram[index & 255];
    }
    return 0;
}

}  // namespace

std::string target_name(const DebugTarget& t) {
    switch (t.kind) {
        case DebugTarget::reg: return regs[t.first & 15];
        case DebugTarget::pc: return "pc";
        case DebugTarget::z: return "z";
        case DebugTarget::ram:
            return t.first == t.last ? "[" + hex2(t.first) + "]"
                                     : "[" + hex2(t.first) + ".." + hex2(t.last) + "]";
    }
    return "";
}

std::optional<DebugCommand> parse_command(std::string_view line, const SymbolTable& symbols,
                                          Diagnostic& error) {
    line = trimmed(line);
    DebugCommand c;
    if (line.empty() || line.front() == '#') return c;
    std::size_t end = 0;
    while (end < line.size() && !is_space(line[end])) ++end;
    const std::string_view word = line.substr(0, end);
    const std::string_view rest = trimmed(line.substr(end));
    const CommandInfo* info = find_command(word);
    error = Diagnostic{};
    error.file = quote_for_message(word);
    if (info == nullptr) {
        std::vector<std::string_view> names;
        for (const CommandInfo& k : command_table) names.push_back(k.name);
        const std::string guess = did_you_mean(word, names);
        error.message = "no such command" + (guess.empty() ? " (help lists them)" : guess);
        return std::nullopt;
    }
    error.file = info->name;
    c.kind = info->kind;
    std::string hint;  // how a hex word without its 0x is written
    const auto fault = [&]() -> std::optional<DebugCommand> {
        error.message = std::string("expected ") + info->expects +
                        (rest.empty() ? "" : ", not " + in_quotes(rest));
        if (!hint.empty())
            error.message += "; " + hint;
        else if (info->numbers && !rest.empty())
            error.message += "; numbers are decimal, 0x hex or 0b binary";
        return std::nullopt;
    };
    const std::string packed = without_spaces(rest);
    switch (c.kind) {
        case DebugCommand::step:
        case DebugCommand::back:
        case DebugCommand::go_to:
        case DebugCommand::remove: {
            if (rest.empty()) {
                if (c.kind == DebugCommand::go_to) return fault();
                c.all = true;
                return c;
            }
            const std::optional<std::uint64_t> n = number_of(rest, UINT64_MAX, hint);
            if (!n) return fault();
            c.count = *n;
            return c;
        }
        case DebugCommand::breakpoint: {
            const NamedValue* label = nullptr;
            for (const NamedValue& n : symbols.names)
                if (n.is_label && n.name == rest && n.value >= 0 && n.value <= 255) label = &n;
            const std::optional<std::uint64_t> a =
                label != nullptr
                    ? std::optional<std::uint64_t>(static_cast<std::uint64_t>(label->value))
                    : number_of(rest, 255, hint);
            if (!a) return fault();
            c.address = static_cast<std::uint8_t>(*a);
            return c;
        }
        case DebugCommand::watch:
        case DebugCommand::print:
        case DebugCommand::when: {
            const std::optional<DebugTarget> t = parse_target(packed, symbols, hint);
            if (!t) return fault();
            const bool one =
                t->kind == DebugTarget::reg || (t->kind == DebugTarget::ram && t->first == t->last);
            if (c.kind == DebugCommand::when && !one) return fault();
            if (c.kind == DebugCommand::watch && t->kind != DebugTarget::reg &&
                t->kind != DebugTarget::ram)
                return fault();
            c.target = *t;
            return c;
        }
        case DebugCommand::set: {
            const std::size_t eq = packed.find('=');
            if (eq == std::string::npos) return fault();
            const std::optional<DebugTarget> t = parse_target(packed.substr(0, eq), symbols, hint);
            if (!t || (t->kind == DebugTarget::ram && t->first != t->last)) return fault();
            const std::optional<std::uint64_t> v =
                number_of(packed.substr(eq + 1), t->kind == DebugTarget::z ? 1 : 255, hint);
            if (!v) return fault();
            c.target = *t;
            c.value = static_cast<std::uint8_t>(*v);
            return c;
        }
        case DebugCommand::info: {
            const std::string topic = lower(rest);
            if (topic == "breakpoints" || topic == "break" || topic == "b")
                c.topic = "breakpoints";
            else if (topic == "watch" || topic == "watches" || topic == "w")
                c.topic = "watch";
            else if (topic == "registers" || topic == "reg" || topic == "r")
                c.topic = "registers";
            else
                return fault();
            return c;
        }
        case DebugCommand::help:
            if (!rest.empty() && find_command(rest) == nullptr) return fault();
            c.topic = std::string(rest);
            return c;
        default:
            if (!rest.empty()) return fault();
            return c;
    }
}

std::string help_text(std::string_view command) {
    std::string out;
    for (const CommandInfo& c : command_table) {
        if (!command.empty() && find_command(command) != &c) continue;
        std::string line = c.usage;
        if (c.short_forms[0] != '\0') {
            std::string forms = c.short_forms;
            for (std::size_t at = forms.find(' '); at != std::string::npos;
                 at = forms.find(' ', at + 2))
                forms.replace(at, 1, ", ");
            line += " (" + forms + ")";
        }
        if (line.size() < 38) line.resize(38, ' ');
        out += line + "  " + c.help + "\n";
    }
    if (command.empty())
        out +=
            "Numbers are decimal, 0x hex or 0b binary (16, 0x10, 0b10000); answers show hex.\n"
            "On a terminal, Enter repeats the last step or back.\n";
    return out;
}

// ---- The debugger ----

// Where a backward search stops, and why.
struct Debugger::Stop {
    std::uint64_t position = 0;
    std::string why;
};

Debugger::Debugger(DebugProgram program)
    : program_(std::move(program)),
      history_(program_.machine, program_.history),
      now_(program_.machine) {}

std::string Debugger::word_text(std::uint8_t address) const {
    const SymbolTable* symbols = program_.symbols.empty() ? nullptr : &program_.symbols;
    std::string text = hex2(address) + "  " + word_hex(now_.rom[address]) + "  ";
    if (const NamedValue* n = symbols != nullptr ? symbols->label_at(address) : nullptr)
        text += n->name + ": ";
    return text + executed_text(now_.rom[address], address, symbols);
}

std::string Debugger::source_note(std::uint8_t address) const {
    const ProgramListing& listing = program_.listing;
    if (!listing.is_source) return "";
    const int line = listing.line_of[address];
    if (line < 0 || static_cast<std::size_t>(line) >= listing.lines.size()) return "";
    return "  | " + std::to_string(line + 1) + ": " + shown_line(listing.lines[line]);
}

std::string Debugger::where_line() const {
    const std::uint8_t next = static_cast<std::uint8_t>(now_.pc + 1);
    return "step " + std::to_string(step_number()) + ", next " + word_text(next) +
           source_note(next);
}

void Debugger::show_where(const Sink& out) const {
    out(Tone::where, where_line());
}

std::string Debugger::history_start_text() const {
    if (history_.first() == 0) return "the start of the run";
    return "the oldest step held (--history " + std::to_string(history_.most_steps()) + ")";
}

bool Debugger::at_breakpoint(const Isa4& arch) const {
    const std::uint8_t next = static_cast<std::uint8_t>(arch.pc + 1);
    for (const Mark& m : marks_)
        if (!m.is_watch && m.address == next) return true;
    return false;
}

const Debugger::Mark* Debugger::watch_hit(const Isa4& before, const StepDelta& d) const {
    for (const Mark& m : marks_) {
        if (!m.is_watch) continue;
        if (m.target.kind == DebugTarget::reg && d.write == StepDelta::reg &&
            d.index == m.target.first && before.registers[d.index & 15] != d.value)
            return &m;
        if (m.target.kind == DebugTarget::ram && d.write == StepDelta::ram &&
            d.index >= m.target.first && d.index <= m.target.last && before.ram[d.index] != d.value)
            return &m;
    }
    return nullptr;
}

namespace {

// "watch [02] 00 -> 05", naming the cell when the watch is a span.
std::string watch_text(const DebugTarget& t, const Isa4& before, const StepDelta& d) {
    std::string text = "watch " + target_name(t);
    const unsigned old_value =
        d.write == StepDelta::reg ? before.registers[d.index & 15] : before.ram[d.index];
    if (t.kind == DebugTarget::ram && t.first != t.last) text += ": [" + hex2(d.index) + "]";
    return text + " " + hex2(old_value) + " -> " + hex2(d.value);
}

}  // namespace

void Debugger::move_to(std::uint64_t position) {
    pos_ = position;
    now_ = history_.state_at(position);
}

// Runs up to `most` words from where the run stands, on the recorded future while there is
// one. With `stops`, a breakpoint (but not at the first word), a watch or a halt ends it.
// `each` prints a line per step; otherwise only the last step's line is printed.
void Debugger::forward(std::uint64_t most, bool stops, bool each, const Sink& out) {
    const SymbolTable* symbols = program_.symbols.empty() ? nullptr : &program_.symbols;
    std::uint64_t done = 0;
    std::string stop;
    Isa4 last_before{};  // the last step's machine before it, for its line
    bool last_go_on = true;
    const auto line_of = [&](const Isa4& before, bool go_on) {
        return trace_line(step_number(), before, now_, go_on, symbols) +
               source_note(static_cast<std::uint8_t>(before.pc + 1));
    };
    while (done < most) {
        if (stops && done > 0 && at_breakpoint(now_)) {
            stop = "breakpoint at " + hex2(now_.pc + 1);
            break;
        }
        if (pos_ < history_.end() && history_.is_change(pos_)) {
            // A value set by hand at this point of the recorded run: set again.
            apply_delta(now_, history_.entry(pos_));
            ++pos_;
            continue;
        }
        const Isa4 before = now_;
        const bool go_on = now_.step();
        const StepDelta d = delta_of(before, now_);
        if (pos_ < history_.end()) {
            ++pos_;  // the step the history holds: the machine is deterministic
        } else {
            history_.append(d);
            pos_ = history_.end();
        }
        ++done;
        if (each)
            out(Tone::plain, line_of(before, go_on));
        else
            last_before = before, last_go_on = go_on;
        if (!stops) continue;
        if (!go_on) {
            stop = "halting JZ at " + hex2(now_.pc);
            break;
        }
        if (const Mark* m = watch_hit(before, d)) {
            stop = watch_text(m->target, before, d);
            break;
        }
    }
    if (!each && done > 0) out(Tone::plain, line_of(last_before, last_go_on));
    if (stop.empty() && done == debug_step_limit) stop = "step limit at " + hex2(now_.pc);
    if (!stop.empty()) out(Tone::stop, "stopped after " + steps_text(step_number()) + ": " + stop);
}

// The target of going back `count` steps, the first of them never stopped; then the latest
// breakpoint, watch change or halt between the two, if any, is where it stops.
bool Debugger::backward(std::uint64_t count, const Sink& out, Diagnostic& error) {
    std::uint64_t target = pos_;
    std::uint64_t first_back = pos_;
    std::uint64_t moved = 0;
    while (moved < count && target > history_.first()) {
        // Values set by hand since the last step go first, all at once; then one step.
        if (history_.is_change(target - 1))
            while (target > history_.first() && history_.is_change(target - 1)) --target;
        else
            --target;
        if (moved == 0) first_back = target;
        ++moved;
    }
    const bool short_of_count = moved < count;
    if (moved == 0) {
        error.file = "back";
        error.message =
            "already at step " + std::to_string(step_number()) + ", " + history_start_text();
        return false;
    }

    // Replays [target, pos_) once, keeping the latest stop at or before `first_back`.
    std::optional<Stop> found;
    Isa4 arch = history_.state_at(target);
    for (std::uint64_t k = target; k < pos_; ++k) {
        const StepDelta& d = history_.entry(k);
        if (history_.is_change(k)) {
            apply_delta(arch, d);
            continue;
        }
        if (k <= first_back) {
            const std::uint64_t n = history_.step_number(k);
            if (at_breakpoint(arch) && k > target)
                found = Stop{k, "stopped at step " + std::to_string(n) + ": breakpoint at " +
                                    hex2(arch.pc + 1)};
            if (const Mark* m = watch_hit(arch, d))
                found = Stop{k, "stopped at step " + std::to_string(n) + ": " +
                                    watch_text(m->target, arch, d) + " by the next word"};
            if (halts_next(arch) && k + 1 <= first_back && k + 1 < pos_)
                found = Stop{k + 1, "stopped at step " + std::to_string(n + 1) +
                                        ": halting JZ at " + hex2(arch.pc + 1)};
        }
        apply_delta(arch, d);
    }
    const std::uint64_t from = pos_;
    if (found) {
        move_to(found->position);
        out(Tone::stop, found->why);
    } else {
        move_to(target);
        if (short_of_count)
            out(Tone::stop,
                "stopped at step " + std::to_string(step_number()) + ": " + history_start_text());
    }
    std::uint64_t undone = 0;
    for (std::uint64_t k = pos_; k < from; ++k) undone += history_.is_change(k) ? 1 : 0;
    if (undone > 0)
        out(Tone::plain, "undone: " + std::to_string(undone) +
                             (undone == 1 ? " value set by hand" : " values set by hand"));
    show_where(out);
    return true;
}

bool Debugger::go_to(std::uint64_t step, const Sink& out, Diagnostic& error) {
    error.file = "goto";
    if (step < history_.step_number(history_.first())) {
        error.message = "step " + std::to_string(step) +
                        " is no longer held; the history starts at step " +
                        std::to_string(history_.step_number(history_.first())) + " (--history " +
                        std::to_string(history_.most_steps()) + ")";
        return false;
    }
    const std::uint64_t last = history_.step_number(history_.end());
    if (step >= last) {
        move_to(history_.end());
        const std::uint64_t ahead = step - last;
        if (ahead > 0) {
            forward(std::min(ahead, debug_step_limit), false, false,
                    [](Tone, const std::string&) {});
            if (ahead > debug_step_limit)
                out(Tone::stop, "stopped after " + steps_text(step_number()) + ": step limit at " +
                                    hex2(now_.pc));
        }
    } else {
        // The last position of that step: after the values set by hand there.
        std::uint64_t lo = history_.first(), hi = history_.end();
        while (lo < hi) {
            const std::uint64_t mid = lo + (hi - lo + 1) / 2;
            if (history_.step_number(mid) <= step)
                lo = mid;
            else
                hi = mid - 1;
        }
        move_to(lo);
    }
    show_where(out);
    return true;
}

void Debugger::set(const DebugCommand& c, const Sink& out) {
    history_.truncate(pos_);
    StepDelta d;
    d.pc = now_.pc;
    d.z = now_.z;
    switch (c.target.kind) {
        case DebugTarget::pc: d.pc = c.value; break;
        case DebugTarget::z: d.z = c.value != 0; break;
        case DebugTarget::reg:
            d.write = StepDelta::reg;
            d.index = static_cast<std::uint8_t>(c.target.first);
            d.value = c.value;
            break;
        case DebugTarget::ram:
            d.write = StepDelta::ram;
            d.index = static_cast<std::uint8_t>(c.target.first);
            d.value = c.value;
            break;
    }
    history_.append(d, true);
    pos_ = history_.end();
    apply_delta(now_, d);
    out(Tone::plain,
        target_name(c.target) + " = " +
            (c.target.kind == DebugTarget::z ? std::to_string(c.value) : hex2(c.value)));
}

void Debugger::when(const DebugTarget& t, const Sink& out) const {
    const SymbolTable* symbols = program_.symbols.empty() ? nullptr : &program_.symbols;
    const StepDelta::Write kind = t.kind == DebugTarget::reg ? StepDelta::reg : StepDelta::ram;
    const auto writes = [&](std::uint64_t k) {
        const StepDelta& d = history_.entry(k);
        return d.write == kind && d.index == t.first;
    };
    // Counted first for the title, then listed as the history is replayed.
    std::uint64_t steps = 0, changes = 0;
    for (std::uint64_t k = history_.first(); k < history_.end(); ++k)
        if (writes(k)) ++(history_.is_change(k) ? changes : steps);
    std::string title = target_name(t) + ": written by " + steps_text(steps);
    if (changes > 0)
        title +=
            " and set by hand " + std::to_string(changes) + (changes == 1 ? " time" : " times");
    if (history_.first() > 0) title += " since " + history_start_text();
    out(Tone::plain, title);

    Isa4 arch = history_.state_at(history_.first());
    for (std::uint64_t k = history_.first(); k < history_.end(); ++k) {
        const StepDelta& d = history_.entry(k);
        if (writes(k)) {
            const bool change = history_.is_change(k);
            const std::uint64_t n = history_.step_number(k) + (change ? 0 : 1);
            std::string line = printf_text("step %6llu  ", static_cast<unsigned long long>(n));
            if (change) {
                line += "set by hand";
            } else {
                const std::uint8_t a = static_cast<std::uint8_t>(arch.pc + 1);
                line += hex2(a) + "  " + word_hex(arch.rom[a]) + "  " +
                        executed_text(arch.rom[a], a, symbols);
            }
            line += "  -> " + hex2(d.value);
            if (k + 1 == pos_) line += "  (just run)";
            out(Tone::plain, line);
        }
        apply_delta(arch, d);
    }
}

void Debugger::list(const Sink& out) const {
    const ProgramListing& listing = program_.listing;
    const std::uint8_t next = static_cast<std::uint8_t>(now_.pc + 1);
    const int at = listing.line_of[next];
    if (at < 0 || static_cast<std::size_t>(at) >= listing.lines.size()) {
        out(Tone::plain, "=> " + word_text(next) + "  (no line of the program shows this word)");
        return;
    }
    const int first = std::max(0, at - 5);
    const int last = std::min(static_cast<int>(listing.lines.size()) - 1, at + 5);
    for (int i = first; i <= last; ++i) {
        const std::string number =
            listing.is_source ? printf_text("%4d", i + 1) : "  " + hex2(static_cast<unsigned>(i));
        out(i == at ? Tone::where : Tone::plain,
            (i == at ? "=> " : "   ") + number + "  " + shown_line(listing.lines[i], true));
    }
}

void Debugger::info(const std::string& topic, const Sink& out) const {
    if (topic == "registers") {
        out(Tone::plain, "pc = " + hex2(now_.pc) + "  z = " + (now_.z ? "1" : "0"));
        for (unsigned row = 0; row < 2; ++row) {
            std::string line;
            for (unsigned i = row * 8; i < row * 8 + 8; ++i)
                line += (i % 8 == 0 ? "" : "  ") + std::string(regs[i]) + " = " +
                        hex2(now_.registers[i]);
            out(Tone::plain, line);
        }
        return;
    }
    const bool watches_only = topic == "watch";
    int shown = 0;
    for (const Mark& m : marks_) {
        if (watches_only && !m.is_watch) continue;
        std::string line = std::to_string(m.number) + "  ";
        if (m.is_watch) {
            line += "watch " + target_name(m.target);
        } else {
            line += "break " + hex2(m.address);
            if (const NamedValue* n = program_.symbols.label_at(m.address))
                line += " (" + n->name + ")";
        }
        out(Tone::plain, line);
        ++shown;
    }
    if (shown == 0) out(Tone::plain, watches_only ? "no watches" : "no breakpoints or watches");
}

bool Debugger::execute(const DebugCommand& c, const Sink& out, Diagnostic& error) {
    error = Diagnostic{};
    switch (c.kind) {
        case DebugCommand::nothing:
        case DebugCommand::quit: return true;
        case DebugCommand::step:
            forward(std::min(c.count, debug_step_limit), true, true, out);
            return true;
        case DebugCommand::back: return backward(c.count, out, error);
        case DebugCommand::forward_continue:
            forward(debug_step_limit, true, false, out);
            show_where(out);
            return true;
        case DebugCommand::reverse_continue:
            if (!backward(UINT64_MAX, out, error)) {
                error.file = "reverse-continue";
                return false;
            }
            return true;
        case DebugCommand::go_to: return go_to(c.count, out, error);
        case DebugCommand::restart:
            history_ = History(program_.machine, program_.history);
            move_to(0);
            show_where(out);
            return true;
        case DebugCommand::breakpoint: {
            for (const Mark& m : marks_)
                if (!m.is_watch && m.address == c.address) {
                    out(Tone::plain, "breakpoint " + std::to_string(m.number) + " at " +
                                         hex2(c.address) + " already");
                    return true;
                }
            Mark m;
            m.number = next_mark_++;
            m.address = c.address;
            marks_.push_back(m);
            std::string line =
                "breakpoint " + std::to_string(m.number) + " at " + word_text(c.address);
            out(Tone::plain, line);
            return true;
        }
        case DebugCommand::watch: {
            Mark m;
            m.number = next_mark_++;
            m.is_watch = true;
            m.target = c.target;
            marks_.push_back(m);
            out(Tone::plain, "watch " + std::to_string(m.number) + ": " + target_name(c.target));
            return true;
        }
        case DebugCommand::remove: {
            if (c.all) {
                const std::size_t n = marks_.size();
                marks_.clear();
                out(Tone::plain,
                    "deleted " + std::to_string(n) +
                        (n == 1 ? " breakpoint or watch" : " breakpoints and watches"));
                return true;
            }
            const auto it = std::find_if(marks_.begin(), marks_.end(), [&](const Mark& m) {
                return static_cast<std::uint64_t>(m.number) == c.count;
            });
            if (it == marks_.end()) {
                error.file = "delete";
                error.message = "no breakpoint or watch " + std::to_string(c.count) +
                                " (info breakpoints lists them)";
                return false;
            }
            out(Tone::plain, std::string("deleted ") + (it->is_watch ? "watch " : "breakpoint ") +
                                 std::to_string(it->number));
            marks_.erase(it);
            return true;
        }
        case DebugCommand::info: info(c.topic, out); return true;
        case DebugCommand::print: {
            const DebugTarget& t = c.target;
            std::string line = target_name(t) + " =";
            if (t.kind == DebugTarget::z)
                line += now_.z ? " 1" : " 0";
            else
                for (unsigned i = t.first; i <= t.last; ++i)
                    line += " " + hex2(value_of(now_, t, i));
            out(Tone::plain, line);
            return true;
        }
        case DebugCommand::when: when(c.target, out); return true;
        case DebugCommand::set: set(c, out); return true;
        case DebugCommand::list: list(out); return true;
        case DebugCommand::help: {
            const std::string text = help_text(c.topic);
            std::size_t from = 0;
            while (from < text.size()) {
                const std::size_t nl = text.find('\n', from);
                out(Tone::plain, text.substr(from, nl - from));
                from = nl + 1;
            }
            return true;
        }
    }
    return true;
}
