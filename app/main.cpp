// Kelvane: a workbench for the isa4 machine.
//
// main() brings up SDL2, one OpenGL 2 window and Dear ImGui, creates the message log,
// the machine and the run clock, runs the frame loop until SDL reports a quit request
// (the window closed, or SIGINT/SIGTERM), and shuts everything down in reverse order.
// The only text written to standard output is a start-up error line: SDL failing, or no
// display to show the window on. Command-line arguments are ignored.
#include <SDL.h>
#include <SDL_opengl.h>
#include <imgui.h>
#include <imgui_impl_opengl2.h>
#include <imgui_impl_sdl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/first_launch_layout.h"
#include "app/frame.h"
#include "app/frame_loop.h"
#include "machine/cpu_stepper.h"
#include "machine/isa4.h"
#include "panels/logger.h"

namespace {

// One "Error: ..." line with the reason, SDL's unless given.
int start_up_failed(const char* reason = SDL_GetError()) {
    std::printf("Error: %s\n", reason);
    return -1;
}

bool is_set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// SDL's Wayland driver asks libwayland-client for a compositor, and that library prints
// a line of its own on standard error when XDG_RUNTIME_DIR is not an absolute path. With
// neither that nor WAYLAND_DISPLAY or WAYLAND_SOCKET no compositor can be reached, so SDL
// is left to try its other drivers, in its own order, and the start-up error line stays
// the only output. Drivers the user chose in SDL_VIDEODRIVER are left alone.
void skip_unreachable_wayland() {
    const char* runtime_dir = std::getenv("XDG_RUNTIME_DIR");
    if (is_set("SDL_VIDEODRIVER") || is_set("WAYLAND_DISPLAY") || is_set("WAYLAND_SOCKET") ||
        (runtime_dir != nullptr && runtime_dir[0] == '/'))
        return;
    std::string drivers;
    for (int k = 0; k < SDL_GetNumVideoDrivers(); ++k) {
        const char* driver = SDL_GetVideoDriver(k);
        if (driver == nullptr || SDL_strcasecmp(driver, "wayland") == 0) continue;
        if (!drivers.empty()) drivers += ',';
        drivers += driver;
    }
    SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
}

// Where it finds no display, SDL settles on a video driver that shows no window
// ("offscreen", "dummy" or "evdev") and reports success; the workbench would then run
// unseen. Unless SDL_VIDEODRIVER asked for the driver, that is a failed start: the reason
// in words, or "" when the driver shows windows or was chosen.
std::string no_display_reason() {
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool shows_windows = driver != nullptr && SDL_strcasecmp(driver, "offscreen") != 0 &&
                               SDL_strcasecmp(driver, "dummy") != 0 &&
                               SDL_strcasecmp(driver, "evdev") != 0;
    if (shows_windows || is_set("SDL_VIDEODRIVER")) return "";

    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool has_x11 = is_set("DISPLAY");
    const bool has_wayland = is_set("WAYLAND_DISPLAY");
    if (!has_x11 && !has_wayland)
        return "no display found: DISPLAY and WAYLAND_DISPLAY are not set";
    std::string reason = "no display found: cannot open";
    if (has_x11) reason += std::string(" X display ") + x11;
    if (has_x11 && has_wayland) reason += " or";
    if (has_wayland) reason += std::string(" Wayland display ") + wayland;
    return reason;
}

// How long a frame lasts on the display that holds the window: one refresh period, taken
// as 1/60 s where SDL does not know the rate.
std::chrono::duration<double> refresh_period(SDL_Window* window) {
    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(window);
    int hz = 0;
    if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0) hz = mode.refresh_rate;
    return std::chrono::duration<double>(1.0 / (hz > 0 ? hz : 60));
}

// Waits out what is left of one refresh period since `frame_start`. Where vertical sync
// paces the swap the frame has already taken the period, give or take the rounding of an
// integer refresh rate, so less than a millisecond left is not waited for; where nothing
// paces it (Xvfb, llvmpipe, many virtual machines and remote desktops) this keeps the
// loop from spinning.
void wait_out_frame(SDL_Window* window, std::chrono::steady_clock::time_point frame_start) {
    const auto left = refresh_period(window) - (std::chrono::steady_clock::now() - frame_start);
    if (left > std::chrono::milliseconds(1)) std::this_thread::sleep_for(left);
}

}  // namespace

int main(int, char**) {
    // --- SDL, the window and the OpenGL context ---
    skip_unreachable_wayland();
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER) != 0)
        return start_up_failed();
    if (const std::string reason = no_display_reason(); !reason.empty()) {
        const int status = start_up_failed(reason.c_str());
        SDL_Quit();
        return status;
    }

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
    ImGui::StyleColorsDark();
    seed_first_launch_layout();  // only where there is no imgui.ini yet
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
    const FrameBackends backends{ImGui_ImplOpenGL2_NewFrame, ImGui_ImplSDL2_NewFrame,
                                 ImGui_ImplOpenGL2_RenderDrawData};
    bool quit_requested = false;
    auto frame_start = std::chrono::steady_clock::now();
    while (!quit_requested) {
        quit_requested = run_frame(backends, window, shell, arch, log, cpu_stepper);
        wait_out_frame(window, frame_start);
        frame_start = std::chrono::steady_clock::now();
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
