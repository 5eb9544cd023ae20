#include "panels/run_control_panel.h"

#include <imgui.h>

#include "machine/cpu_stepper.h"
#include "machine/isa4.h"
#include "panels/logger.h"
#include "panels/range.h"

void reset_cpu(Isa4& arch, Logger& log) {
    arch.reset();
    log.add("Reset CPU");
}

void step_cpu(Isa4& arch, RunControlPanelState& state) {
    state.running = false;
    arch.step();
}

void toggle_run(RunControlPanelState& state) {
    state.running = !state.running;
}

void set_clocks(RunControlPanelState& state, int clocks) {
    state.clocks = clamp_into(1, clocks, 20);
}

RunControlPanelState& run_control_state() {
    static RunControlPanelState state;
    return state;
}

void draw_run_control_panel(Isa4& arch, Logger& log, CpuStepper& cpu_stepper) {
    draw_run_control_panel(arch, log, cpu_stepper, run_control_state(),
                           [](CpuStepper& cpu_stepper) { return cpu_stepper.tick(); });
}

void draw_run_control_panel(Isa4& arch, Logger& log, CpuStepper& cpu_stepper,
                            RunControlPanelState& state, const StepperTick& tick) {
    ImGui::Begin("Computer Architecture state");

    // A Ctrl+click lets the user type any number into the slider.
    ImGui::SliderInt("Clocks", &state.clocks, 1, 20, "%d");
    set_clocks(state, state.clocks);
    cpu_stepper.period_ms = static_cast<std::uint32_t>(1000 / state.clocks);
    std::uint32_t steps_due = tick(cpu_stepper);

    if (ImGui::Button("Reset CPU")) reset_cpu(arch, log);
    ImGui::SameLine();
    if (ImGui::Button("Step")) step_cpu(arch, state);
    ImGui::SameLine();
    // The label is read after "Step" acted, so it already reads "Run" in that frame.
    if (ImGui::Button(state.running ? "Stop" : "Run")) toggle_run(state);

    // Steps that fell due while stopped are dropped; a halt ends this frame's batch only.
    if (state.running) {
        while (steps_due != 0) {
            --steps_due;
            if (!arch.step()) break;
        }
    }
    ImGui::End();
}
