// A debugger over a recorded run: steps forward on the machine `isa4 run` steps, and
// back through the `History` of what it did; breakpoints, watches, printing and setting
// values. It knows nothing of terminals: a front end reads lines, hands them to
// `parse_command`, gives the commands to `Debugger::execute`, and prints the lines it
// answers with and the diagnostics of faults.
//
// Numbers in commands are written as in the sources and on the command line: decimal (16),
// 0x hex (0x10) or 0b binary (0b10000); an address may also be a name of the program's
// symbols (a label for `break`, a constant for a cell). The answers show addresses and
// values in hex, as the trace does, so `print [0xA0]` answers "[A0] = 5A"; a hex word
// typed without its 0x ("[A0]") is refused with a hint to write 0xA0.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "headless/runner.h"
#include "machine/isa4.h"
#include "text/message.h"
#include "toolchain/symbols.h"
#include "trace/page.h"
#include "trace/recording.h"

// A register, pc, z, one RAM cell or a span of cells.
struct DebugTarget {
    enum Kind { reg, pc, z, ram } kind = reg;
    unsigned first = 0;  // register number or first cell
    unsigned last = 0;   // last cell of a span (first for one cell)

    friend bool operator==(const DebugTarget& a, const DebugTarget& b) {
        return a.kind == b.kind && a.first == b.first && a.last == b.last;
    }
};

// "r1", "pc", "z", "[A0]", "[10..17]".
std::string target_name(const DebugTarget& t);

struct DebugCommand {
    enum Kind {
        nothing,  // an empty line
        step,
        back,
        forward_continue,
        reverse_continue,
        go_to,
        restart,
        breakpoint,
        remove,
        watch,
        info,
        print,
        when,
        set,
        list,
        help,
        quit,
    } kind = nothing;
    std::uint64_t count = 1;   // step, back: how many; goto: the step; delete: the number
    bool all = false;          // delete without a number
    std::uint8_t address = 0;  // break
    DebugTarget target;        // watch, print, when, set
    std::uint8_t value = 0;    // set
    std::string topic;         // info: "breakpoints", "watch" or "registers"; help: a command
};

// Reads one command line. On a fault, nothing, and `error` says which command and what it
// expects: "step: error: expected a count ...", printed through `format_diagnostic`.
std::optional<DebugCommand> parse_command(std::string_view line, const SymbolTable& symbols,
                                          Diagnostic& error);

// The help: every command a line, or the line of one command ("" when there is none).
std::string help_text(std::string_view command = {});

// What the debugger is given: the machine at reset with its ROM and RAM, the names to show,
// how the program is listed, and how many steps it may hold for going back.
struct DebugProgram {
    Isa4 machine{};
    SymbolTable symbols;
    ProgramListing listing;
    std::uint64_t history = 1000000;
};

// The most steps one `step` or `continue` runs: the step limit of `isa4 run`, so that a
// program that never halts does not hang the session.
inline constexpr std::uint64_t debug_step_limit = default_step_limit;

class Debugger {
public:
    // How an answer line reads: a step, a stop said in words, where the run stands.
    enum class Tone { plain, stop, where };
    using Sink = std::function<void(Tone tone, const std::string& line)>;

    explicit Debugger(DebugProgram program);
    Debugger(const Debugger&) = delete;
    Debugger& operator=(const Debugger&) = delete;

    // Where the run stands, as shown at the start.
    void show_where(const Sink& out) const;
    // Carries out `c`; false, with `error` set, when it cannot (going back past the
    // history, a step that is not held, an unknown number to delete ...).
    bool execute(const DebugCommand& c, const Sink& out, Diagnostic& error);

    const Isa4& state() const { return now_; }
    std::uint64_t step_number() const { return history_.step_number(pos_); }
    const History& history() const { return history_; }
    const SymbolTable& symbols() const { return program_.symbols; }

private:
    struct Stop;
    struct Mark {
        int number = 0;
        bool is_watch = false;
        std::uint8_t address = 0;  // a breakpoint's
        DebugTarget target;        // a watch's
    };

    void forward(std::uint64_t most, bool stops, bool each, const Sink& out);
    bool backward(std::uint64_t count, const Sink& out, Diagnostic& error);
    void reverse_continue(const Sink& out);
    bool go_to(std::uint64_t step, const Sink& out, Diagnostic& error);
    void move_to(std::uint64_t position);
    void set(const DebugCommand& c, const Sink& out);
    void when(const DebugTarget& t, const Sink& out) const;
    void list(const Sink& out) const;
    void info(const std::string& topic, const Sink& out) const;

    std::string where_line() const;
    std::string word_text(std::uint8_t address) const;
    std::string source_note(std::uint8_t address) const;
    std::string history_start_text() const;
    bool at_breakpoint(const Isa4& arch) const;
    // The watch the step from `before` by `d` changes, or nullptr.
    const Mark* watch_hit(const Isa4& before, const StepDelta& d) const;

    DebugProgram program_;
    History history_;
    std::uint64_t pos_ = 0;
    Isa4 now_;
    std::vector<Mark> marks_;
    int next_mark_ = 1;
};
