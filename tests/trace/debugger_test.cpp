// The history a debugger moves through, its commands read from text, and the debugger
// itself against the runner: going back and forth must give the states a plain run gives.
#include "trace/debugger.h"

#include <gtest/gtest.h>

#include "toolchain/assembler.h"

namespace {

// Counts in r1 and [10] for ever; r2 reaches zero every 256 rounds.
const char* const counter =
    "loop:  ADDI r1, r1, 1\n"
    "       MOVE [0x10], r1\n"
    "       ADDI r2, r1, 0\n"
    "       ADDI r0, r0, 0\n"
    "       JZ loop\n";

// Counts to three in [10], then halts at 6.
const char* const count_to_three =
    "loop:  ADDI r1, r1, 1\n"
    "       MOVE [0x10], r1\n"
    "       ADDI r2, r1, -3\n"
    "       JZ done\n"
    "       ADDI r0, r0, 0\n"
    "       JZ loop\n"
    "done:  JZ @done\n";

Isa4 machine_with(const char* source) {
    const Assembly a = assemble(source);
    EXPECT_TRUE(a.ok());
    Isa4 arch{};
    arch.rom = a.rom;
    arch.reset();
    return arch;
}

Isa4 after_steps(Isa4 arch, std::uint64_t n) {
    for (std::uint64_t k = 0; k < n; ++k) arch.step();
    return arch;
}

DebugProgram program_of(const char* source, std::uint64_t history = 1000000) {
    const Assembly a = assemble(source);
    DebugProgram p;
    p.machine = machine_with(source);
    p.symbols = a.symbols;
    p.listing = source_listing(source, a.word_lines);
    p.history = history;
    return p;
}

// A debugger driven by command lines, its answers kept.
struct Session {
    Debugger debugger;
    std::vector<std::string> lines;
    Diagnostic error;

    explicit Session(DebugProgram p) : debugger(std::move(p)) {}

