// The names the isa4 sources keep for themselves: registers and mnemonics. The assembler,
// the symbol files and the expectation files all go by these.
#pragma once

#include <optional>
#include <string_view>

// "r0".."r9", "ra".."rf" in either case: the register number, or nothing.
std::optional<unsigned> register_number(std::string_view name);

// "ADD", "ADDI", "JZ", "MOVE" in either case.
bool is_mnemonic(std::string_view name);

// True for a name the assembler keeps for itself: a register, a mnemonic, or a name
// starting with '.' (a directive).
bool is_reserved_name(std::string_view name);
