// The "RAM view" window: a hex dump of the 256 RAM cells in 16 rows of 16; "Inc", "Dec"
// and "Poke" on one cell; the RAM image's file name with "Save RAM", "Load RAM"; and
// "Clear All". Needs the machine, and the message log, where a failed save or load is
// reported in one line. Successful saves and loads say nothing.
#pragma once

class Isa4;
class Logger;

struct RamPanelState {
    int ram_val = 0;             // the byte "Poke" writes, 0..255
    int ram_addr = 0;            // the cell "Inc", "Dec" and "Poke" act on, 0..255
    char ram_filename[40] = {};  // the RAM image's file name
};

// What "Poke", "Save RAM" and "Load RAM" do with the panel's values, for the window and
// for anything else that drives the same machine (the page's accessible view). Poke
// first wraps the cell and the byte into their ranges; a failed save or load is logged.
void poke_ram(Isa4& arch, RamPanelState& state);
bool save_ram(const Isa4& arch, Logger& log, const RamPanelState& state);  // true when done
bool load_ram(Isa4& arch, Logger& log, const RamPanelState& state);

// The state the frame loop's window keeps for the whole run.
RamPanelState& ram_panel_state();

// The frame loop's call: keeps the panel's state for the whole run.
void draw_ram_panel(Isa4& arch, Logger& log);
void draw_ram_panel(Isa4& arch, Logger& log, RamPanelState& state);
