#include "panels/run_control_panel.h"

#include <imgui.h>

#include "machine/cpu_stepper.h"
#include "machine/isa4.h"
#include "panels/logger.h"
#include "panels/range.h"

void draw_run_control_panel(Isa4& arch, Logger& log, CpuStepper& cpu_stepper) {
    static RunControlPanelState state;
    draw_run_control_panel(arch, log, cpu_stepper, state,
                           [](CpuStepper& cpu_stepper) { return cpu_stepper.tick(); });
}

void draw_run_control_panel(Isa4& arch, Logger& log, CpuStepper& cpu_stepper,
                            RunControlPanelState& state, const StepperTick& tick) {
    ImGui::Begin("Computer Architecture state");

    // A Ctrl+click lets the user type any number into the slider.
    ImGui::SliderInt("Clocks", &state.clocks, 1, 20, "%d");
    state.clocks = clamp_into(1, state.clocks, 20);
    cpu_stepper.period_ms = static_cast<std::uint32_t>(1000 / state.clocks);
    std::uint32_t steps_due = tick(cpu_stepper);

    if (ImGui::Button("Reset CPU")) {
        arch.reset();
        log.add("Reset CPU");
    }
    ImGui::SameLine();
    if (ImGui::Button("Step")) {
        state.running = false;
        arch.step();
    }
    ImGui::SameLine();
    // The label is read after "Step" acted, so it already reads "Run" in that frame.
    if (ImGui::Button(state.running ? "Stop" : "Run")) state.running = !state.running;

    // Steps that fell due while stopped are dropped; a halt ends this frame's batch only.
    if (state.running) {
        while (steps_due != 0) {
            --steps_due;
            if (!arch.step()) break;
        }
    }
    ImGui::End();
}
