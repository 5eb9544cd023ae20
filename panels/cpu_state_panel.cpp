#include "panels/cpu_state_panel.h"

#include <imgui.h>

#include <cstdint>

#include "machine/isa4.h"
#include "panels/hex_field.h"
#include "panels/range.h"

namespace {

// An 8-bit machine value through a hex edit field, wrapped into 0..255.
void byte_field(const char* label, int& edit, std::uint8_t& value) {
    edit = value;
    hex_field(label, &edit);
    edit = wrap_into(0, edit, 255);
    value = static_cast<std::uint8_t>(edit);
}

}  // namespace

void draw_cpu_state_panel(Isa4& arch) {
    static CpuStatePanelState state;
    draw_cpu_state_panel(arch, state);
}

void draw_cpu_state_panel(Isa4& arch, CpuStatePanelState& state) {
    ImGui::Begin("CPU state");
    ImGui::Text("Arch: %s", "isa4");

    byte_field("PC", state.pc_edit, arch.pc);
    ImGui::Checkbox("Z", &arch.z);

    static const char digits[] = "0123456789ABCDEF";
    for (int i = 1; i < 16; ++i) {
        const char buf[3] = {'R', digits[i], '\0'};
        byte_field(buf, state.register_edit[i], arch.registers[i]);
    }
    ImGui::End();
}
