// The accessible view's words for a step, and the state it shows.
#include "web/twin.h"

#include <gtest/gtest.h>

#include <string>

#include "panels/logger.h"
#include "panels/ram_panel.h"
#include "panels/rom_panel.h"
#include "panels/run_control_panel.h"

namespace {

struct StepCase {
    const char* name;
    std::uint32_t word;  // at address 03, the next to execute
    bool z;
    const char* said;
};

void PrintTo(const StepCase& c, std::ostream* os) {
    *os << c.name;
}

class StepWords : public ::testing::TestWithParam<StepCase> {};

TEST_P(StepWords, SayWhatTheTraceSays) {
    const StepCase& c = GetParam();
    Isa4 before{};
    before.pc = 0x02;
    before.z = c.z;
    before.registers[1] = 0x04;
    before.ram[0x10] = 0x2A;
    before.rom[0x03] = c.word;
    Isa4 after = before;
    const bool go_on = after.step();
    EXPECT_EQ(step_announcement(before, after, go_on), c.said);
}

INSTANTIATE_TEST_SUITE_P(
    Twin, StepWords,
    ::testing::Values(
        StepCase{"addi", 0x11101, false, "Step: ADDI r1, r1, 0x01 at 03. r1 04 to 05. z 0."},
        StepCase{"add_to_zero", 0x02000, false, "Step: ADD r2, r0, r0 at 03. r2 00 to 00. z 1."},
        StepCase{"move_from_ram", 0x62010, false, "Step: MOVE r2, [0x10] at 03. r2 00 to 2A."},
        StepCase{"move_to_r0", 0x60010, false,
                 "Step: MOVE r0, [0x10] at 03. nothing (MOVE never writes r0)."},
        StepCase{"move_to_ram", 0x52001, false, "Step: MOVE [0x20], r1 at 03. [20] 00 to 04."},
        StepCase{"jz_not_taken", 0x20010, false, "Step: JZ 0x10 at 03. not taken (z clear)."},
        StepCase{"jz_taken", 0x20010, true, "Step: JZ 0x10 at 03. jump: pc 03 to 10. next 11."},
        StepCase{"halt", 0x20003, true,
                 "Step: JZ 0x03 at 03. halt: z set and the JZ jumps onto itself."}),
    [](const ::testing::TestParamInfo<StepCase>& info) { return info.param.name; });

TEST(Twin, HaltedOnlyOnASelfJumpWithZSet) {
    Isa4 arch{};
    arch.pc = 0x0A;
    arch.rom[0x0A] = 0x2000A;  // JZ onto itself
    EXPECT_FALSE(halted(arch));
    arch.z = true;
    EXPECT_TRUE(halted(arch));
    arch.rom[0x0A] = 0x2000B;
    EXPECT_FALSE(halted(arch));
}

TEST(Twin, ViewHoldsTheMachineTheWindowsAndTheLogAsJson) {
    Isa4 arch{};
    arch.reset();
    arch.rom[0] = 0x11101;
    arch.registers[15] = 0xAB;
    arch.ram[255] = 7;
    Logger log(20);
    log.add("Load ROM failed: a\"b");
    log.add("Reset CPU");
    RunControlPanelState run;
    run.running = true;
    RomPanelState rom;
    std::snprintf(rom.rom_filename, sizeof rom.rom_filename, "%s", "x<y>.rom");
    RamPanelState ram;
    const std::string view = twin_view_json(arch, log, run, rom, ram);
    EXPECT_NE(view.find("\"pc\":255,\"z\":0,\"r\":[0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,171]"),
              std::string::npos)
        << view;
    EXPECT_NE(
        view.find(",7],\"next\":{\"address\":0,\"word\":69889,\"text\":\"ADDI r1, r1, 0x01\"}"),
        std::string::npos)
        << view;
    EXPECT_NE(view.find("\"running\":true,\"clocks\":1,\"romFile\":\"x\\u003cy\\u003e.rom\""),
              std::string::npos)
        << view;
    EXPECT_NE(view.find("\"log\":[\"Reset CPU\",\"Load ROM failed: a\\\"b\"]}"), std::string::npos)
        << view;
}

// The operations the windows and the view share act on the windows' own values.
TEST(Twin, SharedOperationsWrapAndLog) {
    Isa4 arch{};
    Logger log(20);
    RomPanelState rom;
    rom.rom_addr = 256;  // past the end: wraps to 0
    rom.rom_val = 0x12345;
    poke_rom(arch, rom);
    EXPECT_EQ(arch.rom[0], 0x12345u);
    RamPanelState ram;
    ram.ram_addr = 0x42;
    ram.ram_val = -1;  // below the start: wraps to FF
    poke_ram(arch, ram);
    EXPECT_EQ(arch.ram[0x42], 0xFF);
    RunControlPanelState run;
    set_clocks(run, 99);
    EXPECT_EQ(run.clocks, 20);
    toggle_run(run);
    EXPECT_TRUE(run.running);
    step_cpu(arch, run);
    EXPECT_FALSE(run.running);
    EXPECT_EQ(arch.pc, 0x01);
    reset_cpu(arch, log);
    EXPECT_EQ(arch.pc, 0xFF);
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages.front(), "Reset CPU");
    // A load with no name fails, says so in the log, and leaves the ROM as it was.
    EXPECT_FALSE(load_rom(arch, log, rom));
    EXPECT_EQ(log.messages.size(), 2u);
    EXPECT_EQ(log.messages.front().rfind("Load ROM failed", 0), 0u) << log.messages.front();
    EXPECT_EQ(arch.rom[0], 0x12345u);
}

}  // namespace
