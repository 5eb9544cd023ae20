// The assembler: what each statement places in the ROM, and what each mistake says.
#include "toolchain/assembler.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The words an error-free source assembles to, from address 0.
std::vector<std::uint32_t> words(const std::string& source, int count) {
    const Assembly a = assemble(source);
    for (const Diagnostic& d : a.diagnostics)
        ADD_FAILURE() << d.line << ":" << d.column << ": " << d.message;
    return std::vector<std::uint32_t>(a.rom.begin(), a.rom.begin() + count);
}

// The first error of a source that must fail, as "line:column: message".
std::string first_error(const std::string& source) {
    const Assembly a = assemble(source);
    for (const Diagnostic& d : a.diagnostics)
        if (!d.warning)
            return std::to_string(d.line) + ":" + std::to_string(d.column) + ": " + d.message;
    ADD_FAILURE() << "no error for: " << source;
    return "";
}

TEST(Assembler, EveryFormEncodesAsTheMachineReadsIt) {
    EXPECT_EQ(words("ADD r1, r2, r3\n"
                    "ADDI r1, r2, 0x7F\n"
                    "JZ 0x10\n"
                    "MOVE r1, r4\n"
                    "MOVE [0xA0], r7\n"
                    "MOVE r2, [0x10]\n"
                    "MOVE [0x12], [0x34]\n",
                    7),
              (std::vector<std::uint32_t>{0x01203, 0x1127F, 0x20010, 0x41004, 0x5A007, 0x62010,
                                          0x71234}));
}

TEST(Assembler, NumbersRegistersAndCase) {
    EXPECT_EQ(words("addi RA, rB, 10\n"
                    "Addi r1, r0, 0b101\n"
                    "ADDI r1, r0, 'A'\n"
                    "ADDI r1, r0, '\\n'\n"
                    "ADDI r1, r1, -1\n"
                    "ADDI r1, r1, -128\n",
                    6),
              (std::vector<std::uint32_t>{0x1AB0A, 0x11005, 0x11041, 0x1100A, 0x111FF, 0x11180}));
}

TEST(Assembler, CommentsBlankLinesAndCrlf) {
    EXPECT_EQ(words("; a comment\r\n"
                    "\r\n"
                    "   ADDI r1, r0, 1   # another\r\n"
                    "ADDI r2, r0, ';'  ; a quoted ';' is a value\n",
                    2),
              (std::vector<std::uint32_t>{0x11001, 0x1203B}));
}

TEST(Assembler, JumpToALabelMakesTheLabelledWordNext) {
    // loop is at 1: the JZ stores 0, so that after the jump the word at 1 executes.
    const auto w = words(
        "        ADDI r1, r0, 3\n"
        "loop:   ADDI r1, r1, -1\n"
        "        JZ done\n"
        "        ADDI r0, r0, 0\n"
        "        JZ loop\n"
        "done:\n"
        "halt:   JZ @halt\n",
        6);
    EXPECT_EQ(w[2], 0x20004u);  // done is at 5
    EXPECT_EQ(w[4], 0x20000u);  // loop is at 1
    EXPECT_EQ(w[5], 0x20005u);  // @halt: the raw address, a JZ onto itself

    // A label at address 0 wraps to an operand of 0xFF.
    EXPECT_EQ(words("start: ADDI r1, r0, 0\nJZ start\n", 2)[1], 0x200FFu);
}

TEST(Assembler, JumpedToLabelsRunAsWritten) {
    // Counts r1 down from 3 and stops on the halting JZ.
    const Assembly a = assemble(
        "        ADDI r1, r0, 3\n"
        "loop:   ADDI r1, r1, -1\n"
        "        JZ done\n"
        "        ADDI r0, r0, 0\n"  // r0 is 0: sets z
        "        JZ loop\n"
        "done:   MOVE [0x00], r1\n"
        "halt:   JZ @halt\n");
    ASSERT_TRUE(a.ok());
    Isa4 arch{};
    arch.rom = a.rom;
    arch.ram[0] = 0xEE;
    arch.reset();
    int steps = 0;
    while (arch.step() && steps < 100) ++steps;
    EXPECT_EQ(arch.pc, 6);
    EXPECT_EQ(arch.registers[1], 0);
    EXPECT_EQ(arch.ram[0], 0);
    EXPECT_EQ(steps, 1 + 3 * 2 + 2 * 2 + 1);
}

