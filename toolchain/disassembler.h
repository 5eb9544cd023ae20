// Assembly text for ROM words, in the syntax the assembler reads back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "machine/isa4.h"
#include "toolchain/symbols.h"

// The instruction a word holds, written so that assembling it gives the same word back;
// nothing when no instruction assembles to it (bits the form does not use are set, the
// opcode is 3 or 8..15, or bits above 19 are set). With `symbols`, a JZ at `address`
// names its target by label and MOVE names RAM addresses by constant where one fits.
std::optional<std::string> instruction_text(std::uint32_t word, unsigned address = 0,
                                            const SymbolTable* symbols = nullptr);

// What the word does when it executes, which bits 19..16 and the form's fields alone
// decide: "ADD ra, rb, rd" for 0x0ABCD, "no operation" for opcodes 3 and 8..15.
std::string executed_text(std::uint32_t word, unsigned address = 0,
                          const SymbolTable* symbols = nullptr);

// A listing of the whole ROM that the assembler reads back to the identical image:
// one line per word with its address and hex word in a comment; runs of zero words
// are left out (the assembler fills unplaced words with 0) unless `every_word` is set.
// With `symbols`, labels stand before their words and constants (and labels past the
// last address) as .equ lines at the top; a labelled word is always listed.
std::string disassemble(const Isa4::Rom& rom, bool every_word = false,
                        const SymbolTable* symbols = nullptr);
