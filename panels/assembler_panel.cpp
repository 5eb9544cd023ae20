// The "(Diss)Assembler" window: the menus and fields of each form, the word they make,
// and the decoding of a typed word back into them. Needs Dear ImGui and the instruction
// word's fields and name tables; it never sees the machine.
#include "panels/assembler_panel.h"

#include <imgui.h>

#include <cstdint>
#include <optional>

#include "machine/instruction.h"
#include "panels/hex_field.h"
#include "panels/range.h"

namespace {

void register_menu(const char* label, int* sel) {
    ImGui::Combo(label, sel, regs, IM_ARRAYSIZE(regs));
}

// Brings an operand into its range, in place, and gives it as a field value.
std::uint32_t reg_value(int& sel) {
    sel = wrap_into(0, sel, 15);
    return static_cast<std::uint32_t>(sel);
}
std::uint32_t byte_value(int& arg) {
    arg = wrap_into(0, arg, 255);
    return static_cast<std::uint32_t>(arg);
}

// The "Type" menu and the widgets of the MOVE kind, then the instruction they make.
std::optional<Instruction> draw_move_operands(AssemblerPanelState& s) {
    ImGui::Combo("Type", &s.kind_sel, mv_opcodes, IM_ARRAYSIZE(mv_opcodes));
    Instruction in;
    switch (s.kind_sel) {
        case kind_rr:
            register_menu("dst", &s.dst_sel);
            register_menu("rhs", &s.rhs_sel);
            in.opcode = op_move_rr;
            in.dst = reg_value(s.dst_sel);
            in.rhs = reg_value(s.rhs_sel);
            return in;
        case kind_mr:
            hex_field("dst", &s.byte_arg);
            register_menu("rhs", &s.rhs_sel);
            in.opcode = op_move_mr;
            in.daddr = byte_value(s.byte_arg);
            in.rhs = reg_value(s.rhs_sel);
            return in;
        case kind_rm:
            register_menu("dst", &s.dst_sel);
            hex_field("rhs", &s.byte_arg);
            in.opcode = op_move_rm;
            in.dst = reg_value(s.dst_sel);
            in.imm = byte_value(s.byte_arg);
            return in;
        case kind_mm:
            hex_field("dst", &s.byte_arg);
            hex_field("rhs", &s.byte_arg2);
            in.opcode = op_move_mm;
            in.daddr = byte_value(s.byte_arg);
            in.imm = byte_value(s.byte_arg2);
            return in;
        default: return std::nullopt;
    }
}

// The operand widgets of the selected entry, each operand they show brought into range
// after all of them are drawn, then the instruction they make. "???" makes none.
std::optional<Instruction> draw_operands(AssemblerPanelState& s) {
    Instruction in;
    switch (s.opcode_sel) {
        case opcode_menu_add:
            register_menu("dst", &s.dst_sel);
            register_menu("lhs", &s.lhs_sel);
            register_menu("rhs", &s.rhs_sel);
            in.opcode = op_add;
            in.dst = reg_value(s.dst_sel);
            in.lhs = reg_value(s.lhs_sel);
            in.rhs = reg_value(s.rhs_sel);
            return in;
        case opcode_menu_addi:
            register_menu("dst", &s.dst_sel);
            register_menu("lhs", &s.lhs_sel);
            hex_field("imm", &s.byte_arg);
            in.opcode = op_addi;
            in.dst = reg_value(s.dst_sel);
            in.lhs = reg_value(s.lhs_sel);
            in.imm = byte_value(s.byte_arg);
            return in;
        case opcode_menu_jz:
            hex_field("addr", &s.byte_arg);
            in.opcode = op_jz;
            in.imm = byte_value(s.byte_arg);
            return in;
        case opcode_menu_move: return draw_move_operands(s);
        default: return std::nullopt;
    }
}

// Sets the menus and operands that the word's form uses and leaves the others alone.
// The word goes on show as typed; the next frame rebuilds it from the menus, which
// clears the bits its form does not use ("???" rebuilds nothing and keeps it whole).
void disassemble(AssemblerPanelState& s) {
    const Instruction in = decode_word(static_cast<std::uint32_t>(s.ic_input));
    const auto field = [](std::uint32_t value) { return static_cast<int>(value); };
    s.opcode_sel = opcode_menu_index(in.opcode);
    if (s.opcode_sel == opcode_menu_move) s.kind_sel = field(in.opcode - op_move);
    switch (in.opcode) {
        case op_add:
            s.dst_sel = field(in.dst);
            s.lhs_sel = field(in.lhs);
            s.rhs_sel = field(in.rhs);
            break;
        case op_addi:
            s.dst_sel = field(in.dst);
            s.lhs_sel = field(in.lhs);
            s.byte_arg = field(in.imm);
            break;
        case op_jz: s.byte_arg = field(in.imm); break;
        case op_move_rr:
            s.dst_sel = field(in.dst);
            s.rhs_sel = field(in.rhs);
            break;
        case op_move_mr:
            s.byte_arg = field(in.daddr);
            s.rhs_sel = field(in.rhs);
            break;
        case op_move_rm:
            s.dst_sel = field(in.dst);
            s.byte_arg = field(in.imm);
            break;
        case op_move_mm:
            s.byte_arg = field(in.daddr);
            s.byte_arg2 = field(in.imm);
            break;
        default:  // "???": no operands
            break;
    }
    s.ic = s.ic_input;
}

}  // namespace

void draw_assembler_panel(AssemblerPanelState& state) {
    ImGui::Begin("(Diss)Assembler");
    ImGui::Combo("opcode", &state.opcode_sel, opcodes, IM_ARRAYSIZE(opcodes));
    if (const auto in = draw_operands(state)) state.ic = static_cast<int>(encode_word(*in));
    // Drawn before the button acts: in the frame of a decode it still shows the old word.
    ImGui::Text("IC: %05X", static_cast<unsigned>(state.ic));
    hex_field("IC", &state.ic_input);
    state.ic_input = wrap_into(0, state.ic_input, static_cast<std::int32_t>(max_word));
    if (ImGui::Button("Dissassemble")) disassemble(state);
    ImGui::End();
}

void draw_assembler_panel() {
    static AssemblerPanelState state;
    draw_assembler_panel(state);
}
