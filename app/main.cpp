// Kelvane: a workbench for the isa4 machine.
//
// main() brings up SDL2, one OpenGL 2 window and Dear ImGui, creates the message log,
// the machine and the run clock, runs the frame loop until SDL reports a quit request
// (the window closed, or SIGINT/SIGTERM), and shuts everything down in reverse order.
// The only text written to standard output is a start-up error line. Command-line
// arguments are ignored.
#include <SDL.h>
#include <SDL_opengl.h>
#include <imgui.h>
#include <imgui_impl_opengl2.h>
#include <imgui_impl_sdl.h>

#include <cstdio>

#include "app/frame.h"
#include "machine/cpu_stepper.h"
#include "machine/isa4.h"
#include "panels/logger.h"

namespace {

// One "Error: ..." line with SDL's reason.
int start_up_failed() {
    std::printf("Error: %s\n", SDL_GetError());
    return -1;
}

}  // namespace

int main(int, char**) {
    // --- SDL, the window and the OpenGL context ---
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER) != 0)
        return start_up_failed();

    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 2);
    const auto window_flags = static_cast<SDL_WindowFlags>(
        SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    SDL_Window* window = SDL_CreateWindow("Kelvane", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          1280, 720, window_flags);
    if (window == nullptr) {
        const int status = start_up_failed();
        SDL_Quit();
        return status;
    }
    SDL_GLContext gl_context = SDL_GL_CreateContext(window);
    if (gl_context == nullptr) {
        const int status = start_up_failed();
        SDL_DestroyWindow(window);
        SDL_Quit();
        return status;
    }
    SDL_GL_MakeCurrent(window, gl_context);
    SDL_GL_SetSwapInterval(1);  // vertical sync paces the frames

    // --- Dear ImGui ---
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    ImGui::StyleColorsDark();
    ImGui_ImplSDL2_InitForOpenGL(window, gl_context);
    ImGui_ImplOpenGL2_Init();

    // --- The simulator ---
    ShellState shell;
    Logger log(20);
    Isa4 arch{};
    arch.reset();
    log.add("Loaded Isa4");
    CpuStepper cpu_stepper(1000, 1000);  // period and most credit per frame, in ms

    // --- Frame loop ---
    bool quit_requested = false;
    SDL_Event event;
    while (!quit_requested) {
        // Every pending event reaches the backend; a quit ends the loop after this frame.
        while (SDL_PollEvent(&event)) {
            ImGui_ImplSDL2_ProcessEvent(&event);
            if (event.type == SDL_QUIT) quit_requested = true;
        }

        ImGui_ImplOpenGL2_NewFrame();
        ImGui_ImplSDL2_NewFrame();
        ImGui::NewFrame();

        build_frame(shell, arch, log, cpu_stepper);

        ImGui::Render();
        glViewport(0, 0, static_cast<int>(io.DisplaySize.x), static_cast<int>(io.DisplaySize.y));
        const ImVec4& c = shell.clear_color;
        glClearColor(c.x, c.y, c.z, c.w);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
        SDL_GL_SwapWindow(window);
    }

    // --- Shutdown ---
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    SDL_GL_DeleteContext(gl_context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
