// The isa4 assembler: a text program in, the 256 ROM words out.
//
// One statement per line, with any number of `name:` labels before it:
//
//   ADD  rd, rl, rr          rd = rl + rr, sets z
//   ADDI rd, rl, imm         rd = rl + imm (imm -128..255), sets z
//   JZ   label               if z: the word at `label` executes next
//   JZ   @label / JZ 0x10    the raw operand: pc is set to it, the word after it is next
//   MOVE r1, r2              register from register
//   MOVE [0xA0], r7          RAM cell from register
//   MOVE r1, [0x10]          register from RAM cell
//   MOVE [0x12], [0x34]      RAM cell from RAM cell
//   .org 0x20                place what follows from address 0x20
//   .word 0x3ABCD, 7         raw words (up to 24 bits, as a ROM image holds them)
//   .equ  count, 0x10        a named constant
//
// Operands are numbers (see text/source_text.h), names of labels or constants, and sums and
// differences of them. Registers are r0..r9, ra..rf in either case; mnemonics and
// directives too. Words that no statement places are 0.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "machine/isa4.h"
#include "text/source_text.h"
#include "toolchain/symbols.h"

struct Assembly {
    Isa4::Rom rom{};
    std::vector<Diagnostic> diagnostics;  // errors and warnings, in line order
    int words = 0;                        // statements that placed a word
    CheckedArray<bool, 256> placed{};     // the addresses a statement placed a word at
    SymbolTable symbols;                  // the labels and .equ constants, as written
    std::array<int, 256> word_lines{};    // the source line that placed each word, 0 for none

    bool ok() const {
        for (const Diagnostic& d : diagnostics)
            if (!d.warning) return false;
        return true;
    }
};

Assembly assemble(std::string_view source);
