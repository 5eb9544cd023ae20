// The "(Diss)Assembler" window: composes one instruction word from menus and hex fields
// and shows it as "IC: %05X"; "Dissassemble" decodes a typed word back into the menus.
//
// The panel has no path into the machine: a composed word reaches the ROM only when the
// user types it into the ROM panel's "val" field and presses "Poke". Encoding and
// decoding go through machine/instruction.h.
//
// Usage:
//   draw_assembler_panel();          // each frame, with the panel's own static state
//   AssemblerPanelState state;            // tests: a fresh state of their own
//   draw_assembler_panel(state);
#pragma once

// The operand values are shared between mnemonics, one per role, so they carry across a
// change of opcode or MOVE kind: an ADDI immediate becomes the JZ address.
struct AssemblerPanelState {
    int opcode_sel = 0;  // entry of `opcodes`: ADD, ADDI, JZ, MOVE, ???
    int kind_sel = 0;    // entry of `mv_opcodes`: RR, MR, RM, MM
    int dst_sel = 0;     // destination register, 0..15
    int lhs_sel = 0;     // left source register, 0..15
    int rhs_sel = 0;     // right or only source register, 0..15
    int byte_arg = 0;    // ADDI imm, JZ addr, MOVE destination address or RM source address
    int byte_arg2 = 0;   // MOVE MM source address
    int ic = 0;          // the word on show, 0..0xFFFFF
    int ic_input = 0;    // the word to decode, 0..0xFFFFF
};

void draw_assembler_panel();
void draw_assembler_panel(AssemblerPanelState& state);
