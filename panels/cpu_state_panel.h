// The "CPU state" window: the architecture's name and edit fields for the machine's pc,
// zero flag and registers R1 to RF (R0 has no field). Each field is reloaded from the
// machine just before it is drawn and written back just after, so it always shows the
// machine's current value and an edit reaches the machine in the same frame.
#pragma once

#include <array>

class Isa4;

// The edit values that live from frame to frame.
struct CpuStatePanelState {
    int pc_edit = 0;
    std::array<int, 16> register_edit{};  // by register number; entry 0 unused
};

void draw_cpu_state_panel(Isa4& arch);
void draw_cpu_state_panel(Isa4& arch, CpuStatePanelState& state);
