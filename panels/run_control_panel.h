// The "Computer Architecture state" window: the run rate "Clocks" (1 to 20 steps per
// second) and the buttons "Reset CPU", "Step" and "Run" (which reads "Stop" while the
// machine runs).
//
// Every frame, whether or not the machine runs and whether or not the window is
// collapsed, it sets the run clock's period from the rate and ticks the run clock once;
// while running it executes the steps that fell due, ending the frame's batch early at a
// halting JZ. A halt does not end the run: only "Stop" and "Step" do. "Reset CPU" is
// logged. The frame loop calls it every frame; it is the run clock's only caller.
#pragma once

#include <cstdint>
#include <functional>

class CpuStepper;
class Isa4;
class Logger;

// The run controls' values that live from frame to frame.
struct RunControlPanelState {
    int clocks = 1;        // steps per second, held within 1..20
    bool running = false;  // continuous run is on
};

// Ticks the run clock once and returns the steps due: `cpu_stepper.tick()` in the workbench,
// chosen counter readings through `tick_at` in tests.
using StepperTick = std::function<std::uint32_t(CpuStepper&)>;

// What the buttons and the slider do, for the window and for anything else that drives
// the same machine (the page's accessible view).
void reset_cpu(Isa4& arch, Logger& log);                   // "Reset CPU", logged
void step_cpu(Isa4& arch, RunControlPanelState& state);    // "Step": ends a run, steps once
void toggle_run(RunControlPanelState& state);              // "Run" / "Stop"
void set_clocks(RunControlPanelState& state, int clocks);  // held within 1..20

// The state the frame loop's window keeps for the whole run.
RunControlPanelState& run_control_state();

void draw_run_control_panel(Isa4& arch, Logger& log, CpuStepper& cpu_stepper);
void draw_run_control_panel(Isa4& arch, Logger& log, CpuStepper& cpu_stepper,
                            RunControlPanelState& state, const StepperTick& tick);
