#include "toolchain/disassembler.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "machine/instruction.h"
#include "text/message.h"

namespace {

std::string reg(unsigned n) {
    return regs[n & 0xF];
}

// A RAM address, by a constant's name when `symbols` has one of that value.
std::string ram_address(unsigned address, const SymbolTable* symbols) {
    if (symbols != nullptr)
        if (const NamedValue* n = symbols->constant_of(address)) return "[" + n->name + "]";
    return printf_text("[0x%02X]", address);
}

// A JZ operand at `address`, by label where one fits: `JZ name` stores name - 1, and
// `JZ @name` stores the name's own address (the way to write a halting JZ).
std::string jz_operand(unsigned imm, unsigned address, const SymbolTable* symbols) {
    if (symbols != nullptr) {
        const NamedValue* at = symbols->label_at(imm);
        const NamedValue* next = symbols->label_at((imm + 1) & 0xFF);
        if (at != nullptr && (imm == address || next == nullptr)) return "@" + at->name;
        if (next != nullptr) return next->name;
    }
    return printf_text("0x%02X", imm);
}

// The operands of a word of the form `in.opcode`, as the assembler reads them.
std::string operands_of(const Instruction& in, unsigned address, const SymbolTable* symbols) {
    switch (in.opcode) {
        case op_add: return reg(in.dst) + ", " + reg(in.lhs) + ", " + reg(in.rhs);
        case op_addi: return reg(in.dst) + ", " + reg(in.lhs) + printf_text(", 0x%02X", in.imm);
        case op_jz: return jz_operand(in.imm, address, symbols);
        case op_move_rr: return reg(in.dst) + ", " + reg(in.rhs);
        case op_move_mr: return ram_address(in.daddr, symbols) + ", " + reg(in.rhs);
        case op_move_rm: return reg(in.dst) + ", " + ram_address(in.imm, symbols);
        default: return ram_address(in.daddr, symbols) + ", " + ram_address(in.imm, symbols);
    }
}

std::string text_of(const Instruction& in, unsigned address, const SymbolTable* symbols) {
    const InstructionForm* form = instruction_form(in.opcode);
    if (form == nullptr) return "no operation";
    return std::string(form->mnemonic) + " " + operands_of(in, address, symbols);
}

// A constant's value as the assembler reads it back: the most negative one has no
// literal of its own (its magnitude is past 2^63 - 1), so it is written as a difference.
std::string equ_value(std::int64_t value) {
    if (value == INT64_MIN) return "-0x7FFFFFFFFFFFFFFF - 1";
    return symbol_value_text(value);
}

// Words that runs of this many zeros or more are left out of a listing.
constexpr int zero_run = 4;

}  // namespace

std::optional<std::string> instruction_text(std::uint32_t word, unsigned address,
                                            const SymbolTable* symbols) {
    const Instruction in = decode_word(word);
    if (fields_used(in.opcode) == 0) return std::nullopt;
    if (encode_word(in) != word) return std::nullopt;
    return text_of(in, address, symbols);
}

std::string executed_text(std::uint32_t word, unsigned address, const SymbolTable* symbols) {
    return text_of(decode_word(word), address, symbols);
}

std::string disassemble(const Isa4::Rom& rom, bool every_word, const SymbolTable* symbols) {
    std::string out;
    const auto labelled = [&](int address) {
        return symbols != nullptr && symbols->label_at(address) != nullptr;
    };
    // Names that are no ROM address stand as constants, so that a listing using them
    // still assembles.
    if (symbols != nullptr)
        for (const NamedValue& n : symbols->names)
            if (!n.is_label || n.value > 255)
                out += "        .equ " + n.name + ", " + equ_value(n.value) + "\n";
    bool need_org = false;
    int address = 0;
    while (address < 256) {
        if (!every_word && rom[address] == 0 && !labelled(address)) {
            int end = address;
            while (end < 256 && rom[end] == 0 && !labelled(end)) ++end;
            if (end - address >= zero_run || end == 256) {
                out += printf_text("; %02X..%02X: 00000\n", address, end - 1);
                address = end;
                need_org = true;
                continue;
            }
        }
        if (need_org) out += printf_text("        .org 0x%02X\n", address);
        need_org = false;
        // Labels as in a source: a short last one on the word's line, others above it.
        std::string line = "        ";
        const NamedValue* label = nullptr;
        if (symbols != nullptr) {
            const auto [first, last] = symbols->labels_at(address);
            for (const NamedValue* n = first; n != last; ++n) {
                if (label != nullptr) out += label->name + ":\n";
                label = n;
                line = n->name + ":";
                line.resize(std::max<std::size_t>(line.size() + 1, 8), ' ');
            }
        }

        const std::uint32_t word = rom[address];
        const auto text = instruction_text(word, address, symbols);
        if (text) {
            line += *text;
        } else {
            line += printf_text(word > max_word ? ".word 0x%06X" : ".word 0x%05X", word);
        }
        if (line.size() < 36) line.resize(36, ' ');
        line += printf_text(word > max_word ? "; %02X: %06X" : "; %02X: %05X", address, word);
        if (!text) line += "  executes as " + executed_text(word, address, symbols);
        const Instruction in = decode_word(word);
        if (in.opcode == op_jz)
            line += in.imm == static_cast<std::uint32_t>(address)
                        ? "  halts when z is set"
                        : printf_text("  when taken, %02X runs next", (in.imm + 1) & 0xFF);
        out += line + "\n";
        ++address;
    }
    return out;
}
