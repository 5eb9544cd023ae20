#include "app/frame.h"

#include <imgui.h>

#include "machine/cpu_stepper.h"
#include "machine/isa4.h"
#include "panels/assembler_panel.h"
#include "panels/cpu_state_panel.h"
#include "panels/logger.h"
#include "panels/ram_panel.h"
#include "panels/rom_panel.h"
#include "panels/run_control_panel.h"

void build_frame(ShellState& shell, Isa4& arch, Logger& log, CpuStepper& cpu_stepper) {
    if (shell.show_demo_window) ImGui::ShowDemoWindow(&shell.show_demo_window);
    draw_hello_window(shell);
    draw_another_window(shell);

    // The simulator windows, in their fixed order. The three that show the machine come
    // before the run controls, so they show a frame's steps from the next frame on.
    draw_cpu_state_panel(arch);
    draw_rom_panel(arch, log);
    draw_ram_panel(arch, log);
    draw_run_control_panel(arch, log, cpu_stepper);
    draw_assembler_panel();
    draw_logger_panel(log);
}
