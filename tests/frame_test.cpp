// The simulator windows of one frame: built in their fixed order whether they keep their
// own values or the caller's, and, with the caller's values and clock, a run at 20 steps
// per second through the whole frame.
#include "app/frame.h"

#include <gtest/gtest.h>
#include <imgui_internal.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/bench_setup.h"
#include "machine/cpu_stepper.h"
#include "machine/instruction.h"
#include "machine/isa4.h"
#include "panels/logger.h"
#include "tests/imgui_harness.h"

namespace {

const std::vector<std::string> simulator_windows = {
    "CPU state", "Program ROM view", "RAM view", "Computer Architecture state", "(Diss)Assembler",
    "Logger"};

// The titles of the windows begun in the last frame, in the order they were begun, less
// Dear ImGui's implicit "Debug" window.
std::vector<std::string> windows_in_order() {
    std::vector<ImGuiWindow*> begun;
    for (ImGuiWindow* w : GImGui->Windows) {
        if (w->LastFrameActive == ImGui::GetFrameCount() && w->ParentWindow == nullptr &&
            !w->IsFallbackWindow)
            begun.push_back(w);
    }
    std::sort(begun.begin(), begun.end(), [](ImGuiWindow* a, ImGuiWindow* b) {
        return a->BeginOrderWithinContext < b->BeginOrderWithinContext;
    });
    std::vector<std::string> titles;
    for (ImGuiWindow* w : begun) titles.emplace_back(w->Name);
    return titles;
}

class SimulatorWindows : public ::testing::Test {
protected:
    ImGuiHarness ui;
    Isa4 arch{};
    Logger log{20};
    CpuStepper cpu_stepper{1000, 1000};
};

TEST_F(SimulatorWindows, WithTheirOwnValuesComeInTheirFixedOrder) {
    ui.frame([&] { draw_simulator_windows(arch, log, cpu_stepper); });
    EXPECT_EQ(windows_in_order(), simulator_windows);
}

TEST_F(SimulatorWindows, WithTheCallersValuesComeInTheSameOrderAfterTheShellsWindows) {
    SimulatorPanels panels;
    ShellState shell;
    shell.show_demo_window = false;
    ui.frame([&] { build_frame(shell, arch, log, cpu_stepper, &panels); });
    std::vector<std::string> expected = {"Hello, world!"};
    expected.insert(expected.end(), simulator_windows.begin(), simulator_windows.end());
    EXPECT_EQ(windows_in_order(), expected);
}

TEST_F(SimulatorWindows, RunAt20StepsPerSecondOnTheCallersClock) {
    SimulatorPanels panels;
    FrameClock clock;
    panels.tick = [&](CpuStepper& cpu_stepper) { return clock.tick(cpu_stepper); };
    panels.run_control.clocks = 20;
    panels.run_control.running = true;
    arch.reset();  // the ROM is all ADD r0: every step moves pc on by one
    ui.frames(180, [&] { draw_simulator_windows(arch, log, cpu_stepper, &panels); });

    const std::uint64_t steps = clock.steps_due;
    EXPECT_NEAR(static_cast<double>(steps), 60.0, 1.0) << "three seconds at 20 steps/s";
    EXPECT_EQ(arch.pc, static_cast<std::uint8_t>(0xFF + steps));
    EXPECT_TRUE(panels.run_control.running);
}

// A word composed in "(Diss)Assembler" reaches the machine the way a user carries it:
// read off the word line, typed into the ROM view's "val" and poked, then stepped.
TEST_F(SimulatorWindows, AComposedWordPokedIntoTheRomExecutesAsItsMenusSay) {
    SimulatorPanels panels;
    const ImGuiHarness::Frame frame = [&] {
        draw_simulator_windows(arch, log, cpu_stepper, &panels);
    };
    ui.frames(2, frame);

    // MOVE MR: RAM cell A0 from r7.
    ui.pick(ui.id("(Diss)Assembler", "opcode"), opcode_menu_move, "MOVE", frame);
    ui.pick(ui.id("(Diss)Assembler", "Type"), kind_mr, "MR", frame);
    ui.type("(Diss)Assembler", "dst", "A0", frame);
    ui.pick(ui.id("(Diss)Assembler", "rhs"), 7, "r7", frame);
    // The word line, read from the window alone; a whole frame then brings the other
    // windows back before the next one is typed into.
    const std::string text = ui.text_of([&] { draw_assembler_panel(panels.assembler); });
    ui.frame(frame);
    const auto at = text.find("IC: ");
    ASSERT_NE(at, std::string::npos) << text;
    const std::string word = text.substr(at + 4, 5);
    EXPECT_EQ(word, "5A007");

    ui.type("Program ROM view", "val", word.c_str(), frame);
    ui.press("Program ROM view", "Poke", frame);
    ui.type("CPU state", "R7", "5A", frame);
    ui.press("Computer Architecture state", "Reset CPU", frame);
    ui.press("Computer Architecture state", "Step", frame);

    EXPECT_EQ(arch.rom[0], 0x5A007u);
    EXPECT_EQ(arch.pc, 0);
    EXPECT_EQ(arch.ram[0xA0], 0x5A);
}

}  // namespace
