#include "app/frame.h"

#include <imgui.h>

#include "machine/isa4.h"
#include "panels/logger.h"
#include "panels/ram_panel.h"
#include "panels/rom_panel.h"

void build_frame(ShellState& shell, Isa4& arch, Logger& log) {
    if (shell.show_demo_window) ImGui::ShowDemoWindow(&shell.show_demo_window);
    draw_hello_window(shell);
    draw_another_window(shell);

    draw_rom_panel(arch, log);
    draw_ram_panel(arch, log);
    draw_logger_panel(log);
}
