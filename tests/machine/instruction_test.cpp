// The instruction word: where the fields lie, what a built word holds, how the menus
// name opcodes.
#include "machine/instruction.h"

#include <gtest/gtest.h>

TEST(InstructionWord, FieldsComeFromTheirBits) {
    const Instruction in = decode_word(0x5A0F7);
    EXPECT_EQ(in.opcode, 5u);
    EXPECT_EQ(in.dst, 0xAu);
    EXPECT_EQ(in.lhs, 0x0u);
    EXPECT_EQ(in.daddr, 0xA0u);
    EXPECT_EQ(in.imm, 0xF7u);
    EXPECT_EQ(in.rhs, 0x7u);

    // Bits above 19 play no part in the opcode.
    EXPECT_EQ(decode_word(0xF10000).opcode, 1u);
    EXPECT_EQ(decode_word(0xFFFFFF).opcode, 0xFu);
}

TEST(InstructionWord, EncodingKeepsOnlyTheFieldsOfTheForm) {
    // Every field set to all ones: whatever the form does not use stays 0.
    Instruction in;
    in.dst = in.lhs = in.rhs = 0xF;
    in.daddr = in.imm = 0xFF;

    const std::pair<std::uint32_t, std::uint32_t> expected[] = {
        {op_add, 0x0FF0F},     {op_addi, 0x1FFFF},    {op_jz, 0x200FF},      {3, 0x30000},
        {op_move_rr, 0x4F00F}, {op_move_mr, 0x5FF0F}, {op_move_rm, 0x6F0FF}, {op_move_mm, 0x7FFFF},
        {8, 0x80000},          {15, 0xF0000},
    };
    for (const auto& [opcode, word] : expected) {
        in.opcode = opcode;
        EXPECT_EQ(encode_word(in), word) << "opcode " << opcode;
    }
}

TEST(InstructionWord, EncodingCutsOperandsToTheirWidth) {
    Instruction in;
    in.opcode = op_add;
    in.dst = 0x11;  // 5 bits: only the low 4 are kept
    in.lhs = 2;
    in.rhs = 3;
    EXPECT_EQ(encode_word(in), 0x01203u);
}

TEST(InstructionWord, DecodeThenEncodeClearsUnusedBits) {
    EXPECT_EQ(encode_word(decode_word(0x0ABCD)), 0x0AB0Du);
    EXPECT_EQ(encode_word(decode_word(0x4F23E)), 0x4F00Eu);
    EXPECT_EQ(encode_word(decode_word(0x5A0F7)), 0x5A007u);
    EXPECT_EQ(encode_word(decode_word(0x3ABCD)), 0x30000u);
}

TEST(InstructionWord, MenuIndexOfEachOpcode) {
    const int expected[16] = {0, 1, 2, 4, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4};
    for (std::uint32_t opcode = 0; opcode < 16; ++opcode)
        EXPECT_EQ(opcode_menu_index(opcode), expected[opcode]) << "opcode " << opcode;
    EXPECT_STREQ(opcodes[opcode_menu_index(op_move_mm)], "MOVE");
    EXPECT_STREQ(opcodes[opcode_menu_index(9)], "???");
    EXPECT_STREQ(mv_opcodes[op_move_rm - op_move], "RM");
    EXPECT_STREQ(regs[0xA], "ra");
}
