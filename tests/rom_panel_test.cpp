// The "Program ROM view" window, driven through its widgets: the listing and its
// highlight, tracking, poking with the wrap and sync rules, and the image file buttons.
#include "panels/rom_panel.h"

#include <gtest/gtest.h>
#include <imgui_internal.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "machine/image_file.h"
#include "machine/isa4.h"
#include "panels/logger.h"
#include "tests/imgui_harness.h"
#include "tests/scratch_dir.h"

namespace {

constexpr const char* title = "Program ROM view";

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string listing_line(int address, const char* columns) {
    char line[16];
    std::snprintf(line, sizeof line, "%02X  %s", address, columns);
    return line;
}

class RomPanel : public ::testing::Test {
protected:
    ImGuiHarness ui;
    Isa4 arch{};
    Logger log{20};
    RomPanelState state;
    ImGuiHarness::Frame frame = [this] { draw_rom_panel(arch, log, state); };

    void SetUp() override {
        arch.reset();
        ui.frames(2, frame);
    }

    std::vector<std::string> lines() { return lines_of(ui.text_of(frame)); }

    // The listing line of `address`, as the window shows it.
    std::string shown(int address) {
        const std::vector<std::string> all = lines();
        const std::string prefix = listing_line(address, "");
        for (const std::string& line : all)
            if (line.rfind(prefix, 0) == 0) return line;
        return "";
    }

    ImGuiWindow* listing() const { return ImGui::FindWindowByName(title)->DC.ChildWindows[0]; }

    // The lines of the listing drawn in yellow in the last frame.
    std::set<int> yellow_lines() const {
        const ImGuiWindow* region = listing();
        const float line_height = ImGui::GetTextLineHeightWithSpacing();
        std::set<int> found;
        for (const ImDrawVert& v : region->DrawList->VtxBuffer) {
            if (v.col != IM_COL32(255, 255, 0, 255)) continue;
            found.insert(static_cast<int>(
                std::floor((v.pos.y - region->DC.CursorStartPos.y) / line_height)));
        }
        return found;
    }

    // How far the middle of `address`'s line is from the middle of the listing region.
    float distance_from_middle(int address) const {
        const ImGuiWindow* region = listing();
        const float line_height = ImGui::GetTextLineHeightWithSpacing();
        const float line_middle = region->DC.CursorStartPos.y + (address + 0.5f) * line_height;
        return std::fabs(line_middle - (region->InnerRect.Min.y + region->InnerRect.Max.y) / 2);
    }

