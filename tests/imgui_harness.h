// A headless Dear ImGui for panel tests: a context with no platform or renderer
// backend, driven frame by frame with the real panel functions.
//
// Usage:
//   ImGuiHarness ui;
//   auto frame = [&] { draw_logger_panel(log); };
//   ui.frame(frame);                                  // lays the window out
//   ui.press("Logger", "Clear All", frame);           // a button, as a click would
//   std::string text = ui.text_of(frame);             // what the windows show
//
// Widgets are reached by ID, as Dear ImGui's own navigation reaches them: a press is
// ImGui::ActivateItem and a frame; typing activates the field for text input, sends the
// characters and presses Enter. Only one harness may exist at a time.
#pragma once

#include <imgui.h>

#include <functional>
#include <string>

class ImGuiHarness {
public:
    using Frame = std::function<void()>;

    ImGuiHarness();
    ~ImGuiHarness();
    ImGuiHarness(const ImGuiHarness&) = delete;
    ImGuiHarness& operator=(const ImGuiHarness&) = delete;

    // One whole frame: NewFrame, the windows, Render.
    void frame(const Frame& build);
    void frames(int count, const Frame& build);

    // The ID of a widget labelled `label` directly inside the window titled `window`
    // (the window must have been built in an earlier frame).
    ImGuiID id(const char* window, const char* label) const;
    // The minus and plus buttons of an InputInt field.
    static ImGuiID minus_of(ImGuiID field);
    static ImGuiID plus_of(ImGuiID field);

    // Activates a button or check box and runs one frame in which it acts.
    void press(ImGuiID item, const Frame& build);
    void press(const char* window, const char* label, const Frame& build);

    // Types `text` into a text or number field, replacing what it held, and presses
    // Enter; four frames in all. `text` reaches the field in the second frame.
    void type(ImGuiID field, const char* text, const Frame& build);
    void type(const char* window, const char* label, const char* text, const Frame& build);

    // Opens the combo, scrolls its list to the entry `item` at `index` and picks it;
    // four frames in all.
    void pick(ImGuiID combo, int index, const char* item, const Frame& build);

    // Runs one frame and returns the text that the first window built in it shows, as
    // Dear ImGui logs it: one line per item, items placed with SameLine on one line.
    // A window's End() ends the capture; to read a later window as well, call
    // capture_next_window() inside `build` just before that window.
    std::string text_of(const Frame& build);
    static void capture_next_window();

    // Key presses through io.KeysDown: held for one frame, then released for one.
    void press_key(ImGuiKey key, const Frame& build);

private:
    static void capture_clipboard(void* user, const char* text);
    std::string captured_;
};
