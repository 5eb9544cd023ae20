#include "machine/memory_text.h"

#include <cstdio>

void format_ram_row(char (&buf)[memory_line_size], const Isa4::Ram& ram, int row) {
    const int a = 16 * row;
    const auto cell = [&](int i) { return static_cast<unsigned>(ram[a + i]); };
    std::snprintf(buf, sizeof buf,
                  "%X  %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X "
                  "%02X %02X",
                  static_cast<unsigned>(a >> 4), cell(0), cell(1), cell(2), cell(3), cell(4),
                  cell(5), cell(6), cell(7), cell(8), cell(9), cell(10), cell(11), cell(12),
                  cell(13), cell(14), cell(15));
}

void format_rom_line(char (&buf)[memory_line_size], int address, std::uint32_t word) {
    std::snprintf(buf, sizeof buf, "%02X  %X %02X %02X", static_cast<unsigned>(address),
                  static_cast<unsigned>(word >> 16), static_cast<unsigned>((word >> 8) & 0xFF),
                  static_cast<unsigned>(word & 0xFF));
}