TEST(Assembler, OrgWordAndEqu) {
    const Assembly a = assemble(
        ".equ cell, 0x10\n"
        ".equ next, cell + 1\n"
        "        MOVE [cell], r1\n"
        "        .org 0x20\n"
        "here:   .word 0x3ABCD, 0xF00000, here\n"
        "        MOVE [next - 2], [CELL]\n");
    ASSERT_TRUE(a.ok()) << a.diagnostics[0].message;
    EXPECT_EQ(a.rom[0], 0x51001u);
    EXPECT_EQ(a.rom[0x20], 0x3ABCDu);
    EXPECT_EQ(a.rom[0x21], 0xF00000u);
    EXPECT_EQ(a.rom[0x22], 0x20u);
    EXPECT_EQ(a.rom[0x23], 0x70F10u);
    EXPECT_EQ(a.rom[1], 0u);
    EXPECT_EQ(a.words, 5);
}

TEST(Assembler, MoveIntoR0IsAWarningNotAnError) {
    const Assembly a = assemble("MOVE r0, r1\n");
    ASSERT_TRUE(a.ok());
    ASSERT_EQ(a.diagnostics.size(), 1u);
    EXPECT_TRUE(a.diagnostics[0].warning);
    EXPECT_EQ(a.rom[0], 0x40001u);
}

TEST(Assembler, MistakesSayWhereAndWhat) {
    const std::pair<const char*, const char*> cases[] = {
        {"ADDX r1, r2, r3", "1:1: unknown instruction 'ADDX'"},
        {"ADD r1, r2", "1:1: ADD takes 3 operands: ADD rd, rl, rr"},
        {"ADD r1, r2, 5", "1:13: expected a register (r0..rf) as operand 3 of ADD"},
        {"ADD r1, rg, r2", "1:9: unknown register 'rg' (the registers are r0..r9 and ra..rf)"},
        {"ADD r1, r10, r2", "1:9: unknown register 'r10'"},
        {"ADDI r1, r0, 256", "1:14: immediate 256 is out of range (-128..0xFF)"},
        {"ADDI r1, r0, -129", "1:14: immediate -129 is out of range (-128..0xFF)"},
        {"JZ 0x100", "1:4: jump target 256 is out of range (0x00..0xFF)"},
        {"MOVE [0x100], r1", "1:6: RAM address 256 is out of range (0x00..0xFF)"},
        {"MOVE r1, 5", "1:10: MOVE copies between registers and RAM cells"},
        {"MOVE [0x10, r1", "1:11: expected ']' after the RAM address"},
        {"JZ nowhere", "1:4: undefined name 'nowhere'"},
        {"a: ADDI r1, r0, 1\na: JZ a", "2:1: 'a' is already defined on line 1"},
        {"ra: JZ 0", "1:1: 'ra' is a register name, not a label"},
        {".org 0x10\nJZ 0\n.org 0x10\nJZ 1",
         "4:1: address 0x10 already holds the word from line 2"},
        {".org 256", "1:6: .org address 256 is out of range (0..255)"},
        {".byte 1", "1:1: unknown directive '.byte'"},
        {".word 0x1000000", "1:7: word 16777216 is out of range (0x00..0xFFFFFF)"},
        {"ADDI r1, r0, 0x", "1:14: expected hex digits after 0x"},
        {"ADDI r1, r0, 12a", "1:14: 'a' is not a digit of a decimal number"},
        {"ADDI r1, r0, 'ab'", "1:14: expected a closing quote after one character"},
        {"ADD r1, r2, r3 r4", "1:16: expected ',' or the end of the line, found 'r4'"},
        {"JZ @k\n.equ k, 3", "1:4: '@' goes only before a label"},
        {"42", "1:1: expected a label, an instruction or a directive, found '42'"},
        {".equ x, later\nlater:", "1:9: 'later' is not defined above this line"},
    };
    for (const auto& [source, expected] : cases)
        EXPECT_EQ(first_error(source).rfind(expected, 0), 0u)
            << source << "\n  gave: " << first_error(source) << "\n  want: " << expected;
}

TEST(Assembler, AProgramLongerThanTheRomIsOneError) {
    std::string source;
    for (int i = 0; i < 300; ++i) source += "ADDI r1, r1, 1\n";
    const Assembly a = assemble(source);
    ASSERT_EQ(a.diagnostics.size(), 1u);
    EXPECT_EQ(a.diagnostics[0].line, 257);
    EXPECT_NE(a.diagnostics[0].message.find("does not fit"), std::string::npos);

    // Exactly 256 words fit.
    source.clear();
    for (int i = 0; i < 256; ++i) source += "ADDI r1, r1, 1\n";
    EXPECT_TRUE(assemble(source).ok());
}

TEST(Assembler, EveryErrorIsReportedInLineOrder) {
    const Assembly a = assemble("JZ missing\nADD r1\nADDI r1, r0, 300\n");
    ASSERT_EQ(a.diagnostics.size(), 3u);
    EXPECT_EQ(a.diagnostics[0].line, 1);
    EXPECT_EQ(a.diagnostics[1].line, 2);
    EXPECT_EQ(a.diagnostics[2].line, 3);
}

}  // namespace
