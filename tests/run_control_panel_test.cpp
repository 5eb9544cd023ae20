// The "Computer Architecture state" window with a run clock that reads chosen tick values:
// the rate, Run/Stop/Step, "Reset CPU", a halt inside a run, and the order in which a
// frame's buttons and batch act.
#include "panels/run_control_panel.h"

#include <gtest/gtest.h>
#include <imgui_internal.h>

#include <string>

#include "machine/cpu_stepper.h"
#include "machine/isa4.h"
#include "panels/logger.h"
#include "tests/imgui_harness.h"

namespace {

constexpr const char* window = "Computer Architecture state";

class RunControlWindow : public ::testing::Test {
protected:
    ImGuiHarness ui;
    Isa4 arch{};
    Logger log{20};
    CpuStepper cpu_stepper{1000, 1000};
    RunControlPanelState state;
    std::uint32_t now = 0;  // what the tick counter reads in the next frame
    ImGuiHarness::Frame frame = [this] {
        draw_run_control_panel(arch, log, cpu_stepper, state,
                               [this](CpuStepper& c) { return c.tick_at(now); });
    };

    void SetUp() override {
        arch.reset();
        ui.frame(frame);
    }
    // One frame `ms` after the previous one.
    void after(std::uint32_t ms) {
        now += ms;
        ui.frame(frame);
    }
    // A press in a frame `ms` after the previous one.
    void press_after(std::uint32_t ms, const char* label) {
        now += ms;
        ui.press(window, label, frame);
    }
    std::string text() { return ui.text_of(frame); }
};

TEST_F(RunControlWindow, StartsStoppedAtOneStepPerSecond) {
    const std::string shown = text();
    EXPECT_NE(shown.find("{ 1 } Clocks"), std::string::npos) << shown;
    EXPECT_NE(shown.find("[ Reset CPU ] [ Step ] [ Run ]"), std::string::npos) << shown;
    EXPECT_EQ(state.clocks, 1);
    EXPECT_EQ(cpu_stepper.period_ms, 1000u);

    // While stopped the run clock still runs, and its steps are dropped.
    for (int i = 0; i < 10; ++i) after(700);
    EXPECT_EQ(arch.pc, 0xFF);
}

TEST_F(RunControlWindow, RunStepsInTheSameFrameAndStopEndsTheRunBeforeTheBatch) {
    after(600);
    press_after(500, "Run");  // 1100 ms credited: one step due in this very frame
    EXPECT_TRUE(state.running);
    EXPECT_EQ(arch.pc, 0);
    EXPECT_NE(text().find("[ Stop ]"), std::string::npos);

    after(500);
    EXPECT_EQ(arch.pc, 0);
    after(500);
    EXPECT_EQ(arch.pc, 1);

    press_after(1500, "Stop");  // a step was due: none runs
    EXPECT_FALSE(state.running);
    EXPECT_EQ(arch.pc, 1);
    after(3000);
    EXPECT_EQ(arch.pc, 1);
}

TEST_F(RunControlWindow, StepExecutesExactlyOneWordAndStopsARun) {
    press_after(0, "Step");
    EXPECT_EQ(arch.pc, 0);
    EXPECT_FALSE(state.running);

    press_after(0, "Run");
    now += 1900;  // one step due, yet the Step of this frame is the only one
    ImGui::ActivateItem(ui.id(window, "Step"));
    const std::string shown = text();
    EXPECT_EQ(arch.pc, 1);
    EXPECT_FALSE(state.running);
    EXPECT_NE(shown.find("[ Run ]"), std::string::npos) << shown;
}

TEST_F(RunControlWindow, ResetWhileRunningStartsTheSameFramesBatchAtAddressZero) {
    state.running = true;
    after(500);
    arch.pc = 0x40;
    press_after(600, "Reset CPU");  // one step due
    EXPECT_EQ(arch.pc, 0);
    EXPECT_TRUE(state.running);
    ASSERT_FALSE(log.messages.empty());
    EXPECT_EQ(log.messages.front(), "Reset CPU");
}

TEST_F(RunControlWindow, EachResetIsListedByTheLoggerInTheSameFrame) {
    auto both = [&] {
        frame();
        ImGuiHarness::capture_next_window();
        draw_logger_panel(log);
    };
    ui.frame(both);
    for (int presses = 1; presses <= 3; ++presses) {
        ImGui::ActivateItem(ui.id(window, "Reset CPU"));
        const std::string shown = ui.text_of(both);
        std::string listed = shown.substr(shown.find("Clear All"));
        int lines = 0;
        for (auto at = listed.find("Reset CPU"); at != std::string::npos;
             at = listed.find("Reset CPU", at + 1))
            ++lines;
        EXPECT_EQ(lines, presses) << shown;
    }
    EXPECT_EQ(arch.pc, 0xFF);
}

TEST_F(RunControlWindow, AHaltEndsOnlyTheFramesBatch) {
    arch.rom[0] = 0x10000;  // ADDI r0, r0, 0: sets z
    arch.rom[1] = 0x20001;  // JZ 0x01: onto itself, a halt
    arch.rom[2] = 0x11101;  // ADDI r1, r1, 1
    state.clocks = 20;
    after(50);
    press_after(260, "Run");  // five steps due; the second halts
    EXPECT_EQ(arch.pc, 1);
    EXPECT_TRUE(state.running);
    EXPECT_NE(text().find("[ Stop ]"), std::string::npos);

    after(100);  // the next frame goes on after the JZ
    EXPECT_EQ(arch.pc, 3);
    EXPECT_EQ(arch.registers[1], 1);
}

TEST_F(RunControlWindow, RunsAtTheChosenRateAndARateTypedOutOfRangeIsHeld) {
    ui.type(window, "Clocks", "0", frame);
    EXPECT_EQ(state.clocks, 1);
    EXPECT_EQ(cpu_stepper.period_ms, 1000u);
    ui.type(window, "Clocks", "99", frame);
    EXPECT_EQ(state.clocks, 20);
    EXPECT_EQ(cpu_stepper.period_ms, 50u);
    ui.type(window, "Clocks", "7", frame);
    EXPECT_EQ(cpu_stepper.period_ms, 142u);

    // Ten seconds of frames 16 ms apart: one step per 142 ms.
    press_after(0, "Run");
    const std::uint32_t started = now;
    while (now - started < 10'000) after(16);
    const int steps = static_cast<std::uint8_t>(arch.pc + 1);  // from FF
    EXPECT_NEAR(steps, (now - started) / 142, 1);
}

TEST_F(RunControlWindow, ACollapsedWindowStillRuns) {
    press_after(0, "Run");
    ImGui::SetWindowCollapsed(window, true);
    for (int i = 0; i < 7; ++i) after(500);
    EXPECT_TRUE(ImGui::FindWindowByName(window)->Collapsed);
    EXPECT_EQ(arch.pc, 2);  // three steps in 3.5 s
    EXPECT_TRUE(state.running);
}

}  // namespace
