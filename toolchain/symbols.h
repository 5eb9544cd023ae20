// The names of a program kept beside its image: labels with their addresses and .equ
// constants with their values, so that listings and traces can show them.
//
// The symbol file is text, one name a line, sorted by address (value):
//
//   # isa4 symbols: name address; "equ" marks a constant
//   start 0x00
//   loop 0x01
//   count 0x10 equ
//
// A label's address is 0x00..0x100 (0x100 for a label after the last word); a constant's
// value is any the assembler allows (a negative one is written -0x05). Numbers are read
// in the source files' syntax; '#' and ';' start comments. Names follow the assembler's
// rules, and no two may differ only in case, so that a listing using them assembles.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/source_text.h"

struct NamedValue {
    std::string name;
    std::int64_t value = 0;
    bool is_label = true;  // false for a .equ constant
};

struct SymbolTable {
    std::vector<NamedValue> names;  // sorted by value, labels first, then by name

    // Appends a name; `sort` puts the table in order once the last one is in, so that
    // filling a table costs O(n log n) whatever order the names come in. The readers
    // (the assembler, `parse_symbol_file`) hand out sorted tables.
    void add(NamedValue named);
    void sort();
    // The first label at `address`, or nullptr; a binary search of the sorted table.
    const NamedValue* label_at(std::int64_t address) const;
    // The labels at `address`, in order: [first, last).
    std::pair<const NamedValue*, const NamedValue*> labels_at(std::int64_t address) const;
    // The first constant of value `value`, or nullptr.
    const NamedValue* constant_of(std::int64_t value) const;
    bool empty() const { return names.empty(); }
};

// A value as the symbol file and the listings write it: 0x05, -0x05, 0x100000005.
std::string symbol_value_text(std::int64_t value);

std::string symbol_file_text(const SymbolTable& symbols);

// Reads a symbol file; faults go to `diagnostics` (errors), and the names read so far are
// returned either way.
SymbolTable parse_symbol_file(std::string_view text, std::vector<Diagnostic>& diagnostics);
