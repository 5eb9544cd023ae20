// The "Program ROM view" window: the listing of all 256 ROM words with the next word to
// execute (pc + 1) highlighted and, while "Track PC+1" is set, held in the middle of the
// listing; "Poke" to overwrite one word; the ROM image's file name with "Save ROM",
// "Load ROM"; and "Clear All". Needs the machine, and the message log, where a failed
// save or load is reported in one line. Successful saves and loads say nothing.
#pragma once

class Isa4;
class Logger;

struct RomPanelState {
    bool track_pc = true;        // "Track PC+1": keep the highlighted line in view
    bool sync_pc = false;        // "Sync with PC+1": the poke address follows pc + 1
    int rom_val = 0;             // the word "Poke" writes, 0..0xFFFFF
    int rom_addr = 0;            // the address "Poke" writes, 0..255
    char rom_filename[40] = {};  // the ROM image's file name
};

// What "Poke", "Save ROM" and "Load ROM" do with the panel's values, for the window and
// for anything else that drives the same machine (the page's accessible view). Poke
// first wraps the address and the word into their ranges; a failed save or load is
// logged.
void poke_rom(Isa4& arch, RomPanelState& state);
bool save_rom(const Isa4& arch, Logger& log, const RomPanelState& state);  // true when done
bool load_rom(Isa4& arch, Logger& log, const RomPanelState& state);

// The state the frame loop's window keeps for the whole run.
RomPanelState& rom_panel_state();

// The frame loop's call: keeps the panel's state for the whole run.
void draw_rom_panel(Isa4& arch, Logger& log);
void draw_rom_panel(Isa4& arch, Logger& log, RomPanelState& state);
