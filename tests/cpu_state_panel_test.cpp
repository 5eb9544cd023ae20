// The "CPU state" window: pc, the zero flag and R1 to RF, edited through their fields,
// check box and step buttons, reach the machine in the same frame and stay in 0..FF.
#include "panels/cpu_state_panel.h"

#include <gtest/gtest.h>

#include <string>

#include "machine/isa4.h"
#include "tests/imgui_harness.h"

namespace {

constexpr const char* window = "CPU state";

class CpuStateWindow : public ::testing::Test {
protected:
    ImGuiHarness ui;
    Isa4 arch{};
    CpuStatePanelState state;
    ImGuiHarness::Frame frame = [this] { draw_cpu_state_panel(arch, state); };

    void SetUp() override {
        arch.reset();
        ui.frame(frame);
    }
    // Presses a step button of `field` with Ctrl held: the fast step of 100.
    void fast_plus(const char* field) {
        ImGui::GetIO().KeyCtrl = true;
        ui.press(ImGuiHarness::plus_of(ui.id(window, field)), frame);
        ImGui::GetIO().KeyCtrl = false;
    }
};

TEST_F(CpuStateWindow, ShowsTheArchitectureAndTheMachineAsItIs) {
    arch.registers[0xA] = 0x5C;
    const std::string text = ui.text_of(frame);
    EXPECT_NE(text.find("Arch: isa4"), std::string::npos) << text;
    EXPECT_NE(text.find("{ 000000FF } [ - ] [ + ] PC"), std::string::npos) << text;
    EXPECT_NE(text.find("{ 0000005C } [ - ] [ + ] RA"), std::string::npos) << text;
    EXPECT_NE(text.find("[ - ] [ + ] RF"), std::string::npos) << text;
    EXPECT_EQ(text.find("R0"), std::string::npos) << text;
}

TEST_F(CpuStateWindow, TypedValuesReachTheMachineWrappedInto0ToFF) {
    ui.type(window, "PC", "10", frame);
    EXPECT_EQ(arch.pc, 0x10);
    arch.rom[0x11] = 0x11005;  // ADDI r1, r0, 5: the word the next step executes
    arch.step();
    EXPECT_EQ(arch.registers[1], 5);

    ui.type(window, "R7", "7F", frame);
    EXPECT_EQ(arch.registers[7], 0x7F);
    ui.type(window, "RF", "1FF", frame);
    EXPECT_EQ(arch.registers[15], 0);
    ui.type(window, "PC", "100", frame);
    EXPECT_EQ(arch.pc, 0);
    for (int r : {0, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14}) EXPECT_EQ(arch.registers[r], 0);
}

TEST_F(CpuStateWindow, StepButtonsWrapAroundAndTheFastStepDoesNotReduceModulo) {
    ui.press(ImGuiHarness::plus_of(ui.id(window, "PC")), frame);
    EXPECT_EQ(arch.pc, 0);  // FF plus 1
    ui.press(ImGuiHarness::minus_of(ui.id(window, "PC")), frame);
    EXPECT_EQ(arch.pc, 0xFF);

    ui.press(ImGuiHarness::minus_of(ui.id(window, "R3")), frame);
    EXPECT_EQ(arch.registers[3], 0xFF);
    ui.press(ImGuiHarness::plus_of(ui.id(window, "R3")), frame);
    EXPECT_EQ(arch.registers[3], 0);

    arch.registers[3] = 200;
    fast_plus("R3");
    EXPECT_EQ(arch.registers[3], 0);  // 300 wraps to 0, not to 44
    arch.registers[3] = 100;
    fast_plus("R3");
    EXPECT_EQ(arch.registers[3], 200);
}

TEST_F(CpuStateWindow, ZToggles) {
    ui.press(window, "Z", frame);
    EXPECT_TRUE(arch.z);
    ui.press(window, "Z", frame);
    EXPECT_FALSE(arch.z);
}

TEST_F(CpuStateWindow, FieldsFollowTheMachineEveryFrame) {
    ui.type(window, "R2", "33", frame);
    arch.registers[2] = 0x44;  // a step or another window changed it
    arch.pc = 0x21;
    ui.frame(frame);
    EXPECT_EQ(arch.registers[2], 0x44);
    EXPECT_EQ(arch.pc, 0x21);
    EXPECT_NE(ui.text_of(frame).find("{ 00000044 } [ - ] [ + ] R2"), std::string::npos);
}

}  // namespace
