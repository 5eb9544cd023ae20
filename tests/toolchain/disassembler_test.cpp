// Listings: what a word reads as, and that every image lists as text that assembles back
// to the same image.
#include "toolchain/disassembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "machine/instruction.h"
#include "toolchain/assembler.h"

namespace {

TEST(Disassembler, InstructionTextOfEachForm) {
    EXPECT_EQ(instruction_text(0x01203), "ADD r1, r2, r3");
    EXPECT_EQ(instruction_text(0x1127F), "ADDI r1, r2, 0x7F");
    EXPECT_EQ(instruction_text(0x20010), "JZ 0x10");
    EXPECT_EQ(instruction_text(0x4F00E), "MOVE rf, re");
    EXPECT_EQ(instruction_text(0x5A007), "MOVE [0xA0], r7");
    EXPECT_EQ(instruction_text(0x62010), "MOVE r2, [0x10]");
    EXPECT_EQ(instruction_text(0x71234), "MOVE [0x12], [0x34]");
    EXPECT_EQ(instruction_text(0x00000), "ADD r0, r0, r0");
}

TEST(Disassembler, WordsNoInstructionBuildsHaveNoText) {
    EXPECT_FALSE(instruction_text(0x0ABCD));  // ADD with bits 7..4 set
    EXPECT_FALSE(instruction_text(0x2F010));  // JZ with bits 15..8 set
    EXPECT_FALSE(instruction_text(0x30000));  // opcode 3
    EXPECT_FALSE(instruction_text(0xF0000));
    EXPECT_FALSE(instruction_text(0x101203));  // bits above 19
    EXPECT_EQ(executed_text(0x0ABCD), "ADD ra, rb, rd");
    EXPECT_EQ(executed_text(0x101203), "ADD r1, r2, r3");
    EXPECT_EQ(executed_text(0x3ABCD), "no operation");
}

TEST(Disassembler, ListingShowsAddressWordAndLeavesOutZeroRuns) {
    Isa4::Rom rom{};
    rom[0] = 0x11005;
    rom[1] = 0x0ABCD;
    rom[0x40] = 0xFFFFFF;
    const std::string listing = disassemble(rom);
    EXPECT_NE(listing.find("ADDI r1, r0, 0x05"), std::string::npos) << listing;
    EXPECT_NE(listing.find("; 00: 11005"), std::string::npos) << listing;
    EXPECT_NE(listing.find(".word 0x0ABCD"), std::string::npos) << listing;
    EXPECT_NE(listing.find("executes as ADD ra, rb, rd"), std::string::npos) << listing;
    EXPECT_NE(listing.find("; 02..3F: 00000"), std::string::npos) << listing;
    EXPECT_NE(listing.find(".org 0x40"), std::string::npos) << listing;
    EXPECT_NE(listing.find(".word 0xFFFFFF"), std::string::npos) << listing;
    EXPECT_NE(listing.find("; 41..FF: 00000"), std::string::npos) << listing;

    // With every word, 256 lines and no .org.
    const std::string all = disassemble(rom, true);
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 256);
    EXPECT_EQ(all.find(".org"), std::string::npos);
}

// Images of every kind of word: instructions as the assembler builds them, words with
// unused bits set, no-operation opcodes, bits 23..20 set, and runs of zeros.
TEST(Disassembler, EveryImageRoundTripsThroughTheAssembler) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        Isa4::Rom rom{};
        for (auto& word : rom) {
            switch (rng() % 5) {
                case 0: word = 0; break;
                case 1: word = rng() & 0xFFFFFF; break;
                case 2: word = rng() & 0xFFFFF; break;
                default: {
                    Instruction in = decode_word(rng());
                    in.opcode = rng() % 8;
                    word = encode_word(in);
                }
            }
        }
        const std::string listing = disassemble(rom, round % 2 == 1);
        const Assembly back = assemble(listing);
        ASSERT_TRUE(back.ok()) << back.diagnostics[0].line << ": " << back.diagnostics[0].message
                               << "\n"
                               << listing;
        ASSERT_EQ(back.rom, rom) << listing;
    }
}

}  // namespace
