// The windows of one frame, in the order the user sees them act: the Dear ImGui demo
// window and the example windows, then the simulator windows. An edit made in an
// earlier window shows in the later windows of the same frame; what the run controls
// do to the machine shows in the windows before them from the next frame on.
//
// Call between ImGui::NewFrame() and ImGui::Render().
#pragma once

#include "app/example_windows.h"

class CpuStepper;
class Isa4;
class Logger;

void build_frame(ShellState& shell, Isa4& arch, Logger& log, CpuStepper& cpu_stepper);
