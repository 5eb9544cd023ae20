#include "app/frame.h"

#include <imgui.h>

#include "machine/cpu_stepper.h"
#include "machine/isa4.h"
#include "panels/logger.h"

void draw_simulator_windows(Isa4& arch, Logger& log, CpuStepper& cpu_stepper,
                            SimulatorPanels* panels) {
    // One line per window, in their order. The three that show the machine come before
    // the run controls, so they show a frame's steps from the next frame on.
    panels ? draw_cpu_state_panel(arch, panels->cpu_state) : draw_cpu_state_panel(arch);
    panels ? draw_rom_panel(arch, log, panels->rom) : draw_rom_panel(arch, log);
    panels ? draw_ram_panel(arch, log, panels->ram) : draw_ram_panel(arch, log);
    panels ? draw_run_control_panel(arch, log, cpu_stepper, panels->run_control, panels->tick)
           : draw_run_control_panel(arch, log, cpu_stepper);
    panels ? draw_assembler_panel(panels->assembler) : draw_assembler_panel();
    draw_logger_panel(log);
}

void build_frame(ShellState& shell, Isa4& arch, Logger& log, CpuStepper& cpu_stepper,
                 SimulatorPanels* panels) {
    if (shell.show_demo_window) ImGui::ShowDemoWindow(&shell.show_demo_window);
    draw_hello_window(shell);
    draw_another_window(shell);
    draw_simulator_windows(arch, log, cpu_stepper, panels);
}
