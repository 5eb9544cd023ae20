// The benchmarks' programs, machine and clock do what the benchmark names claim: the
// every-opcode loop executes every opcode and both JZ outcomes, the JZ loop re-executes
// one word, the machine is full, and the clock runs at 60 frames per second.
#include "bench/bench_setup.h"

#include <gtest/gtest.h>

#include <set>

#include "machine/cpu_stepper.h"
#include "machine/instruction.h"
#include "machine/isa4.h"

namespace {

TEST(EveryOpcodeProgram, OnePassExecutesEveryOpcodeAndBothJzOutcomes) {
    Isa4 arch{};
    load_every_opcode_program(arch);
    std::set<std::uint32_t> opcodes;
    int jz_taken = 0, jz_not_taken = 0;
    for (int i = 0; i < every_opcode_loop_length; ++i) {
        const std::uint8_t at = static_cast<std::uint8_t>(arch.pc + 1);
        const std::uint32_t opcode = decode_word(arch.rom[at]).opcode;
        opcodes.insert(opcode);
        ASSERT_TRUE(arch.step());
        if (opcode == op_jz) (arch.pc == at ? jz_not_taken : jz_taken) += 1;
    }
    const std::set<std::uint32_t> every{op_add,     op_addi,    op_jz,      3,
                                        op_move_rr, op_move_mr, op_move_rm, op_move_mm};
    EXPECT_EQ(opcodes, every);
    EXPECT_EQ(jz_taken, 1);
    EXPECT_EQ(jz_not_taken, 1);
    EXPECT_EQ(arch.pc, 0xFF) << "the next step starts the loop again at word 00";

    // The data went through every MOVE.
    EXPECT_EQ(arch.registers[2], 2);
    EXPECT_EQ(arch.registers[3], 2);
    EXPECT_EQ(arch.ram[0x20], 2);
    EXPECT_EQ(arch.registers[4], 2);
    EXPECT_EQ(arch.ram[0x21], 2);
}

TEST(EveryOpcodeProgram, RunsForeverWithinItsTenWords) {
    Isa4 arch{};
    load_every_opcode_program(arch);
    for (int i = 0; i < 100000; ++i) {
        ASSERT_TRUE(arch.step()) << "halted at step " << i;
        ASSERT_TRUE(arch.pc < every_opcode_loop_length || arch.pc == 0xFF) << "pc " << +arch.pc;
    }
}

TEST(JzLoop, EveryStepExecutesTheSameJzAndChangesNothing) {
    Isa4 arch{};
    load_jz_loop(arch);
    const Isa4 before = arch;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(decode_word(arch.rom[arch.pc + 1]).opcode, op_jz);
        ASSERT_TRUE(arch.step()) << "a jump to the word before is no halt";
        ASSERT_EQ(arch, before);
    }
}

TEST(FilledMachine, EveryWordCellAndRegisterNonZeroVariedAndRepeatable) {
    Isa4 arch{};
    fill_machine(arch);
    std::set<std::uint32_t> words;
    std::set<int> cells;
    for (int i = 0; i < 256; ++i) {
        EXPECT_NE(arch.rom[i], 0u) << "word " << i;
        EXPECT_LE(arch.rom[i], max_word) << "word " << i;
        EXPECT_NE(arch.ram[i], 0) << "cell " << i;
        words.insert(arch.rom[i]);
        cells.insert(arch.ram[i]);
    }
    for (int r = 0; r < 16; ++r) EXPECT_NE(arch.registers[r], 0) << "register " << r;
    EXPECT_GT(words.size(), 250u);
    EXPECT_GT(cells.size(), 100u);
    EXPECT_EQ(arch.pc, 0xFF);

    Isa4 again{};
    fill_machine(again);
    EXPECT_EQ(arch, again);
}

TEST(FrameClock, At20StepsPerSecondAStepFallsDueAboutEveryThirdFrame) {
    CpuStepper cpu_stepper(50, 1000);
    FrameClock clock;
    int frames_with_a_step = 0;
    for (int frame = 0; frame < 180; ++frame) {  // three seconds
        const std::uint32_t steps = clock.tick(cpu_stepper);
        ASSERT_LE(steps, 1u) << "frame " << frame;
        frames_with_a_step += static_cast<int>(steps);
    }
    EXPECT_NEAR(frames_with_a_step, 60, 1);
    EXPECT_EQ(clock.steps_due, static_cast<std::uint64_t>(frames_with_a_step));
}

}  // namespace
