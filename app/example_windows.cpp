#include "app/example_windows.h"

void draw_hello_window(ShellState& shell) {
    static HelloWindowState state;
    draw_hello_window(shell, state);
}

void draw_hello_window(ShellState& shell, HelloWindowState& state) {
    ImGui::Begin("Hello, world!");
    ImGui::Text("This is some useful text.");
    ImGui::Checkbox("Demo Window", &shell.show_demo_window);
    ImGui::Checkbox("Another Window", &shell.show_another_window);
    ImGui::SliderFloat("float", &state.slider_value, 0.0f, 1.0f, "%.3f", 0);
    ImGui::ColorEdit3("clear color", &shell.clear_color.x);
    if (ImGui::Button("Button")) state.counter++;
    ImGui::SameLine();
    ImGui::Text("counter = %d", state.counter);
    const float framerate = ImGui::GetIO().Framerate;
    ImGui::Text("Application average %.3f ms/frame (%.1f FPS)", 1000.0f / framerate, framerate);
    ImGui::End();
}

void draw_another_window(ShellState& shell) {
    if (!shell.show_another_window) return;
    ImGui::Begin("Another Window", &shell.show_another_window);
    ImGui::Text("Hello from another window!");
    if (ImGui::Button("Close Me")) shell.show_another_window = false;
    ImGui::End();
}