    void type_name(const std::string& name) { ui.type(title, "Filename", name.c_str(), frame); }
};

TEST_F(RomPanel, StartsWithAllWordsZeroAndLine00HighlightedAtTheTop) {
    const std::vector<std::string> all = lines();
    ASSERT_GE(all.size(), 258u);
    EXPECT_EQ(all[1], "PC: FF [x] Track PC+1");
    for (int j = 0; j < 256; ++j) ASSERT_EQ(all[2 + j], listing_line(j, "0 00 00"));
    EXPECT_EQ(all[258], "[ ] Sync with PC+1");

    EXPECT_EQ(yellow_lines(), std::set<int>{0});
    EXPECT_EQ(listing()->Scroll.y, 0.0f);
}

TEST_F(RomPanel, ListsEachWordByItsBytesWithBits23To20Shown) {
    arch.rom[0x05] = 0x1A2FF;
    arch.rom[0x06] = 0xFFFFFF;
    arch.rom[0x07] = 0xF0000;
    arch.rom[0xFF] = 0x00102;
    EXPECT_EQ(shown(0x05), "05  1 A2 FF");
    EXPECT_EQ(shown(0x06), "06  FF FF FF");
    EXPECT_EQ(shown(0x07), "07  F 00 00");
    EXPECT_EQ(shown(0xFF), "FF  0 01 02");
}

TEST_F(RomPanel, TrackPcHoldsTheNextWordInTheMiddleOfTheListing) {
    const float line_height = ImGui::GetTextLineHeightWithSpacing();
    arch.pc = 0x7F;
    ui.frames(3, frame);
    EXPECT_EQ(yellow_lines(), std::set<int>{0x80});
    EXPECT_GT(listing()->Scroll.y, 0.0f);
    EXPECT_LT(distance_from_middle(0x80), line_height);
    EXPECT_EQ(lines()[1].rfind("PC: 7F [x] Track PC+1", 0), 0u);

    // Scrolled away, it comes back.
    ImGui::SetScrollY(listing(), 0.0f);
    ui.frames(3, frame);
    EXPECT_LT(distance_from_middle(0x80), line_height);

    // pc 0xFE: the last line, as far down as the listing goes.
    arch.pc = 0xFE;
    ui.frames(3, frame);
    EXPECT_EQ(yellow_lines(), std::set<int>{0xFF});
    EXPECT_EQ(listing()->Scroll.y, listing()->ScrollMax.y);
}

TEST_F(RomPanel, WithoutTrackingTheListingScrollsFreelyAndStillHighlights) {
    ui.press(title, "Track PC+1", frame);
    ASSERT_FALSE(state.track_pc);
    arch.pc = 0x7F;
    ui.frames(3, frame);
    EXPECT_EQ(listing()->Scroll.y, 0.0f);

    ImGui::SetScrollY(listing(), 120.0f);
    ui.frames(3, frame);
    EXPECT_EQ(listing()->Scroll.y, 120.0f);

    arch.pc = 0x08;  // line 09, in view at this scroll
    ui.frame(frame);
    EXPECT_EQ(yellow_lines(), std::set<int>{0x09});
    EXPECT_EQ(listing()->Scroll.y, 120.0f);
}

TEST_F(RomPanel, PokeWritesTheTypedWordAtTheTypedAddressOnly) {
    ui.type(title, "val", "1A2FF", frame);
    ui.type(title, "addr", "5", frame);
    Isa4 expected = arch;
    expected.rom[5] = 0x1A2FF;
    ui.press(title, "Poke", frame);
    EXPECT_EQ(arch, expected);
    EXPECT_EQ(shown(0x05), "05  1 A2 FF");
}

TEST_F(RomPanel, FieldsWrapAtBothEndsWithoutModulo) {
    const ImGuiID val = ui.id(title, "val");
    const ImGuiID addr = ui.id(title, "addr");

    ui.press(ImGuiHarness::minus_of(val), frame);
    EXPECT_EQ(state.rom_val, 0xFFFFF);
    ui.press(ImGuiHarness::minus_of(addr), frame);
    EXPECT_EQ(state.rom_addr, 0xFF);
    ui.press(title, "Poke", frame);
    EXPECT_EQ(arch.rom[0xFF], 0xFFFFFu);

    ui.press(ImGuiHarness::plus_of(val), frame);
    EXPECT_EQ(state.rom_val, 0);
    ui.press(ImGuiHarness::plus_of(addr), frame);
    EXPECT_EQ(state.rom_addr, 0);

    ui.type(val, "100000", frame);
    EXPECT_EQ(state.rom_val, 0);
    ui.type(addr, "1FF", frame);  // not 0xFF
    EXPECT_EQ(state.rom_addr, 0);
    ui.type(addr, "100", frame);
    EXPECT_EQ(state.rom_addr, 0);
}

TEST_F(RomPanel, SyncWithPcPlus1PokesTheNextWordAndHidesTheAddressField) {
    ui.type(title, "val", "12345", frame);
    ui.press(title, "Sync with PC+1", frame);
    ASSERT_TRUE(state.sync_pc);
    for (const std::string& line : lines()) EXPECT_EQ(line.find("addr"), std::string::npos);

    // After a reset pc + 1 is 256, which wraps to 0.
    ui.press(title, "Poke", frame);
    EXPECT_EQ(arch.rom[0x00], 0x12345u);

    arch.pc = 0x10;
    ui.press(title, "Poke", frame);
    EXPECT_EQ(arch.rom[0x11], 0x12345u);
    EXPECT_EQ(arch.rom[0x10], 0u);

    // Unticked, the field comes back with the last address it followed.
    ui.press(title, "Sync with PC+1", frame);
    arch.pc = 0x40;
    ui.frame(frame);
    EXPECT_EQ(state.rom_addr, 0x11);
    EXPECT_NE(ui.text_of(frame).find("{ 00000011 } [ - ] [ + ] addr"), std::string::npos);
}

TEST_F(RomPanel, ClearAllClearsTheRomAndNothingElse) {
    for (std::size_t k = 0; k < arch.rom.size(); ++k) arch.rom[k] = 0x10000 + k;
    arch.ram[3] = 9;
    arch.registers[2] = 4;
    arch.pc = 0x33;
    arch.z = true;
    Isa4 expected = arch;
    expected.clear_rom();
    ui.press(title, "Clear All", frame);
    EXPECT_EQ(arch, expected);
    EXPECT_EQ(shown(0x80), "80  0 00 00");
}

TEST_F(RomPanel, SaveClearAndLoadBringTheProgramBackSilently) {
    ScratchDir scratch;
    const std::string path = scratch.path("prog.rom");
    for (std::size_t k = 0; k < arch.rom.size(); ++k) arch.rom[k] = (k * 0x3579) & 0xFFFFF;
    const Isa4 before = arch;

    type_name(path);
    ASSERT_EQ(std::string(state.rom_filename), path);
    ui.press(title, "Save ROM", frame);
    EXPECT_EQ(read_file(path).size(), rom_image_size);
    ui.press(title, "Clear All", frame);
    ASSERT_NE(arch, before);
    ui.press(title, "Load ROM", frame);
    EXPECT_EQ(arch, before);
    EXPECT_TRUE(log.messages.empty());
}

TEST_F(RomPanel, EachFailedSaveOrLoadLogsOneLineAndChangesNothing) {
    ScratchDir scratch;
    const std::string missing = scratch.path("prog.rom");
    for (std::size_t k = 0; k < arch.rom.size(); ++k) arch.rom[k] = 0x40000 + k;
    const Isa4 before = arch;

    ui.press(title, "Save ROM", frame);  // no name yet
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages.front(), "Save ROM failed: (Empty file name)");

    type_name(missing);
    ui.press(title, "Load ROM", frame);
    ASSERT_EQ(log.messages.size(), 2u);
    EXPECT_EQ(log.messages.front(), "Load ROM failed: " + missing + " (No such file or directory)");

    type_name(scratch.dir());
    ui.press(title, "Save ROM", frame);
    ASSERT_EQ(log.messages.size(), 3u);
    EXPECT_EQ(log.messages.front(), "Save ROM failed: " + scratch.dir() + " (Is a directory)");

    const std::string pipe = scratch.path("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    type_name(pipe);
    ui.press(title, "Load ROM", frame);
    ASSERT_EQ(log.messages.size(), 4u);
    EXPECT_EQ(log.messages.front(), "Load ROM failed: " + pipe + " (Not a regular file)");

    EXPECT_EQ(arch, before);
    EXPECT_EQ(scratch.names(), std::vector<std::string>{"pipe"});
}

}  // namespace
