// Expectation and RAM data files: what they name, how a check reports, what a mistake says.
#include "headless/state_file.h"

#include <gtest/gtest.h>

namespace {

TEST(StateFile, ChecksEveryKindOfValue) {
    const StateFile expected = parse_state_file(
        "# after the run\n"
        "pc = 0x0C\n"
        "z = true\n"
        "r1 = 5\n"
        "RF = 'A'\n"
        "[0xA0] = 5\n"
        "[0x10..0x13] = 1, 2 3, 4   ; commas are optional\n"
        "[0x20..0x2F] = 0\n");
    ASSERT_TRUE(expected.ok()) << expected.diagnostics[0].message;

    Isa4 arch{};
    arch.pc = 0x0C;
    arch.z = true;
    arch.registers[1] = 5;
    arch.registers[15] = 'A';
    arch.ram[0xA0] = 5;
    for (int i = 0; i < 4; ++i) arch.ram[0x10 + i] = static_cast<std::uint8_t>(i + 1);
    CheckResult result = check_state(expected, arch);
    EXPECT_TRUE(result.mismatches.empty());
    EXPECT_EQ(result.checked, 1 + 1 + 1 + 1 + 1 + 4 + 16);

    arch.registers[1] = 4;
    arch.ram[0x12] = 9;
    arch.ram[0x2F] = 1;
    arch.z = false;
    result = check_state(expected, arch);
    ASSERT_EQ(result.mismatches.size(), 4u);
    EXPECT_EQ(result.mismatches[0].what, "z");
    EXPECT_EQ(result.mismatches[1].what, "r1");
    EXPECT_EQ(result.mismatches[1].line, 4);
    EXPECT_EQ(result.mismatches[1].expected, 5u);
    EXPECT_EQ(result.mismatches[1].actual, 4u);
    EXPECT_EQ(result.mismatches[2].what, "[12]");
    EXPECT_EQ(result.mismatches[3].what, "[2F]");
}

TEST(StateFile, MistakesSayWhereAndWhat) {
    const std::pair<const char*, const char*> cases[] = {
        {"sp = 1", "1:1: expected pc, z, a register r0..rf or a [RAM address], found 'sp'"},
        {"r1 5", "1:4: expected '=' and a value"},
        {"r1 = 256", "1:6: value 256 is out of range (0..255)"},
        {"z = 2", "1:5: value 2 is out of range (0..1)"},
        {"[0x10..0x0F] = 1", "1:1: the range ends before it starts"},
        {"[0x10..0x12] = 1, 2", "1:1: the range has 3 cells but 2 values are given"},
        {"[0x100] = 1", "1:2: value 256 is out of range (0..255)"},
        {"[0x10 = 1", "1:7: expected ']'"},
        {"pc = five", "1:6: expected a number, found 'five'"},
        {"pc =", "1:5: expected a value"},
    };
    for (const auto& [text, expected] : cases) {
        const StateFile file = parse_state_file(text);
        ASSERT_FALSE(file.diagnostics.empty()) << text;
        const Diagnostic& d = file.diagnostics[0];
        const std::string got =
            std::to_string(d.line) + ":" + std::to_string(d.column) + ": " + d.message;
        EXPECT_EQ(got.rfind(expected, 0), 0u) << text << "\n  gave: " << got;
    }
}

TEST(StateFile, RamEntriesFillARamImageAndNothingElseIsAllowed) {
    Isa4::Ram ram{};
    ram[0xFF] = 0x77;
    const StateFile data = parse_state_file("[0] = 7\n[0x10..0x12] = 'a', 'b', 'c'\n");
    ASSERT_TRUE(data.ok());
    EXPECT_TRUE(apply_ram_entries(data, ram).empty());
    EXPECT_EQ(ram[0], 7);
    EXPECT_EQ(ram[0x11], 'b');
    EXPECT_EQ(ram[0xFF], 0x77);

    const StateFile wrong = parse_state_file("[0] = 1\nr1 = 2\n");
    const auto problems = apply_ram_entries(wrong, ram);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 2);
}

}  // namespace
