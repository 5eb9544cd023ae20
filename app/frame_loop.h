// One pass of the frame loop, the same for every shell: the desktop's OpenGL 2 window and
// the browser's WebGL 2 canvas. Every pending SDL event goes to Dear ImGui's SDL2 backend,
// a frame is begun, the windows of `build_frame` are built, and the frame is cleared to
// the user's colour, drawn and presented. The shell names its renderer and how its
// platform begins a frame, and paces the passes itself (the desktop waits out the
// refresh period, the browser calls once per animation frame).
#pragma once

struct ImDrawData;
struct SDL_Window;
struct ShellState;
class CpuStepper;
class Isa4;
class Logger;

struct FrameBackends {
    void (*renderer_new_frame)();
    void (*platform_new_frame)();
    void (*render_draw_data)(ImDrawData* draw_data);
};

// Returns true when a quit request was among the events; the frame is built, drawn and
// presented in full all the same.
bool run_frame(const FrameBackends& backends, SDL_Window* window, ShellState& shell, Isa4& arch,
               Logger& log, CpuStepper& cpu_stepper);
