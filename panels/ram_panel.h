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

// The frame loop's call: keeps the panel's state for the whole run.
void draw_ram_panel(Isa4& arch, Logger& log);
void draw_ram_panel(Isa4& arch, Logger& log, RamPanelState& state);
