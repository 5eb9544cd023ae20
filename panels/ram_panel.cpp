#include "panels/ram_panel.h"

#include <imgui.h>

#include <cstdint>

#include "machine/image_file.h"
#include "machine/isa4.h"
#include "panels/hex_field.h"
#include "panels/logger.h"
#include "panels/range.h"

namespace {

// Sixteen rows of sixteen cells; each column digit of the header stands over the second
// digit of its cells.
void draw_dump(const Isa4& arch) {
    ImGui::Text("    0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F");
    for (int r = 0; r < 16; ++r) {
        const int a = 16 * r;
        auto cell = [&](int i) { return static_cast<unsigned>(arch.ram[a + i]); };
        ImGui::Text(
            "%X  %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X "
            "%02X",
            static_cast<unsigned>(a >> 4), cell(0), cell(1), cell(2), cell(3), cell(4), cell(5),
            cell(6), cell(7), cell(8), cell(9), cell(10), cell(11), cell(12), cell(13), cell(14),
            cell(15));
    }
}

void report(Logger& log, const char* operation, const char* path, const FileResult& result) {
    if (!result) log.add(failure_message(operation, path, result));
}

}  // namespace

void draw_ram_panel(Isa4& arch, Logger& log) {
    static RamPanelState state;
    draw_ram_panel(arch, log, state);
}

void draw_ram_panel(Isa4& arch, Logger& log, RamPanelState& state) {
    ImGui::Begin("RAM view");

    draw_dump(arch);

    hex_field("val", &state.ram_val);
    hex_field("addr", &state.ram_addr);
    state.ram_val = wrap_into(0, state.ram_val, 255);
    state.ram_addr = wrap_into(0, state.ram_addr, 255);

    std::uint8_t& cell = arch.ram[state.ram_addr];
    if (ImGui::Button("Inc")) cell = static_cast<std::uint8_t>(cell + 1);
    ImGui::SameLine();
    if (ImGui::Button("Dec")) cell = static_cast<std::uint8_t>(cell - 1);
    ImGui::SameLine();
    if (ImGui::Button("Poke")) cell = static_cast<std::uint8_t>(state.ram_val);

    ImGui::InputText("Filename", state.ram_filename, sizeof state.ram_filename);
    if (ImGui::Button("Save RAM")) {
        report(log, "Save RAM", state.ram_filename, save_ram_image(state.ram_filename, arch.ram));
    }
    ImGui::SameLine();
    if (ImGui::Button("Load RAM")) {
        report(log, "Load RAM", state.ram_filename, load_ram_image(state.ram_filename, arch.ram));
    }
    ImGui::SameLine();
    if (ImGui::Button("Clear All")) arch.clear_ram();

    ImGui::End();
}
