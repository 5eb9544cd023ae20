#include "panels/hex_field.h"

#include <imgui.h>

bool hex_field(const char* label, int* value) {
    return ImGui::InputInt(
        label, value, 1, 100,
        ImGuiInputTextFlags_CharsHexadecimal | ImGuiInputTextFlags_CharsUppercase);
}
