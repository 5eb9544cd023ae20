// Small text files that name machine state: what a run must end with (`isa4 run
// --expect`) and what RAM holds before it (`isa4 ram`).
//
//   # after the count to five
//   pc = 0x0C
//   z  = 1                     0 or 1 (also false or true)
//   r1 = 5                     r0..rf
//   [0xA0] = 5                 one RAM cell
//   [0x10..0x13] = 1, 2, 3, 4  a range, one value per cell
//   [0x20..0x2F] = 0           a range, one value for every cell
//
// Values are numbers as in assembly sources (decimal, 0x hex, 0b binary, 'c'), 0..255.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "machine/isa4.h"
#include "text/source_text.h"

struct StateEntry {
    enum Target { pc, z, reg, ram } target = pc;
    unsigned first = 0;                // register number or first RAM address
    std::vector<std::uint8_t> values;  // one per register or cell (one for pc and z)
    int line = 0;
    int column = 0;
};

struct StateFile {
    std::vector<StateEntry> entries;
    std::vector<Diagnostic> diagnostics;
    bool ok() const { return diagnostics.empty(); }
};

StateFile parse_state_file(std::string_view text);

// Reads the one entry that starts where `scan` stands (after spaces) and runs to the end
// of its line into `file.entries`, or a diagnostic into `file.diagnostics`. Lets other
// files hold expectation lines behind a keyword of their own.
void parse_state_entry(LineScanner& scan, StateFile& file);

// One expectation the machine does not meet.
struct Mismatch {
    int line = 0;
    int column = 0;
    std::string what;  // "r1", "[A0]", "pc", "z"
    unsigned expected = 0;
    unsigned actual = 0;
    StateEntry::Target target = StateEntry::pc;
    unsigned index = 0;  // the register number or RAM address
};

struct CheckResult {
    std::vector<Mismatch> mismatches;  // the first `keep` of them, in the file's order
    int differing = 0;                 // every value that differs, kept or not
    int checked = 0;                   // single values compared (a range counts each cell)
};

// How many mismatches `isa4 run --expect` keeps and shows; the rest are counted.
inline constexpr std::size_t max_shown_mismatches = 100;

// Compares every value the file names; keeps the first `keep` mismatches, so that a file
// of many ranges costs no more memory than it has lines.
CheckResult check_state(const StateFile& expected, const Isa4& arch,
                        std::size_t keep = static_cast<std::size_t>(-1));

// "r1 is 03, expected 04": a mismatch in every message and report that shows one.
std::string mismatch_text(const Mismatch& m);

// Writes the RAM cells that the file names into `ram`; other cells are left alone.
// Returns a diagnostic for every entry that is not a RAM cell.
std::vector<Diagnostic> apply_ram_entries(const StateFile& file, Isa4::Ram& ram);
