#include "web/twin.h"

#include <cstring>
#include <string_view>

#include "headless/runner.h"
#include "machine/instruction.h"
#include "panels/logger.h"
#include "panels/ram_panel.h"
#include "panels/rom_panel.h"
#include "panels/run_control_panel.h"
#include "text/message.h"
#include "toolchain/disassembler.h"

namespace {

std::string hex2(unsigned v) {
    return printf_text("%02X", v & 0xFF);
}

// One part of a trace line's effect as a sentence: "r1 04 -> 05" reads "r1 04 to 05";
// z gives its new value only ("z 0 -> 1" reads "z 1").
std::string sentence(std::string part) {
    for (std::size_t at; (at = part.find(" -> ")) != std::string::npos;)
        part.replace(at, 4, " to ");
    if (part.rfind("z ", 0) == 0 && part.size() == 8) part = "z " + part.substr(7);
    return part + ".";
}

template <typename Values>
std::string numbers(const Values& values) {
    std::string out = "[";
    for (const auto v : values) out += (out.size() > 1 ? "," : "") + std::to_string(v);
    return out + "]";
}

}  // namespace

std::string step_announcement(const Isa4& before, const Isa4& after, bool go_on) {
    const auto address = static_cast<std::uint8_t>(before.pc + 1);
    std::string text =
        "Step: " + executed_text(before.rom[address], address) + " at " + hex2(address) + ".";
    const std::string effect = step_effect(before, after, go_on);
    std::size_t from = 0;
    while (from <= effect.size()) {
        std::size_t to = effect.find(", ", from);
        if (to == std::string::npos) to = effect.size();
        text += " " + sentence(effect.substr(from, to - from));
        from = to + 2;
    }
    return text;
}

bool halted(const Isa4& arch) {
    const Instruction in = decode_word(arch.rom[arch.pc]);
    return arch.z && in.opcode == op_jz && in.imm == arch.pc;
}

std::string twin_view_json(const Isa4& arch, const Logger& log, const RunControlPanelState& run,
                           const RomPanelState& rom, const RamPanelState& ram) {
    const auto next = static_cast<std::uint8_t>(arch.pc + 1);
    std::string out = "{\"pc\":" + std::to_string(arch.pc) + ",\"z\":" + (arch.z ? "1" : "0");
    out += ",\"r\":" + numbers(arch.registers) + ",\"ram\":" + numbers(arch.ram);
    out += ",\"next\":{\"address\":" + std::to_string(next) +
           ",\"word\":" + std::to_string(arch.rom[next]) +
           ",\"text\":" + json_text(executed_text(arch.rom[next], next)) + "}";
    out += std::string(",\"halted\":") + (halted(arch) ? "true" : "false");
    out += std::string(",\"running\":") + (run.running ? "true" : "false");
    out += ",\"clocks\":" + std::to_string(run.clocks);
    out += ",\"romFile\":" + json_text(rom.rom_filename);
    out += ",\"ramFile\":" + json_text(ram.ram_filename);
    out += ",\"romAddr\":" + std::to_string(rom.rom_addr) +
           ",\"romVal\":" + std::to_string(rom.rom_val);
    out += ",\"ramAddr\":" + std::to_string(ram.ram_addr) +
           ",\"ramVal\":" + std::to_string(ram.ram_val);
    out += ",\"log\":[";
    for (std::size_t i = 0; i < log.messages.size(); ++i)
        out += (i == 0 ? "" : ",") + json_text(printable(log.messages[i]));
    return out + "]}";
}

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#include <imgui.h>

namespace {

Isa4* machine = nullptr;
Logger* messages = nullptr;

// A text for the page: valid until the next call.
const char* page_text(std::string text) {
    static std::string kept;
    kept = std::move(text);
    return kept.c_str();
}

void set_name(char* field, std::size_t size, const char* name) {
    std::strncpy(field, name, size - 1);
    field[size - 1] = '\0';
}

}  // namespace

void attach_twin(Isa4& arch, Logger& log) {
    machine = &arch;
    messages = &log;
}

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* kelvane_twin_view() {
    return page_text(twin_view_json(*machine, *messages, run_control_state(), rom_panel_state(),
                                    ram_panel_state()));
}

// "Step": the announcement of what it did.
EMSCRIPTEN_KEEPALIVE const char* kelvane_twin_step() {
    const Isa4 before = *machine;
    Isa4 after = before;
    const bool go_on = after.step();
    step_cpu(*machine, run_control_state());
    return page_text(step_announcement(before, after, go_on));
}

EMSCRIPTEN_KEEPALIVE void kelvane_twin_run() {
    toggle_run(run_control_state());
}

EMSCRIPTEN_KEEPALIVE void kelvane_twin_reset() {
    reset_cpu(*machine, *messages);
}

EMSCRIPTEN_KEEPALIVE void kelvane_twin_clocks(int clocks) {
    set_clocks(run_control_state(), clocks);
}

// `memory` 0 is the ROM, 1 the RAM; `action` "name" (with `name`), "load", "save",
// "clear". 0 when a load or save failed, and the log says why.
EMSCRIPTEN_KEEPALIVE int kelvane_twin_file(int memory, const char* action, const char* name) {
    const std::string_view what = action;
    RomPanelState& rom = rom_panel_state();
    RamPanelState& ram = ram_panel_state();
    if (what == "name") {
        if (memory == 0)
            set_name(rom.rom_filename, sizeof rom.rom_filename, name);
        else
            set_name(ram.ram_filename, sizeof ram.ram_filename, name);
    } else if (what == "load") {
        return memory == 0 ? load_rom(*machine, *messages, rom)
                           : load_ram(*machine, *messages, ram);
    } else if (what == "save") {
        return memory == 0 ? save_rom(*machine, *messages, rom)
                           : save_ram(*machine, *messages, ram);
    } else if (what == "clear") {
        memory == 0 ? machine->clear_rom() : machine->clear_ram();
    }
    return 1;
}

// "Poke": `value` into ROM address or RAM cell `address`, through the window's fields.
EMSCRIPTEN_KEEPALIVE void kelvane_twin_poke(int memory, int address, int value) {
    if (memory == 0) {
        RomPanelState& rom = rom_panel_state();
        rom.rom_addr = address;
        rom.rom_val = value;
        poke_rom(*machine, rom);
    } else {
        RamPanelState& ram = ram_panel_state();
        ram.ram_addr = address;
        ram.ram_val = value;
        poke_ram(*machine, ram);
    }
}

EMSCRIPTEN_KEEPALIVE void kelvane_twin_clear_log() {
    messages->clear();
}

// Whether a text field of the workbench is being edited, and so takes Tab.
EMSCRIPTEN_KEEPALIVE int kelvane_wants_text() {
    return ImGui::GetCurrentContext() != nullptr && ImGui::GetIO().WantTextInput ? 1 : 0;
}
}
#endif
