// The isa4 machine, instruction by instruction: a word at the next address, one step,
// then the result and the flags. Words are written in hex with their assembly beside.
#include "machine/isa4.h"

#include <gtest/gtest.h>

#include <random>

#include "machine/instruction.h"

namespace {

class Machine : public ::testing::Test {
protected:
    Isa4 arch{};

    void SetUp() override { arch.reset(); }

    // Places `word` where the next step reads it and executes it.
    bool execute(std::uint32_t word) {
        arch.rom[static_cast<std::uint8_t>(arch.pc + 1)] = word;
        return arch.step();
    }
};

TEST_F(Machine, FreshMachineIsZeroAndResetOnlyMovesPc) {
    Isa4 fresh{};
    EXPECT_EQ(fresh.pc, 0);
    EXPECT_FALSE(fresh.z);
    for (auto word : fresh.rom) EXPECT_EQ(word, 0u);
    for (auto cell : fresh.ram) EXPECT_EQ(cell, 0);
    for (auto reg : fresh.registers) EXPECT_EQ(reg, 0);

    arch.registers[3] = 9;
    arch.ram[7] = 1;
    arch.rom[5] = 0x12345;
    arch.z = true;
    Isa4 before = arch;
    arch.reset();
    EXPECT_EQ(arch.pc, 255);
    before.pc = 255;
    EXPECT_EQ(arch, before);
}

TEST_F(Machine, FirstStepAfterResetExecutesWordZero) {
    arch.rom[0] = 0x11005;  // ADDI r1, r0, 5
    EXPECT_TRUE(arch.step());
    EXPECT_EQ(arch.pc, 0);
    EXPECT_EQ(arch.registers[1], 5);
}

TEST_F(Machine, PcWrapsFrom255To0) {
    arch.pc = 254;
    arch.rom[255] = 0x11001;  // ADDI r1, r0, 1
    arch.rom[0] = 0x12002;    // ADDI r2, r0, 2
    arch.step();
    EXPECT_EQ(arch.pc, 255);
    arch.step();
    EXPECT_EQ(arch.pc, 0);
    EXPECT_EQ(arch.registers[1], 1);
    EXPECT_EQ(arch.registers[2], 2);
}

TEST_F(Machine, AddWrapsAt256AndSetsZFromTheStoredResult) {
    arch.registers[2] = 200;
    arch.registers[3] = 56;
    EXPECT_TRUE(execute(0x01203));  // ADD r1, r2, r3
    EXPECT_EQ(arch.registers[1], 0);
    EXPECT_TRUE(arch.z);

    arch.registers[3] = 57;
    execute(0x01203);
    EXPECT_EQ(arch.registers[1], 1);
    EXPECT_FALSE(arch.z);

    // The same register on every side.
    arch.registers[4] = 0x81;
    execute(0x04444);  // ADD r4, r4, r4
    EXPECT_EQ(arch.registers[4], 0x02);
}

TEST_F(Machine, AddMayWriteR0) {
    arch.registers[1] = 3;
    arch.registers[2] = 4;
    execute(0x00102);  // ADD r0, r1, r2
    EXPECT_EQ(arch.registers[0], 7);
    EXPECT_FALSE(arch.z);

    arch.registers[2] = 253;
    execute(0x00102);
    EXPECT_EQ(arch.registers[0], 0);
    EXPECT_TRUE(arch.z);
}

TEST_F(Machine, AddiAddsTheImmediateModulo256) {
    arch.registers[2] = 0xF0;
    execute(0x1321F);  // ADDI r3, r2, 0x1F
    EXPECT_EQ(arch.registers[3], 0x0F);
    EXPECT_FALSE(arch.z);

    execute(0x13210);  // ADDI r3, r2, 0x10
    EXPECT_EQ(arch.registers[3], 0x00);
    EXPECT_TRUE(arch.z);

    // Immediate 0 copies a register and sets z from the copy.
    arch.registers[5] = 0x42;
    execute(0x16500);  // ADDI r6, r5, 0
    EXPECT_EQ(arch.registers[6], 0x42);
    EXPECT_FALSE(arch.z);

    execute(0x10000);  // ADDI r0, r0, 0
    EXPECT_TRUE(arch.z);
}

TEST_F(Machine, JzWithZClearDoesNothing) {
    arch.pc = 4;
    arch.z = false;
    Isa4 before = arch;
    EXPECT_TRUE(execute(0x20010));  // JZ 0x10, at address 5
    EXPECT_EQ(arch.pc, 5);
    before.pc = 5;
    before.rom[5] = 0x20010;
    EXPECT_EQ(arch, before);
}

TEST_F(Machine, JzTakenMakesTheWordAfterTheTargetNext) {
    arch.z = true;
    arch.rom[0] = 0x20010;     // JZ 0x10
    arch.rom[0x11] = 0x11007;  // ADDI r1, r0, 7
    EXPECT_TRUE(arch.step());
    EXPECT_EQ(arch.pc, 0x10);
    arch.step();
    EXPECT_EQ(arch.pc, 0x11);
    EXPECT_EQ(arch.registers[1], 7);
}

TEST_F(Machine, JzToTargetFFContinuesAtWordZero) {
    arch.z = true;
    arch.pc = 9;
    arch.rom[0] = 0x11001;  // ADDI r1, r0, 1
    execute(0x200FF);       // JZ 0xFF, at address 10
    EXPECT_EQ(arch.pc, 0xFF);
    arch.step();
    EXPECT_EQ(arch.pc, 0);
    EXPECT_EQ(arch.registers[1], 1);
}

TEST_F(Machine, JzOntoItselfHaltsAndTheNextStepGoesOn) {
    arch.pc = 4;
    arch.z = true;
    arch.rom[6] = 0x11009;  // ADDI r1, r0, 9
    Isa4 before = arch;
    EXPECT_FALSE(execute(0x20005));  // JZ 5, at address 5
    EXPECT_EQ(arch.pc, 5);
    before.pc = 5;
    before.rom[5] = 0x20005;
    EXPECT_EQ(arch, before);  // a halt changes nothing else

    // The machine keeps no halted state: the next step executes word 6.
    EXPECT_TRUE(arch.step());
    EXPECT_EQ(arch.pc, 6);
    EXPECT_EQ(arch.registers[1], 9);

    // The same word with z clear is an ordinary no-op.
    arch.pc = 4;
    arch.z = false;
    EXPECT_TRUE(arch.step());
    EXPECT_EQ(arch.pc, 5);
}

TEST_F(Machine, MoveRrCopiesARegisterButNeverIntoR0) {
    arch.registers[4] = 0x99;
    arch.z = true;
    execute(0x41234);  // MOVE r1, r4 (bits 11..4 hold 0x23 and play no part)
    EXPECT_EQ(arch.registers[1], 0x99);
    EXPECT_TRUE(arch.z);  // MOVE leaves z alone

    Isa4::Registers before = arch.registers;
    execute(0x40004);  // MOVE r0, r4
    EXPECT_EQ(arch.registers, before);
}

TEST_F(Machine, MoveMrStoresARegisterIntoRam) {
    arch.registers[7] = 0x5A;
    execute(0x5A0F7);  // MOVE [0xA0], r7 (bits 7..4 play no part)
    EXPECT_EQ(arch.ram[0xA0], 0x5A);

    // R0 may be stored.
    arch.registers[0] = 0x33;
    execute(0x5FF00);  // MOVE [0xFF], r0
    EXPECT_EQ(arch.ram[0xFF], 0x33);
}

TEST_F(Machine, MoveRmLoadsARegisterButNeverR0) {
    arch.ram[0x10] = 0x77;
    arch.z = false;
    execute(0x62010);  // MOVE r2, [0x10]
    EXPECT_EQ(arch.registers[2], 0x77);
    EXPECT_FALSE(arch.z);

    Isa4::Registers before = arch.registers;
    execute(0x60010);  // MOVE r0, [0x10]
    EXPECT_EQ(arch.registers, before);
}

TEST_F(Machine, MoveMmCopiesACell) {
    arch.ram[0x34] = 0xAB;
    execute(0x71234);  // MOVE [0x12], [0x34]
    EXPECT_EQ(arch.ram[0x12], 0xAB);
    EXPECT_EQ(arch.ram[0x34], 0xAB);

    Isa4::Ram before = arch.ram;
    execute(0x73434);  // MOVE [0x34], [0x34]
    EXPECT_EQ(arch.ram, before);
}

TEST_F(Machine, UnassignedOpcodesDoNothing) {
    arch.registers[1] = 1;
    arch.ram[1] = 1;
    arch.z = true;
    for (std::uint32_t opcode : {3u, 8u, 9u, 12u, 15u}) {
        Isa4 before = arch;
        const std::uint32_t word = opcode << 16 | 0xFFFF;
        EXPECT_TRUE(execute(word)) << "opcode " << opcode;
        before.pc = arch.pc;
        before.rom[arch.pc] = word;
        EXPECT_EQ(arch, before) << "opcode " << opcode;
    }
}

TEST_F(Machine, BitsAbove19AreIgnored) {
    execute(0xF11005);  // ADDI r1, r0, 5 with bits 23..20 set
    EXPECT_EQ(arch.registers[1], 5);

    Isa4 before = arch;
    EXPECT_TRUE(execute(0xFFFFFF));  // opcode 15: no operation
    before.pc = arch.pc;
    before.rom[arch.pc] = 0xFFFFFF;
    EXPECT_EQ(arch, before);
}

TEST_F(Machine, ClearRomAndClearRamTouchOnlyTheirMemory) {
    for (int i = 0; i < 256; ++i) {
        arch.rom[i] = 0xFFFFFF - i;
        arch.ram[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    }
    arch.registers[9] = 9;
    arch.pc = 0x42;
    arch.z = true;

    Isa4 expected = arch;
    arch.clear_rom();
    expected.rom.fill(0);
    EXPECT_EQ(arch, expected);

    arch.clear_ram();
    expected.ram.fill(0);
    EXPECT_EQ(arch, expected);
}

// Random programs on random data: every step stays inside the machine's arrays (an
// index out of range aborts), and each step keeps the rules that do not depend on what
// the word computes.
TEST(MachineRandom, RandomProgramsKeepTheMachineRules) {
    std::mt19937 rng(20261209);
    for (int round = 0; round < 200; ++round) {
        Isa4 arch{};
        for (auto& word : arch.rom) word = rng() & 0xFFFFFF;
        for (auto& cell : arch.ram) cell = static_cast<std::uint8_t>(rng());
        for (auto& reg : arch.registers) reg = static_cast<std::uint8_t>(rng());
        arch.pc = static_cast<std::uint8_t>(rng());
        arch.z = rng() & 1;

        for (int i = 0; i < 2000; ++i) {
            const Isa4 before = arch;
            const bool go_on = arch.step();
            const std::uint8_t at = static_cast<std::uint8_t>(before.pc + 1);
            const Instruction in = decode_word(before.rom[at]);
            ASSERT_EQ(arch.rom, before.rom);

            const bool halting = in.opcode == op_jz && before.z && in.imm == at;
            ASSERT_EQ(go_on, !halting);
            const bool jumped = in.opcode == op_jz && before.z;
            ASSERT_EQ(arch.pc, jumped ? in.imm : at);

            const bool sets_z = in.opcode == op_add || in.opcode == op_addi;
            if (!sets_z) {
                ASSERT_EQ(arch.z, before.z);
                ASSERT_EQ(arch.registers[0], before.registers[0]);
            }
            const bool writes_ram = in.opcode == op_move_mr || in.opcode == op_move_mm;
            if (!writes_ram) {
                ASSERT_EQ(arch.ram, before.ram);
            }
        }
    }
}

}  // namespace
