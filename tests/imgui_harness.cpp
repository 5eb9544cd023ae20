#include "tests/imgui_harness.h"

#include <imgui_internal.h>

#include <cassert>

ImGuiHarness::ImGuiHarness() {
    IMGUI_CHECKVERSION();
    assert(ImGui::GetCurrentContext() == nullptr);
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(1280, 720);
    io.DeltaTime = 1.0f / 60.0f;
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    for (int key = 0; key < ImGuiKey_COUNT; ++key) io.KeyMap[key] = key;
    io.SetClipboardTextFn = &ImGuiHarness::capture_clipboard;
    io.ClipboardUserData = this;
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
}

ImGuiHarness::~ImGuiHarness() {
    ImGui::DestroyContext();
}

void ImGuiHarness::frame(const Frame& build) {
    ImGui::NewFrame();
    build();
    ImGui::Render();
}

void ImGuiHarness::frames(int count, const Frame& build) {
    for (int i = 0; i < count; ++i) frame(build);
}

ImGuiID ImGuiHarness::id(const char* window, const char* label) const {
    ImGuiWindow* w = ImGui::FindWindowByName(window);
    assert(w != nullptr && "window not built yet");
    return w->GetID(label);
}

ImGuiID ImGuiHarness::minus_of(ImGuiID field) {
    return ImHashStr("-", 0, field);
}
ImGuiID ImGuiHarness::plus_of(ImGuiID field) {
    return ImHashStr("+", 0, field);
}

void ImGuiHarness::press(ImGuiID item, const Frame& build) {
    ImGui::ActivateItem(item);
    frame(build);
}

void ImGuiHarness::press(const char* window, const char* label, const Frame& build) {
    press(id(window, label), build);
}

void ImGuiHarness::type(ImGuiID field, const char* text, const Frame& build) {
    ImGui::ActivateItem(field);
    GImGui->NavNextActivateFlags = ImGuiActivateFlags_PreferInput;
    frame(build);
    ImGui::GetIO().AddInputCharactersUTF8(text);
    frame(build);
    press_key(ImGuiKey_Enter, build);
}

void ImGuiHarness::type(const char* window, const char* label, const char* text,
                        const Frame& build) {
    type(id(window, label), text, build);
}

void ImGuiHarness::pick(ImGuiID combo, int index, const char* item, const Frame& build) {
    ImGui::ActivateItem(combo);
    frames(2, build);
    ImGuiWindow* popup = ImGui::FindWindowByName("##Combo_00");
    assert(popup != nullptr && "combo did not open");
    // An entry below the popup's visible height is clipped and cannot be activated, so
    // the list is first scrolled to it, as a user would scroll before clicking.
    ImGui::SetScrollY(popup, static_cast<float>(index) * ImGui::GetTextLineHeightWithSpacing());
    ImGui::ActivateItem(ImHashStr(item, 0, ImHashData(&index, sizeof(int), popup->ID)));
    frames(2, build);
}

std::string ImGuiHarness::text_of(const Frame& build) {
    captured_.clear();
    ImGui::NewFrame();
    ImGui::LogToClipboard();
    build();
    ImGui::Render();
    return captured_;
}

void ImGuiHarness::capture_next_window() {
    ImGui::LogToClipboard();
}

void ImGuiHarness::press_key(ImGuiKey key, const Frame& build) {
    ImGuiIO& io = ImGui::GetIO();
    io.KeysDown[io.KeyMap[key]] = true;
    frame(build);
    io.KeysDown[io.KeyMap[key]] = false;
    frame(build);
}

void ImGuiHarness::capture_clipboard(void* user, const char* text) {
    static_cast<ImGuiHarness*>(user)->captured_ += text;
}
