// The isa4 instruction word: 20 significant bits in the low end of a 32-bit ROM word.
//
//   bit 19    16 15    12 11     8 7      4 3      0
//      | opcode |  dst   |  lhs   |      imm        |
//               |      daddr      |        |  rhs   |
//
// The fields overlap: daddr covers dst and lhs, rhs is the low nibble of imm. Which of
// them a word uses depends on its opcode (see `fields_used`); the rest are ignored when
// the word executes, and are 0 in every word that `encode_word` builds.
//
// This header is the one place that knows where the fields lie and what the menus call
// them. The machine's step, the ROM listing, the assembler panel and the command-line
// tools all go through it.
#pragma once

#include <cstdint>

// One field of the word: `width` bits starting at bit `shift`.
struct WordField {
    unsigned shift;
    unsigned width;

    constexpr std::uint32_t mask() const { return (std::uint32_t{1} << width) - 1; }
    constexpr std::uint32_t get(std::uint32_t word) const { return (word >> shift) & mask(); }
    // The value cut to the field's width and moved into place.
    constexpr std::uint32_t put(std::uint32_t value) const { return (value & mask()) << shift; }
};

inline constexpr WordField opcode_field{16, 4};
inline constexpr WordField dst_field{12, 4};
inline constexpr WordField lhs_field{8, 4};
inline constexpr WordField daddr_field{8, 8};
inline constexpr WordField imm_field{0, 8};
inline constexpr WordField rhs_field{0, 4};

// The largest word an edit field accepts.
inline constexpr std::uint32_t max_word = 0xFFFFF;

// Opcode values. MOVE is one mnemonic with four kinds: its opcode is op_move + kind.
// Opcode 3 and opcodes 8 to 15 are no-operations.
enum Opcode : std::uint32_t {
    op_add = 0,
    op_addi = 1,
    op_jz = 2,
    op_move = 4,
    op_move_rr = 4,
    op_move_mr = 5,
    op_move_rm = 6,
    op_move_mm = 7,
};

// MOVE kinds: the first letter names the destination, the second the source
// (R a register, M a RAM cell).
enum MoveKind : std::uint32_t { kind_rr = 0, kind_mr = 1, kind_rm = 2, kind_mm = 3 };

// Every field of a word, whether or not its opcode uses it.
struct Instruction {
    std::uint32_t opcode = 0;
    std::uint32_t dst = 0;
    std::uint32_t lhs = 0;
    std::uint32_t daddr = 0;
    std::uint32_t imm = 0;
    std::uint32_t rhs = 0;
};

// Bits above 19 play no part: the opcode is bits 19..16 alone.
constexpr Instruction decode_word(std::uint32_t word) {
    Instruction in;
    in.opcode = opcode_field.get(word);
    in.dst = dst_field.get(word);
    in.lhs = lhs_field.get(word);
    in.daddr = daddr_field.get(word);
    in.imm = imm_field.get(word);
    in.rhs = rhs_field.get(word);
    return in;
}

// The operand fields that each form uses, as a set of bits.
enum FieldUse : unsigned {
    uses_dst = 1u << 0,
    uses_lhs = 1u << 1,
    uses_daddr = 1u << 2,
    uses_imm = 1u << 3,
    uses_rhs = 1u << 4,
};

// The instruction set: one entry per opcode that does something, with its mnemonic and
// the operand fields its form uses. Every list of instructions (the reserved names, the
// assembler's and the disassembler's mnemonics, the assembler panel's menus) is this one;
// an opcode missing here (3, 8..15) is a no-operation.
struct InstructionForm {
    std::uint32_t opcode;
    const char* mnemonic;
    unsigned fields;  // FieldUse bits
};

inline constexpr InstructionForm instruction_forms[] = {
    {op_add, "ADD", uses_dst | uses_lhs | uses_rhs},
    {op_addi, "ADDI", uses_dst | uses_lhs | uses_imm},
    {op_jz, "JZ", uses_imm},
    {op_move_rr, "MOVE", uses_dst | uses_rhs},
    {op_move_mr, "MOVE", uses_daddr | uses_rhs},
    {op_move_rm, "MOVE", uses_dst | uses_imm},
    {op_move_mm, "MOVE", uses_daddr | uses_imm},
};

// The form of `opcode`, or nullptr for a no-operation.
constexpr const InstructionForm* instruction_form(std::uint32_t opcode) {
    for (const InstructionForm& form : instruction_forms)
        if (form.opcode == opcode) return &form;
    return nullptr;
}

constexpr unsigned fields_used(std::uint32_t opcode) {
    const InstructionForm* form = instruction_form(opcode);
    return form != nullptr ? form->fields : 0;
}

// The word for `in.opcode` with the fields its form uses, each cut to its width;
// every other bit is 0. An opcode without a form gives the opcode alone.
constexpr std::uint32_t encode_word(const Instruction& in) {
    const unsigned used = fields_used(in.opcode);
    std::uint32_t word = opcode_field.put(in.opcode);
    if (used & uses_dst) word |= dst_field.put(in.dst);
    if (used & uses_lhs) word |= lhs_field.put(in.lhs);
    if (used & uses_daddr) word |= daddr_field.put(in.daddr);
    if (used & uses_imm) word |= imm_field.put(in.imm);
    if (used & uses_rhs) word |= rhs_field.put(in.rhs);
    return word;
}

// The names the menus show. The index of `opcodes` is a menu index, not an opcode
// value: see `opcode_menu_index`.
inline constexpr const char* opcodes[] = {"ADD", "ADDI", "JZ", "MOVE", "???"};
inline constexpr const char* mv_opcodes[] = {"RR", "MR", "RM", "MM"};
inline constexpr const char* regs[] = {"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7",
                                       "r8", "r9", "ra", "rb", "rc", "rd", "re", "rf"};

inline constexpr int opcode_menu_add = 0;
inline constexpr int opcode_menu_addi = 1;
inline constexpr int opcode_menu_jz = 2;
inline constexpr int opcode_menu_move = 3;
inline constexpr int opcode_menu_none = 4;

namespace instruction_detail {
constexpr bool same_text(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) ++a, ++b;
    return *a == *b;
}
}  // namespace instruction_detail

// The menu names are the table's mnemonics, in opcode order.
static_assert(instruction_detail::same_text(opcodes[opcode_menu_add],
                                            instruction_forms[0].mnemonic));
static_assert(instruction_detail::same_text(opcodes[opcode_menu_addi],
                                            instruction_forms[1].mnemonic));
static_assert(instruction_detail::same_text(opcodes[opcode_menu_jz],
                                            instruction_forms[2].mnemonic));
static_assert(instruction_detail::same_text(opcodes[opcode_menu_move],
                                            instruction_forms[3].mnemonic));

// ADD, ADDI and JZ stand at their own opcode; the four MOVE opcodes share one entry;
// 3 and 8..15 are "???".
constexpr int opcode_menu_index(std::uint32_t opcode) {
    if (opcode <= op_jz) return static_cast<int>(opcode);
    if (opcode >= op_move && opcode <= op_move_mm) return opcode_menu_move;
    return opcode_menu_none;
}
