#include "panels/ram_panel.h"

#include <imgui.h>

#include <cstdint>

#include "machine/image_file.h"
#include "machine/isa4.h"
#include "machine/memory_text.h"
#include "panels/hex_field.h"
#include "panels/logger.h"
#include "panels/range.h"

namespace {

void draw_dump(const Isa4& arch) {
    ImGui::TextUnformatted(ram_dump_header);
    char row_text[memory_line_size];
    for (int row = 0; row < 16; ++row) {
        format_ram_row(row_text, arch.ram, row);
        ImGui::TextUnformatted(row_text);
    }
}

bool report(Logger& log, const char* operation, const char* path, const FileResult& result) {
    if (!result) log.add(failure_message(operation, path, result));
    return static_cast<bool>(result);
}

}  // namespace

void poke_ram(Isa4& arch, RamPanelState& state) {
    state.ram_val = wrap_into(0, state.ram_val, 255);
    state.ram_addr = wrap_into(0, state.ram_addr, 255);
    arch.ram[state.ram_addr] = static_cast<std::uint8_t>(state.ram_val);
}

bool save_ram(const Isa4& arch, Logger& log, const RamPanelState& state) {
    return report(log, "Save RAM", state.ram_filename,
                  save_ram_image(state.ram_filename, arch.ram));
}

bool load_ram(Isa4& arch, Logger& log, const RamPanelState& state) {
    return report(log, "Load RAM", state.ram_filename,
                  load_ram_image(state.ram_filename, arch.ram));
}

RamPanelState& ram_panel_state() {
    static RamPanelState state;
    return state;
}

void draw_ram_panel(Isa4& arch, Logger& log) {
    draw_ram_panel(arch, log, ram_panel_state());
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
    if (ImGui::Button("Poke")) poke_ram(arch, state);

    ImGui::InputText("Filename", state.ram_filename, sizeof state.ram_filename);
    if (ImGui::Button("Save RAM")) save_ram(arch, log, state);
    ImGui::SameLine();
    if (ImGui::Button("Load RAM")) load_ram(arch, log, state);
    ImGui::SameLine();
    if (ImGui::Button("Clear All")) arch.clear_ram();

    ImGui::End();
}
