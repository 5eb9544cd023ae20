// The analysis of one isa4 source for the tools that show it to a person: `isa4 asm`,
// the language server and the page's editor all ask it, so that every one of them
// says the same about the same text.
//
// Lines and columns count from 1, columns in bytes of the line as `split_lines` cuts
// it; a range's `end` is the column just past its last byte. Nothing here reads or
// writes a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toolchain/assembler.h"

enum class Severity { error, warning, information };

// A diagnostic with the range of source it is about.
struct Mark {
    int line = 0;
    int column = 0;
    int end = 0;
    Severity severity = Severity::error;
    std::string message;
};

// A label or .equ constant the source defines, with every place that names it.
struct DefinedName {
    std::string name;  // as written at its definition
    std::string key;   // lower case
    bool is_label = false;
    std::int64_t value = 0;
    std::size_t definition = 0;     // index in `Assembly::names`
    std::vector<std::size_t> uses;  // indices in `Assembly::names`, in source order
};

struct Analysis {
    Assembly assembly;
    // What `isa4 asm` prints: the assembler's errors and warnings and the lints below,
    // in line order.
    std::vector<Diagnostic> diagnostics;
    // The same with their ranges, and notes for an editor only (a program that never
    // halts may be meant to run for ever).
    std::vector<Mark> marks;
    std::vector<DefinedName> names;   // in source order of definition
    std::vector<std::size_t> by_key;  // indices of `names`, sorted by key

    const DefinedName* name(std::string_view key) const;
};

Analysis analyze(std::string_view source);

// What stands at a place of the source: a name, a number, or a statement's word.
struct Found {
    enum Kind { nothing, name, number, statement } kind = nothing;
    int line = 0;
    int column = 0;
    int end = 0;
    const NameSpan* name_span = nullptr;
    const DefinedName* defined = nullptr;  // for a name that the source defines
    const NumberSpan* number_span = nullptr;
    const PlacedStatement* placed = nullptr;  // the statement on the line, if any
};
Found find_at(const Analysis& analysis, int line, int column);

// The text shown over a place, Markdown; empty where there is nothing to say.
std::string hover_text(const Analysis& analysis, int line, int column);

// What a word does when it runs, in words: "r1 = r2 + 0x05, sets z".
std::string effect_text(std::uint32_t word, unsigned address);

struct Completion {
    enum Kind { mnemonic, register_name, directive, label_name, constant } kind = mnemonic;
    std::string label;
    std::string insert;  // the text to insert (the operand shape for instructions)
    std::string detail;
};
std::vector<Completion> completions(const Analysis& analysis);

// A reason `name` cannot be the new name of `renamed` ("'r1' is a register"), or nothing.
std::optional<std::string> rename_problem(const Analysis& analysis, const DefinedName& renamed,
                                          std::string_view name);

// Each placed word: its line, the column past its statement, its address and word.
struct WordHint {
    int line = 0;
    int end = 0;
    int address = 0;
    std::uint32_t word = 0;
    std::string text;  // "03: 1120A", as the listing writes it
};
std::vector<WordHint> word_hints(const Analysis& analysis);

// The source in the layout `isa4 dis` lists: labels from column 1, mnemonics and
// directives at column 9 in capitals and lower case, operands after one space with ", "
// between them, comments from column 37 (or one space after the code). Lines that do not
// assemble are left as they are; the words assembled do not change.
std::string format_source(std::string_view source);
