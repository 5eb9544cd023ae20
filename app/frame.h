// The windows of one frame, in the order the user sees them act: the Dear ImGui demo
// window and the example windows, then the simulator windows. An edit made in an
// earlier window shows in the later windows of the same frame; what the run controls
// do to the machine shows in the windows before them from the next frame on.
//
// The workbench keeps each simulator window's values in the window's own static state
// and ticks the run clock from SDL's counter. A caller that wants values of its own and
// a clock it drives itself (the benchmarks) hands in a `SimulatorPanels`.
//
// Call between ImGui::NewFrame() and ImGui::Render().
#pragma once

#include "app/example_windows.h"
#include "machine/cpu_stepper.h"
#include "panels/assembler_panel.h"
#include "panels/cpu_state_panel.h"
#include "panels/ram_panel.h"
#include "panels/rom_panel.h"
#include "panels/run_control_panel.h"

class Isa4;
class Logger;

// Every simulator window's values, and the tick that drives the run clock: as the
// workbench starts, unless the caller changes them.
struct SimulatorPanels {
    CpuStatePanelState cpu_state;
    RomPanelState rom;
    RamPanelState ram;
    RunControlPanelState run_control;
    AssemblerPanelState assembler;
    StepperTick tick = [](CpuStepper& cpu_stepper) { return cpu_stepper.tick(); };
};

// The six simulator windows in their fixed order: with the values and tick in `panels`,
// or, given none, with the windows' own states and SDL's counter, as the workbench runs.
void draw_simulator_windows(Isa4& arch, Logger& log, CpuStepper& cpu_stepper,
                            SimulatorPanels* panels = nullptr);

void build_frame(ShellState& shell, Isa4& arch, Logger& log, CpuStepper& cpu_stepper,
                 SimulatorPanels* panels = nullptr);
