// The two small example windows that stand beside the simulator: "Hello, world!" (the
// demo window and "Another Window" check boxes, a slider, the background colour and a
// counting button) and "Another Window".
#pragma once

#include <imgui.h>

// What the application shell keeps for its own windows from frame to frame.
struct ShellState {
    bool show_demo_window = true;
    bool show_another_window = false;
    ImVec4 clear_color{0.45f, 0.55f, 0.60f, 1.00f};  // background behind all windows
};

// Values of the "Hello, world!" window that live from frame to frame.
struct HelloWindowState {
    float slider_value = 0.0f;  // edited by "float"; nothing else reads it
    int counter = 0;            // presses of "Button"
};

void draw_hello_window(ShellState& shell);
void draw_hello_window(ShellState& shell, HelloWindowState& state);

// Drawn only while `shell.show_another_window` is set; its close button and "Close Me"
// clear the flag.
void draw_another_window(ShellState& shell);
