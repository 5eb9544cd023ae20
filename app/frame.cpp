#include "app/frame.h"

#include <imgui.h>

#include "machine/isa4.h"
#include "panels/assembler_panel.h"
#include "panels/logger.h"

void build_frame(ShellState& shell, Isa4& arch, Logger& log) {
    (void)arch;
    if (shell.show_demo_window) ImGui::ShowDemoWindow(&shell.show_demo_window);
    draw_hello_window(shell);
    draw_another_window(shell);

    draw_assembler_panel();
    draw_logger_panel(log);
}
