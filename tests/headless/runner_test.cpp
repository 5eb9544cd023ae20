// Headless runs: where they stop, what a trace says, and the state as text.
#include "headless/runner.h"

#include <gtest/gtest.h>

#include "toolchain/assembler.h"

namespace {

Isa4 machine_with(const char* source) {
    const Assembly a = assemble(source);
    EXPECT_TRUE(a.ok());
    Isa4 arch{};
    arch.rom = a.rom;
    arch.reset();
    return arch;
}

const char* const count_to_three =
    "loop:  ADDI r1, r1, 1\n"
    "       MOVE [0x10], r1\n"
    "       ADDI r2, r1, -3\n"
    "       JZ done\n"
    "       ADDI r0, r0, 0\n"
    "       JZ loop\n"
    "done:  JZ @done\n";

TEST(Runner, StopsAtTheHaltingJz) {
    Isa4 arch = machine_with(count_to_three);
    const RunOutcome out = run_machine(arch, RunLimits{});
    EXPECT_EQ(out.reason, StopReason::halt);
    EXPECT_EQ(out.steps, 2u * 6 + 4 + 1);
    EXPECT_EQ(arch.pc, 6);
    EXPECT_EQ(arch.ram[0x10], 3);
}

TEST(Runner, StopsAtTheStepLimitOrBeforeABreakpoint) {
    Isa4 arch = machine_with(count_to_three);
    RunLimits limits;
    limits.max_steps = 5;
    RunOutcome out = run_machine(arch, limits);
    EXPECT_EQ(out.reason, StopReason::step_limit);
    EXPECT_EQ(out.steps, 5u);
    EXPECT_EQ(arch.pc, 4);

    // The word at 3 (JZ done) is about to execute on the first round: 3 steps done.
    arch = machine_with(count_to_three);
    limits = RunLimits{};
    limits.breakpoints.set(3);
    out = run_machine(arch, limits);
    EXPECT_EQ(out.reason, StopReason::breakpoint);
    EXPECT_EQ(out.steps, 3u);
    EXPECT_EQ(arch.pc, 2);

    // A breakpoint on the first word stops before anything runs.
    arch = machine_with(count_to_three);
    limits.breakpoints.reset();
    limits.breakpoints.set(0);
    EXPECT_EQ(run_machine(arch, limits).steps, 0u);
}

TEST(Runner, TraceSaysWhatEachStepChanged) {
    Isa4 arch = machine_with(count_to_three);
    arch.z = true;
    std::string trace;
    run_machine(arch, RunLimits{}, &trace);
    const auto lines = split_lines(trace);
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[0], "     1  00  11101  ADDI r1, r1, 0x01              r1 00 -> 01, z 1 -> 0");
    EXPECT_EQ(lines[1], "     2  01  51001  MOVE [0x10], r1                [10] 00 -> 01");
    EXPECT_EQ(lines[3], "     4  03  20005  JZ 0x05                        not taken (z clear)");
    EXPECT_EQ(lines[5],
              "     6  05  200FF  JZ 0xFF                        jump: pc 05 -> FF, next 00");
    EXPECT_EQ(lines[16],
              "    17  06  20006  JZ 0x06                        halt: z set and the JZ jumps onto "
              "itself");
}

// Each form's reads and writes, the forms that do nothing included.
TEST(Runner, StepAccessNamesWhatTheNextWordReadsAndWrites) {
    const struct {
        const char* source;
        int read, written, reg;
    } cases[] = {
        {"ADD r3, r1, r2", -1, -1, 3},     {"ADDI r0, r0, 0", -1, -1, 0},
        {"MOVE r4, r5", -1, -1, 4},        {"MOVE r0, r5", -1, -1, -1},
        {"MOVE r6, [0x21]", 0x21, -1, 6},  {"MOVE r0, [0x21]", -1, -1, -1},
        {"MOVE [0x30], r1", -1, 0x30, -1}, {"MOVE [0x30], [0x31]", 0x31, 0x30, -1},
        {"JZ 0x10", -1, -1, -1},           {".word 0x30000", -1, -1, -1},
    };
    for (const auto& c : cases) {
        const StepAccess a = step_access(machine_with(c.source));
        EXPECT_EQ(a.cell_read, c.read) << c.source;
        EXPECT_EQ(a.cell_written, c.written) << c.source;
        EXPECT_EQ(a.register_written, c.reg) << c.source;
    }
}

// The log keeps the first step of each access, even when a later step puts the value
// back, and the run ends as run_machine's does.
TEST(Runner, AccessLogKeepsTheFirstStepOfEachAccess) {
    Isa4 logged = machine_with(count_to_three);
    Isa4 plain = logged;
    AccessLog log;
    const RunOutcome out = run_logging_access(logged, RunLimits{}, log);
    const RunOutcome expected = run_machine(plain, RunLimits{});
    EXPECT_EQ(out.steps, expected.steps);
    EXPECT_EQ(out.reason, expected.reason);
    EXPECT_EQ(logged, plain);
    EXPECT_EQ(log.cell_written[0x10].step, 2u);
    EXPECT_EQ(log.cell_written[0x10].address, 1);
    EXPECT_EQ(log.cell_written[0x10].word, logged.rom[1]);
    EXPECT_EQ(log.register_written[1].step, 1u);
    EXPECT_EQ(log.register_written[2].step, 3u);
    EXPECT_EQ(log.register_written[0].step, 5u);
    EXPECT_EQ(log.cell_written[0x11].step, 0u);
    EXPECT_EQ(log.cell_read[0x10].step, 0u);

    Isa4 limited = machine_with(count_to_three);
    AccessLog cut;
    RunLimits two;
    two.max_steps = 1;
    EXPECT_EQ(run_logging_access(limited, two, cut).reason, StopReason::step_limit);
    EXPECT_EQ(cut.cell_written[0x10].step, 0u);
}

TEST(Runner, StateTextUsesTheWorkbenchFormats) {
    Isa4 arch{};
    arch.pc = 0x0C;
    arch.registers[0xA] = 0x5A;
    arch.ram[0xA3] = 0x5A;
    const std::string text = state_text(arch);
    const auto lines = split_lines(text);
    ASSERT_EQ(lines.size(), 3u + 1 + 16);
    EXPECT_EQ(lines[0], "PC: 0C  Z: 0");
    EXPECT_EQ(lines[2], "R8: 00  R9: 00  RA: 5A  RB: 00  RC: 00  RD: 00  RE: 00  RF: 00");
    EXPECT_EQ(lines[3], "    0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F");
    EXPECT_EQ(lines[4 + 0xA], "A  00 00 00 5A 00 00 00 00 00 00 00 00 00 00 00 00");
}

}  // namespace
