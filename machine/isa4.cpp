#include "machine/isa4.h"

#include "machine/instruction.h"

void Isa4::reset() {
    pc = 255;
}

bool Isa4::step() {
    pc = static_cast<std::uint8_t>(pc + 1);
    const Instruction in = decode_word(rom[pc]);

    switch (in.opcode) {
        case op_add:
            registers[in.dst] = static_cast<std::uint8_t>(registers[in.lhs] + registers[in.rhs]);
            z = registers[in.dst] == 0;
            break;
        case op_addi:
            registers[in.dst] = static_cast<std::uint8_t>(registers[in.lhs] + in.imm);
            z = registers[in.dst] == 0;
            break;
        case op_jz:
            if (z) {
                if (in.imm == pc) return false;  // a jump onto itself: halt
                pc = static_cast<std::uint8_t>(in.imm);
            }
            break;
        // MOVE never writes R0.
        case op_move_rr:
            if (in.dst != 0) registers[in.dst] = registers[in.rhs];
            break;
        case op_move_mr: ram[in.daddr] = registers[in.rhs]; break;
        case op_move_rm:
            if (in.dst != 0) registers[in.dst] = ram[in.imm];
            break;
        case op_move_mm: ram[in.daddr] = ram[in.imm]; break;
        default:  // opcode 3 and 8..15 do nothing
            break;
    }
    return true;
}

void Isa4::clear_rom() {
    rom.fill(0);
}

void Isa4::clear_ram() {
    ram.fill(0);
}
