// The "RAM view" window, driven through its widgets: the dump, Inc/Dec/Poke with the wrap
// rules, the image file buttons; and a program carried through both memory windows.
#include "panels/ram_panel.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <string>
#include <vector>

#include "machine/image_file.h"
#include "machine/isa4.h"
#include "panels/logger.h"
#include "panels/rom_panel.h"
#include "tests/imgui_harness.h"
#include "tests/scratch_dir.h"

namespace {

constexpr const char* title = "RAM view";

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class RamPanel : public ::testing::Test {
protected:
    ImGuiHarness ui;
    Isa4 arch{};
    Logger log{20};
    RamPanelState state;
    ImGuiHarness::Frame frame = [this] { draw_ram_panel(arch, log, state); };

    void SetUp() override {
        arch.reset();
        ui.frames(2, frame);
    }

    // Row r of the dump as shown: lines_of(...)[0] is the title, [1] the header.
    std::string row(int r) { return lines_of(ui.text_of(frame)).at(2 + r); }

    void type_name(const std::string& name) { ui.type(title, "Filename", name.c_str(), frame); }
};

TEST_F(RamPanel, StartsWithAHeaderAndSixteenRowsOfZeros) {
    const std::vector<std::string> lines = lines_of(ui.text_of(frame));
    ASSERT_GE(lines.size(), 18u);
    EXPECT_EQ(lines[1], "    0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F");
    const char labels[] = "0123456789ABCDEF";
    for (int r = 0; r < 16; ++r) {
        EXPECT_EQ(lines[2 + r],
                  std::string(1, labels[r]) + "  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    }
}

TEST_F(RamPanel, PokeIncAndDecActOnTheTypedCell) {
    ui.type(title, "val", "5A", frame);
    ui.type(title, "addr", "A3", frame);
    Isa4 expected = arch;
    expected.ram[0xA3] = 0x5A;
    ui.press(title, "Poke", frame);
    EXPECT_EQ(arch, expected);
    EXPECT_EQ(row(0xA), "A  00 00 00 5A 00 00 00 00 00 00 00 00 00 00 00 00");

    ui.press(title, "Inc", frame);
    EXPECT_EQ(arch.ram[0xA3], 0x5B);

    // Both wrap modulo 256.
    arch.ram[0xA3] = 0xFF;
    ui.press(title, "Inc", frame);
    EXPECT_EQ(arch.ram[0xA3], 0x00);
    ui.press(title, "Dec", frame);
    EXPECT_EQ(arch.ram[0xA3], 0xFF);
}

TEST_F(RamPanel, FieldsWrapAtBothEndsWithoutModulo) {
    const ImGuiID val = ui.id(title, "val");
    const ImGuiID addr = ui.id(title, "addr");
    ui.press(ImGuiHarness::minus_of(addr), frame);
    EXPECT_EQ(state.ram_addr, 0xFF);
    ui.press(ImGuiHarness::minus_of(val), frame);
    EXPECT_EQ(state.ram_val, 0xFF);
    ui.press(title, "Poke", frame);
    EXPECT_EQ(arch.ram[0xFF], 0xFF);

    ui.press(ImGuiHarness::plus_of(addr), frame);
    EXPECT_EQ(state.ram_addr, 0);
    ui.type(val, "100", frame);
    EXPECT_EQ(state.ram_val, 0);
    ui.type(addr, "1A3", frame);  // not 0xA3
    EXPECT_EQ(state.ram_addr, 0);
}

TEST_F(RamPanel, ClearAllClearsTheRamAndNothingElse) {
    for (std::size_t k = 0; k < arch.ram.size(); ++k) arch.ram[k] = static_cast<std::uint8_t>(k);
    arch.rom[3] = 0x1127F;
    arch.registers[2] = 4;
    arch.z = true;
    Isa4 expected = arch;
    expected.clear_ram();
    ui.press(title, "Clear All", frame);
    EXPECT_EQ(arch, expected);
    EXPECT_EQ(row(0xF), "F  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
}

TEST_F(RamPanel, SaveClearAndLoadBringTheDataBackSilently) {
    ScratchDir scratch;
    const std::string path = scratch.path("data.ram");
    for (std::size_t k = 0; k < arch.ram.size(); ++k) arch.ram[k] = static_cast<std::uint8_t>(~k);
    const Isa4 before = arch;

    type_name(path);
    ui.press(title, "Save RAM", frame);
    EXPECT_EQ(read_file(path).size(), ram_image_size);
    ui.press(title, "Clear All", frame);
    ASSERT_NE(arch, before);
    ui.press(title, "Load RAM", frame);
    EXPECT_EQ(arch, before);
    EXPECT_TRUE(log.messages.empty());
}

TEST_F(RamPanel, EachFailedSaveOrLoadLogsOneLineAndChangesNothing) {
    ScratchDir scratch;
    const std::string missing = scratch.path("data.ram");
    arch.ram.fill(0x5C);
    const Isa4 before = arch;

    type_name(missing);
    ui.press(title, "Load RAM", frame);
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages.front(), "Load RAM failed: " + missing + " (No such file or directory)");

    // A pipe is neither written nor waited on.
    const std::string pipe = scratch.path("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    type_name(pipe);
    ui.press(title, "Save RAM", frame);
    ui.press(title, "Load RAM", frame);
    ASSERT_EQ(log.messages.size(), 3u);
    EXPECT_EQ(log.messages[1], "Save RAM failed: " + pipe + " (Not a regular file)");
    EXPECT_EQ(log.messages[0], "Load RAM failed: " + pipe + " (Not a regular file)");

    const std::string no_dir = scratch.path("gone/data.ram");
    type_name(no_dir);
    ui.press(title, "Save RAM", frame);
    ASSERT_EQ(log.messages.size(), 4u);
    EXPECT_EQ(log.messages.front(), "Save RAM failed: " + no_dir + " (No such file or directory)");

    EXPECT_EQ(arch, before);
    EXPECT_EQ(scratch.names(), std::vector<std::string>{"pipe"});
}

// Both memory windows in one frame, in the workbench's order.
class MemoryWindows : public ::testing::Test {
protected:
    ImGuiHarness ui;
    Isa4 arch{};
    Logger log{20};
    RomPanelState rom_state;
    RamPanelState ram_state;
    ImGuiHarness::Frame frame = [this] {
        draw_rom_panel(arch, log, rom_state);
        draw_ram_panel(arch, log, ram_state);
    };

    void SetUp() override {
        arch.reset();
        ui.frames(2, frame);
    }
};

TEST_F(MemoryWindows, KeepSeparateFileNames) {
    ui.type("Program ROM view", "Filename", "prog.rom", frame);
    ui.type("RAM view", "Filename", "data.ram", frame);
    EXPECT_EQ(std::string(rom_state.rom_filename), "prog.rom");
    EXPECT_EQ(std::string(ram_state.ram_filename), "data.ram");
}

TEST_F(MemoryWindows, AProgramTypedInSurvivesSaveClearAndLoadAndRuns) {
    ScratchDir scratch;
    const char* rom_window = "Program ROM view";
    // ADDI r1, r0, 0x2A; MOVE [0x10], r1; MOVE [0x11], [0x10]; ADDI r0, r0, 0; JZ 0x04
    const char* program[] = {"1102A", "51001", "71110", "10000", "20004"};
    for (int k = 0; k < 5; ++k) {
        ui.type(rom_window, "val", program[k], frame);
        ui.type(rom_window, "addr", std::to_string(k).c_str(), frame);
        ui.press(rom_window, "Poke", frame);
    }
    const Isa4::Rom typed = arch.rom;
    EXPECT_EQ(typed[4], 0x20004u);

    ui.type(rom_window, "Filename", scratch.path("prog.rom").c_str(), frame);
    ui.press(rom_window, "Save ROM", frame);
    ui.press(rom_window, "Clear All", frame);
    ui.press(rom_window, "Load ROM", frame);
    EXPECT_EQ(arch.rom, typed);

    arch.reset();
    int steps = 0;
    while (arch.step() && steps < 10) ++steps;
    EXPECT_EQ(arch.pc, 4);
    ui.frame(frame);
    ImGuiHarness::Frame read_ram = [this] {
        draw_rom_panel(arch, log, rom_state);
        ImGuiHarness::capture_next_window();
        draw_ram_panel(arch, log, ram_state);
    };
    const std::string text = ui.text_of(read_ram);
    EXPECT_NE(text.find("1  2A 2A 00 00"), std::string::npos) << text;
    EXPECT_TRUE(log.messages.empty());
}

}  // namespace
