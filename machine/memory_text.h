// The text in which the workbench shows the machine's memories: the RAM dump and the
// lines of the ROM listing. The isa4 command prints them the same way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "machine/isa4.h"

// Above the dump: each column digit stands over the second digit of its cells.
inline constexpr const char ram_dump_header[] =
    "    0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F";

// Room for one row of the dump or one line of the listing and its terminating zero.
inline constexpr std::size_t memory_line_size = 64;

// Row `row` (0..15) of the dump: its high address digit, then its 16 cells in address
// order, "A  00 00 00 5A ... 00".
void format_ram_row(char (&buf)[memory_line_size], const Isa4::Ram& ram, int row);

// One line of the listing, the word split by bytes rather than by fields: the address,
// bits 23 and up (normally the opcode alone; two digits for a loaded word with bits
// 23..20 set), bits 15..8, bits 7..0. The word 1A2FF at 05 is "05  1 A2 FF".
void format_rom_line(char (&buf)[memory_line_size], int address, std::uint32_t word);
