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
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "machine/isa4.h"
#include "text/source_text.h"
#include "toolchain/symbols.h"

// Where the parts of a source stand, for editors: lines and columns count from 1,
// columns in bytes; `end` is the column just past the last byte.

// A name written in the source: a label or .equ being defined, or an operand naming one.
struct NameSpan {
    int line = 0;
    int column = 0;
    int end = 0;
    std::string key;  // lower case: names are compared without regard to case
    bool definition = false;
    bool is_label = false;   // for a definition: a label rather than a .equ constant
    bool raw = false;        // for a use: written after '@'
    std::int64_t value = 0;  // for a definition: the address or the constant's value
};

// A number written in the source.
struct NumberSpan {
    int line = 0;
    int column = 0;
    int end = 0;
    std::int64_t value = 0;
    bool too_large = false;
};

// A statement that placed a word: an instruction, or one value of a .word.
struct PlacedStatement {
    int line = 0;
    int column = 0;  // of the mnemonic, or of the .word value
    int end = 0;     // past the statement's last operand
    int address = 0;
    bool is_word = false;  // .word data rather than an instruction
    int jz_operand = -1;   // a JZ that assembled: the byte it stores
};

struct Assembly {
    Isa4::Rom rom{};
    std::vector<Diagnostic> diagnostics;      // errors and warnings, in line order
    int words = 0;                            // statements that placed a word
    CheckedArray<bool, 256> placed{};         // the addresses a statement placed a word at
    SymbolTable symbols;                      // the labels and .equ constants, as written
    std::array<int, 256> word_lines{};        // the source line that placed each word, 0 for none
    std::vector<PlacedStatement> statements;  // in address order of placing
    std::vector<NameSpan> names;              // definitions and uses, in source order
    std::vector<NumberSpan> numbers;          // in source order

    bool ok() const {
        for (const Diagnostic& d : diagnostics)
            if (!d.warning) return false;
        return true;
    }
};

Assembly assemble(std::string_view source);
