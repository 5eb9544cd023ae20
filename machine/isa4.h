// Isa4: the whole state of the isa4 computer and the operations that change it as a
// machine. It knows nothing of windows, files or time: the panels read and write its
// public fields directly, the run controls call `step`, and the application owns the
// one instance for the whole run.
//
// A value-initialised machine (`Isa4 arch{}`) is all zeros. pc names the word executed
// last, so after `reset` (pc 255) the next step executes rom[0].
#pragma once

#include <cstdint>

#include "machine/checked_array.h"

class Isa4 {
public:
    using Rom = CheckedArray<std::uint32_t, 256>;  // instruction words in the low 20 bits
    using Ram = CheckedArray<std::uint8_t, 256>;
    using Registers = CheckedArray<std::uint8_t, 16>;

    Rom rom{};
    Ram ram{};
    Registers registers{};  // R0..RF
    std::uint8_t pc = 0;    // address of the word executed last
    bool z = false;         // zero flag: set by ADD and ADDI only

    // pc = 255; nothing else changes.
    void reset();

    // Executes the word at pc + 1. Returns false when it was a halting JZ (z set and
    // the target equal to the JZ's own address); pc then stays on the JZ, and a further
    // step goes on with the word after it. Returns true otherwise.
    bool step();

    void clear_rom();
    void clear_ram();

    friend bool operator==(const Isa4& a, const Isa4& b) {
        return a.rom == b.rom && a.ram == b.ram && a.registers == b.registers && a.pc == b.pc &&
               a.z == b.z;
    }
    friend bool operator!=(const Isa4& a, const Isa4& b) { return !(a == b); }
};