    // Runs `line`; true when it was understood and done.
    bool run(const std::string& line) {
        lines.clear();
        const std::optional<DebugCommand> c = parse_command(line, debugger.symbols(), error);
        if (!c) return false;
        return debugger.execute(
            *c, [this](Debugger::Tone, const std::string& text) { lines.push_back(text); }, error);
    }
    std::string last() const { return lines.empty() ? "" : lines.back(); }
};

TEST(History, RebuildsEveryStateAcrossCheckpoints) {
    const Isa4 start = machine_with(counter);
    History h(start, 1000000);
    Isa4 arch = start;
    const std::uint64_t n = History::checkpoint_every * 2 + 7;
    for (std::uint64_t k = 0; k < n; ++k) {
        const Isa4 before = arch;
        arch.step();
        h.append(delta_of(before, arch));
    }
    EXPECT_EQ(h.last(), arch);
    for (std::uint64_t k : {std::uint64_t{0}, std::uint64_t{1}, History::checkpoint_every - 1,
                            History::checkpoint_every, History::checkpoint_every + 1, n - 1, n})
        EXPECT_EQ(h.state_at(k), after_steps(start, k)) << "position " << k;
}

TEST(History, DropsTheOldestStepsPastItsBound) {
    const Isa4 start = machine_with(counter);
    History h(start, 10);
    Isa4 arch = start;
    for (int k = 0; k < 25; ++k) {
        const Isa4 before = arch;
        arch.step();
        h.append(delta_of(before, arch));
    }
    EXPECT_EQ(h.first(), 15u);
    EXPECT_EQ(h.end(), 25u);
    EXPECT_EQ(h.step_number(h.first()), 15u);
    EXPECT_EQ(h.state_at(15), after_steps(start, 15));
    EXPECT_EQ(h.state_at(25), arch);
}

TEST(History, ChangesAreNoStepsAndTruncatingDropsThem) {
    const Isa4 start = machine_with(counter);
    History h(start, 1000000);
    Isa4 arch = start;
    for (int k = 0; k < 3; ++k) {
        const Isa4 before = arch;
        arch.step();
        h.append(delta_of(before, arch));
    }
    StepDelta set_r5{arch.pc, arch.z, StepDelta::reg, 5, 0x77};
    h.append(set_r5, true);
    EXPECT_TRUE(h.is_change(3));
    EXPECT_EQ(h.step_number(4), 3u);
    EXPECT_EQ(h.state_at(4).registers[5], 0x77);
    h.truncate(3);
    EXPECT_FALSE(h.is_change(3));
    EXPECT_EQ(h.end(), 3u);
    EXPECT_EQ(h.last(), after_steps(start, 3));
}

struct ParseCase {
    const char* line;
    DebugCommand::Kind kind;
    std::uint64_t count;
    DebugTarget target;
    unsigned value;  // set's value, or break's address
};

TEST(DebugCommands, ReadTheFullNamesAndShortForms) {
    using C = DebugCommand;
    const DebugTarget none;
    const ParseCase cases[] = {
        {"step", C::step, 1, none, 0},
        {"s 12", C::step, 12, none, 0},
        {"  back  3 ", C::back, 3, none, 0},
        {"reverse-step", C::back, 1, none, 0},
        {"rs 2", C::back, 2, none, 0},
        {"c", C::forward_continue, 1, none, 0},
        {"reverse-continue", C::reverse_continue, 1, none, 0},
        {"goto 40", C::go_to, 40, none, 0},
        {"goto 0x10", C::go_to, 16, none, 0},
        {"b 10", C::breakpoint, 1, none, 10},
        {"break done", C::breakpoint, 1, none, 6},
        {"break 0x1f", C::breakpoint, 1, none, 0x1F},
        {"break 0b101", C::breakpoint, 1, none, 5},
        {"watch r1", C::watch, 1, {DebugTarget::reg, 1, 1}, 0},
        {"watch [0x10 .. 0x17]", C::watch, 1, {DebugTarget::ram, 0x10, 0x17}, 0},
        {"watch [16..23]", C::watch, 1, {DebugTarget::ram, 0x10, 0x17}, 0},
        {"p pc", C::print, 1, {DebugTarget::pc, 0, 0}, 0},
        {"print Z", C::print, 1, {DebugTarget::z, 0, 0}, 0},
        {"print [0xA0]", C::print, 1, {DebugTarget::ram, 0xA0, 0xA0}, 0},
        {"print [255]", C::print, 1, {DebugTarget::ram, 0xFF, 0xFF}, 0},
        {"print rF", C::print, 1, {DebugTarget::reg, 15, 15}, 0},
        {"when [02]", C::when, 1, {DebugTarget::ram, 2, 2}, 0},
        {"set r1 = 10", C::set, 1, {DebugTarget::reg, 1, 1}, 10},
        {"set r1 = 0b1010", C::set, 1, {DebugTarget::reg, 1, 1}, 10},
        {"set [0xA0]=0xFF", C::set, 1, {DebugTarget::ram, 0xA0, 0xA0}, 0xFF},
        {"set [done] = 255", C::set, 1, {DebugTarget::ram, 6, 6}, 0xFF},
        {"set z = 0x1", C::set, 1, {DebugTarget::z, 0, 0}, 1},
        {"delete 2", C::remove, 2, none, 0},
        {"", C::nothing, 1, none, 0},
    };
    SymbolTable symbols = assemble(count_to_three).symbols;
    for (const ParseCase& pc : cases) {
        Diagnostic error;
        const std::optional<DebugCommand> c = parse_command(pc.line, symbols, error);
        ASSERT_TRUE(c) << pc.line << ": " << format_diagnostic(error);
        EXPECT_EQ(c->kind, pc.kind) << pc.line;
        const bool counted =
            pc.kind == C::step || pc.kind == C::back || pc.kind == C::go_to || pc.kind == C::remove;
        const bool targeted =
            pc.kind == C::watch || pc.kind == C::print || pc.kind == C::when || pc.kind == C::set;
        EXPECT_EQ(counted ? c->count : 1u, pc.count) << pc.line;
        EXPECT_TRUE(!targeted || c->target == pc.target) << pc.line;
        EXPECT_EQ(pc.kind == C::set ? c->value : 0u, pc.kind == C::set ? pc.value : 0u) << pc.line;
        EXPECT_EQ(pc.kind == C::breakpoint ? c->address : 0u,
                  pc.kind == C::breakpoint ? pc.value : 0u)
            << pc.line;
    }
}

TEST(DebugCommands, FaultsNameTheCommandAndWhatItExpects) {
    const struct {
        const char* line;
        const char* command;
    } cases[] = {
        {"frobnicate", "frobnicate"},
        {"step x", "step"},
        {"step 99999999999999999999999", "step"},
        {"back -1", "back"},
        {"goto", "goto"},
        {"break 256", "break"},
        {"break nowhere", "break"},
        {"print [05..02]", "print"},
        {"print [1FF]", "print"},
        {"print r16", "print"},
        {"when pc", "when"},
        {"when [00..03]", "when"},
        {"watch z", "watch"},
        {"set r1 5", "set"},
        {"set r1 = 256", "set"},
        {"set z = 2", "set"},
        {"set [00..01] = 1", "set"},
        {"info nothing", "info"},
        {"help frobnicate", "help"},
        {"continue 3", "continue"},
    };
    for (const auto& fc : cases) {
        Diagnostic error;
        EXPECT_FALSE(parse_command(fc.line, SymbolTable{}, error)) << fc.line;
        EXPECT_EQ(error.file, fc.command) << fc.line;
        EXPECT_FALSE(error.message.empty()) << fc.line;
        EXPECT_EQ(format_diagnostic(error).find('\n'), std::string::npos) << fc.line;
    }
    // A hex word typed without its 0x: the message says how to write it; a number out of
    // range or a word that is none reminds how numbers are written.
    const std::pair<const char*, const char*> messages[] = {
        {"print [A0]",
         "print: error: expected rN, pc, z, [ADDR] or [ADDR..ADDR] with ADDR 0..255 or a name, "
         "not '[A0]'; write hex as 0xA0"},
        {"watch [0x10..1f]",
         "watch: error: expected rN, [ADDR] or [ADDR..ADDR] with ADDR 0..255 or a name, "
         "not '[0x10..1f]'; write hex as 0x1F"},
        {"set r1 = FF",
         "set: error: expected rN = V, [ADDR] = V, pc = V or z = 0|1 with V 0..255, "
         "not 'r1 = FF'; write hex as 0xFF"},
        {"break 0a",
         "break: error: expected an address 0..255 or a label, not '0a'; "
         "write hex as 0x0A"},
        {"step c", "step: error: expected a count of steps, not 'c'; write hex as 0x0C"},
        {"print [1FF]",
         "print: error: expected rN, pc, z, [ADDR] or [ADDR..ADDR] with ADDR 0..255 or a name, "
         "not '[1FF]'; numbers are decimal, 0x hex or 0b binary"},
        {"set r1 = 256",
         "set: error: expected rN = V, [ADDR] = V, pc = V or z = 0|1 with V 0..255, "
         "not 'r1 = 256'; numbers are decimal, 0x hex or 0b binary"},
        {"goto x",
         "goto: error: expected a step number, not 'x'; numbers are decimal, 0x hex "
         "or 0b binary"},
        {"info nothing", "info: error: expected breakpoints, watch or registers, not 'nothing'"},
    };
    for (const auto& [line, message] : messages) {
        Diagnostic error;
        EXPECT_FALSE(parse_command(line, SymbolTable{}, error)) << line;
        EXPECT_EQ(format_diagnostic(error), message) << line;
    }
    // A hex word of any length gets a hint of two digits.
    Diagnostic zeros;
    EXPECT_FALSE(parse_command("print [" + std::string(100000, '0') + "A]", SymbolTable{}, zeros));
    EXPECT_NE(zeros.message.find("; write hex as 0x0A"), std::string::npos);
    EXPECT_LT(format_diagnostic(zeros).size(), 300u);
    // A hostile line is quoted cut short, its control bytes escaped.
    Diagnostic error;
    EXPECT_FALSE(parse_command("step " + std::string(1 << 20, '\x1b'), SymbolTable{}, error));
    EXPECT_LT(format_diagnostic(error).size(), 300u);
    EXPECT_EQ(format_diagnostic(error).find('\x1b'), std::string::npos);
}

TEST(Debugger, StepsForwardAndBackToTheSameStates) {
    Session s(program_of(counter));
    const Isa4 start = s.debugger.state();
    ASSERT_TRUE(s.run("step 5000"));
    EXPECT_EQ(s.lines.size(), 5000u);
    const Isa4 there = s.debugger.state();
    EXPECT_EQ(there, after_steps(start, 5000));
    ASSERT_TRUE(s.run("back 5000"));
    EXPECT_EQ(s.debugger.state(), start);
    EXPECT_EQ(s.debugger.step_number(), 0u);
    ASSERT_TRUE(s.run("step 5000"));
    EXPECT_EQ(s.debugger.state(), there);
    ASSERT_TRUE(s.run("goto 1234"));
    EXPECT_EQ(s.debugger.state(), after_steps(start, 1234));
    ASSERT_TRUE(s.run("goto 6000"));  // past the recorded end: runs on
    EXPECT_EQ(s.debugger.state(), after_steps(start, 6000));
    ASSERT_TRUE(s.run("restart"));
    EXPECT_EQ(s.debugger.state(), start);
    EXPECT_FALSE(s.run("back"));
    EXPECT_EQ(s.error.file, "back");
}

TEST(Debugger, ContinueStopsWhereTheRunnerStops) {
    for (unsigned address : {3u, 5u}) {
        Session s(program_of(count_to_three));
        Isa4 arch = s.debugger.state();
        RunLimits limits;
        limits.breakpoints.set(address);
        const RunOutcome out = run_machine(arch, limits);
        ASSERT_TRUE(s.run("break " + std::to_string(address)));
        ASSERT_TRUE(s.run("continue"));
        EXPECT_EQ(s.debugger.state(), arch);
        EXPECT_EQ(s.debugger.step_number(), out.steps);
        EXPECT_NE(s.lines.at(s.lines.size() - 2).find("breakpoint at 0" + std::to_string(address)),
                  std::string::npos);
    }
    // With no breakpoint: the halting JZ, and a continue from there steps on.
    Session s(program_of(count_to_three));
    Isa4 arch = s.debugger.state();
    const RunOutcome out = run_machine(arch, RunLimits{});
    ASSERT_TRUE(s.run("c"));
    EXPECT_EQ(s.debugger.state(), arch);
    EXPECT_EQ(s.lines.at(s.lines.size() - 2),
              "stopped after " + std::to_string(out.steps) + " steps: halting JZ at 06");
    // A program that never halts stops at the step limit.
    Session forever(program_of(counter));
    ASSERT_TRUE(forever.run("continue"));
    EXPECT_EQ(forever.debugger.step_number(), debug_step_limit);
    EXPECT_NE(forever.lines.at(forever.lines.size() - 2).find("step limit"), std::string::npos);
}

TEST(Debugger, AWatchBackwardFindsTheLastWriteThatWhenLists) {
    Session s(program_of(count_to_three));
    ASSERT_TRUE(s.run("continue"));
    ASSERT_TRUE(s.run("when [0x10]"));
    ASSERT_EQ(s.lines.size(), 4u);  // the title and three writes
    EXPECT_EQ(s.lines[0], "[10]: written by 3 steps");
    const std::string last_write = s.lines.back();
    EXPECT_EQ(last_write.substr(0, 13), "step     14  ");
    ASSERT_TRUE(s.run("watch [0x10]"));
    ASSERT_TRUE(s.run("rc"));
    // Stopped before step 14, with its word next.
    EXPECT_EQ(s.debugger.step_number(), 13u);
    EXPECT_EQ(s.lines[0], "stopped at step 13: watch [10] 02 -> 03 by the next word");
    // Forward again the watch stops after that write.
    ASSERT_TRUE(s.run("continue"));
    EXPECT_EQ(s.debugger.step_number(), 14u);
    // Back past every write: the start of the run.
    ASSERT_TRUE(s.run("delete"));
    ASSERT_TRUE(s.run("rc"));
    EXPECT_EQ(s.lines[0], "stopped at step 0: the start of the run");
}

TEST(Debugger, SetChangesThePresentAndBackUndoesIt) {
    Session s(program_of(counter));
    ASSERT_TRUE(s.run("step 10"));
    ASSERT_TRUE(s.run("back 5"));
    const Isa4 at5 = s.debugger.state();
    ASSERT_TRUE(s.run("set r1 = 0x40"));
    EXPECT_EQ(s.last(), "r1 = 40");
    EXPECT_EQ(s.debugger.history().end(), 6u);  // the recorded future is dropped
    ASSERT_TRUE(s.run("print r1"));
    EXPECT_EQ(s.last(), "r1 = 40");
    ASSERT_TRUE(s.run("step"));
    EXPECT_EQ(s.debugger.state().registers[1], 0x41);
    ASSERT_TRUE(s.run("back"));  // before that step, after the change
    EXPECT_EQ(s.debugger.state().registers[1], 0x40);
    ASSERT_TRUE(s.run("back"));  // before the change
    EXPECT_EQ(s.debugger.state(), at5);
    EXPECT_EQ(s.lines.at(0), "undone: 1 value set by hand");
    ASSERT_TRUE(s.run("step"));  // the recorded run sets it again
    EXPECT_EQ(s.debugger.state().registers[1], 0x41);
    // A change before any step is undone too.
    Session t(program_of(counter));
    ASSERT_TRUE(t.run("set pc = 2"));
    ASSERT_TRUE(t.run("set z = 1"));
    ASSERT_TRUE(t.run("print pc"));
    EXPECT_EQ(t.last(), "pc = 02");
    ASSERT_TRUE(t.run("back"));
    EXPECT_EQ(t.debugger.state().pc, 255);
    EXPECT_FALSE(t.debugger.state().z);
}

TEST(Debugger, PrintsInTheFormsAsked) {
    DebugProgram p = program_of(counter);
    for (unsigned k = 0; k < 8; ++k) p.machine.ram[0x10 + k] = static_cast<std::uint8_t>(k + 1);
    p.machine.ram[0xA0] = 0x5A;
    Session s(std::move(p));
    ASSERT_TRUE(s.run("step 4"));
    const std::pair<const char*, const char*> cases[] = {
        {"print r1", "r1 = 01"},    {"p pc", "pc = 03"},
        {"p z", "z = 1"},           {"p [0xA0]", "[A0] = 5A"},
        {"p [160]", "[A0] = 5A"},   {"p [0x10..0x17]", "[10..17] = 01 02 03 04 05 06 07 08"},
        {"set r1 = 10", "r1 = 0A"}, {"set [0b11] = 0x1F", "[03] = 1F"},
    };
    for (const auto& [line, answer] : cases) {
        ASSERT_TRUE(s.run(line));
        EXPECT_EQ(s.last(), answer);
    }
}

TEST(Debugger, GoingBackPastTheHistorySaysSo) {
    Session s(program_of(counter, 10));
    ASSERT_TRUE(s.run("step 25"));
    ASSERT_TRUE(s.run("back 20"));
    EXPECT_EQ(s.debugger.step_number(), 15u);
    EXPECT_EQ(s.lines[0], "stopped at step 15: the oldest step held (--history 10)");
    EXPECT_FALSE(s.run("back"));
    EXPECT_NE(s.error.message.find("--history 10"), std::string::npos);
    EXPECT_FALSE(s.run("goto 3"));
    EXPECT_EQ(s.error.file, "goto");
}

TEST(Debugger, ListsAndKeepsBreakpointsAndWatches) {
    Session s(program_of(count_to_three));
    ASSERT_TRUE(s.run("break done"));
    ASSERT_TRUE(s.run("watch r2"));
    ASSERT_TRUE(s.run("info breakpoints"));
    EXPECT_EQ(s.lines, (std::vector<std::string>{"1  break 06 (done)", "2  watch r2"}));
    ASSERT_TRUE(s.run("info watch"));
    EXPECT_EQ(s.lines, std::vector<std::string>{"2  watch r2"});
    EXPECT_FALSE(s.run("delete 7"));
    ASSERT_TRUE(s.run("delete 2"));
    ASSERT_TRUE(s.run("info watch"));
    EXPECT_EQ(s.lines, std::vector<std::string>{"no watches"});
    ASSERT_TRUE(s.run("list"));
    EXPECT_EQ(s.lines[0], "=>    1  loop:  ADDI r1, r1, 1");
    ASSERT_TRUE(s.run("help"));
    EXPECT_GE(s.lines.size(), 16u);
}

}  // namespace
