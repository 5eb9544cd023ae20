#include "panels/rom_panel.h"

#include <imgui.h>

#include <cstdint>

#include "machine/image_file.h"
#include "machine/instruction.h"
#include "machine/isa4.h"
#include "machine/memory_text.h"
#include "panels/hex_field.h"
#include "panels/logger.h"
#include "panels/range.h"

namespace {

constexpr float listing_height = 200.0f;
const ImVec4 next_word_colour(1.0f, 1.0f, 0.0f, 1.0f);

// Every word, the next one to execute in yellow.
void draw_listing(const Isa4& arch, bool track_pc) {
    const int next = (arch.pc + 1) % 256;
    char line[memory_line_size];
    for (int j = 0; j < 256; ++j) {
        format_rom_line(line, j, arch.rom[j]);
        if (j == next) {
            ImGui::TextColored(next_word_colour, "%s", line);
            if (track_pc) ImGui::SetScrollHereY(0.5f);
        } else {
            ImGui::TextUnformatted(line);
        }
    }
}

bool report(Logger& log, const char* operation, const char* path, const FileResult& result) {
    if (!result) log.add(failure_message(operation, path, result));
    return static_cast<bool>(result);
}

}  // namespace

void poke_rom(Isa4& arch, RomPanelState& state) {
    state.rom_val = wrap_into(0, state.rom_val, static_cast<std::int32_t>(max_word));
    state.rom_addr = wrap_into(0, state.rom_addr, 255);
    arch.rom[state.rom_addr] = static_cast<std::uint32_t>(state.rom_val);
}

bool save_rom(const Isa4& arch, Logger& log, const RomPanelState& state) {
    return report(log, "Save ROM", state.rom_filename,
                  save_rom_image(state.rom_filename, arch.rom));
}

bool load_rom(Isa4& arch, Logger& log, const RomPanelState& state) {
    return report(log, "Load ROM", state.rom_filename,
                  load_rom_image(state.rom_filename, arch.rom));
}

RomPanelState& rom_panel_state() {
    static RomPanelState state;
    return state;
}

void draw_rom_panel(Isa4& arch, Logger& log) {
    draw_rom_panel(arch, log, rom_panel_state());
}

void draw_rom_panel(Isa4& arch, Logger& log, RomPanelState& state) {
    ImGui::Begin("Program ROM view");

    ImGui::Text("PC: %02X", static_cast<unsigned>(arch.pc));
    ImGui::SameLine();
    ImGui::Checkbox("Track PC+1", &state.track_pc);

    float width = ImGui::GetContentRegionAvail().x;
    if (width < 1.0f) width = 1.0f;
    if (ImGui::BeginChild(ImGui::GetID(static_cast<const void*>(nullptr)),
                          ImVec2(width, listing_height), true, 0)) {
        draw_listing(arch, state.track_pc);
    }
    ImGui::EndChild();

    ImGui::Checkbox("Sync with PC+1", &state.sync_pc);
    hex_field("val", &state.rom_val);
    if (state.sync_pc) {
        // 256 after a reset: the wrap below makes it 0.
        state.rom_addr = arch.pc + 1;
    } else {
        hex_field("addr", &state.rom_addr);
    }
    state.rom_val = wrap_into(0, state.rom_val, static_cast<std::int32_t>(max_word));
    state.rom_addr = wrap_into(0, state.rom_addr, 255);

    if (ImGui::Button("Poke")) poke_rom(arch, state);

    ImGui::InputText("Filename", state.rom_filename, sizeof state.rom_filename);
    if (ImGui::Button("Save ROM")) save_rom(arch, log, state);
    ImGui::SameLine();
    if (ImGui::Button("Load ROM")) load_rom(arch, log, state);
    ImGui::SameLine();
    if (ImGui::Button("Clear All")) arch.clear_rom();

    ImGui::End();
}
