#include "cli/disassembler.h"

#include <cstdio>

#include "machine/instruction.h"

namespace {

std::string format(const char* fmt, unsigned a, unsigned b = 0, unsigned c = 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, a, b, c);
    return buf;
}

std::string reg(unsigned n) {
    return regs[n & 0xF];
}

std::string text_of(const Instruction& in) {
    switch (in.opcode) {
        case op_add: return "ADD " + reg(in.dst) + ", " + reg(in.lhs) + ", " + reg(in.rhs);
        case op_addi:
            return "ADDI " + reg(in.dst) + ", " + reg(in.lhs) + format(", 0x%02X", in.imm);
        case op_jz: return format("JZ 0x%02X", in.imm);
        case op_move_rr: return "MOVE " + reg(in.dst) + ", " + reg(in.rhs);
        case op_move_mr: return format("MOVE [0x%02X], ", in.daddr) + reg(in.rhs);
        case op_move_rm: return "MOVE " + reg(in.dst) + format(", [0x%02X]", in.imm);
        case op_move_mm: return format("MOVE [0x%02X], [0x%02X]", in.daddr, in.imm);
        default: return "no operation";
    }
}

// Words that runs of this many zeros or more are left out of a listing.
constexpr int zero_run = 4;

}  // namespace

std::optional<std::string> instruction_text(std::uint32_t word) {
    const Instruction in = decode_word(word);
    if (fields_used(in.opcode) == 0) return std::nullopt;
    if (encode_word(in) != word) return std::nullopt;
    return text_of(in);
}

std::string executed_text(std::uint32_t word) {
    return text_of(decode_word(word));
}

std::string disassemble(const Isa4::Rom& rom, bool every_word) {
    std::string out;
    bool need_org = false;
    int address = 0;
    while (address < 256) {
        if (!every_word && rom[address] == 0) {
            int end = address;
            while (end < 256 && rom[end] == 0) ++end;
            if (end - address >= zero_run || end == 256) {
                out += format("; %02X..%02X: 00000\n", address, end - 1);
                address = end;
                need_org = true;
                continue;
            }
        }
        if (need_org) out += format("        .org 0x%02X\n", address);
        need_org = false;

        const std::uint32_t word = rom[address];
        const auto text = instruction_text(word);
        std::string line = "        ";
        if (text) {
            line += *text;
        } else {
            line += format(word > max_word ? ".word 0x%06X" : ".word 0x%05X", word);
        }
        if (line.size() < 36) line.resize(36, ' ');
        line += format(word > max_word ? "; %02X: %06X" : "; %02X: %05X", address, word);
        if (!text) line += "  executes as " + executed_text(word);
        const Instruction in = decode_word(word);
        if (in.opcode == op_jz)
            line += in.imm == static_cast<std::uint32_t>(address)
                        ? "  halts when z is set"
                        : format("  when taken, %02X runs next", (in.imm + 1) & 0xFF);
        out += line + "\n";
        ++address;
    }
    return out;
}
