#include "app/frame_loop.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <imgui.h>
#include <imgui_impl_sdl.h>

#include "app/frame.h"

bool run_frame(const FrameBackends& backends, SDL_Window* window, ShellState& shell, Isa4& arch,
               Logger& log, CpuStepper& cpu_stepper) {
    bool quit_requested = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        ImGui_ImplSDL2_ProcessEvent(&event);
        if (event.type == SDL_QUIT) quit_requested = true;
    }

    backends.renderer_new_frame();
    backends.platform_new_frame();
    ImGui::NewFrame();

    build_frame(shell, arch, log, cpu_stepper);

    ImGui::Render();
    const ImGuiIO& io = ImGui::GetIO();
    glViewport(0, 0, static_cast<int>(io.DisplaySize.x), static_cast<int>(io.DisplaySize.y));
    const ImVec4& c = shell.clear_color;
    glClearColor(c.x, c.y, c.z, c.w);
    glClear(GL_COLOR_BUFFER_BIT);
    backends.render_draw_data(ImGui::GetDrawData());
    SDL_GL_SwapWindow(window);
    return quit_requested;
}
