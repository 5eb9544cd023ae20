// What the page's editor asks of the language layer and the assembler: the marks, hover
// and completions of the text being edited, as `isa4 lsp` gives them for the same text,
// and "Assemble and load" / "Load RAM data" on the home folder, in the working directory
// as the panels' file names are. Every answer is one JSON object, its strings made by
// `json_text`, so that the page reads it with JSON.parse and shows every string as text.
//
// Usage:
//   std::string facts = source_facts_json(text);
//   // {"diagnostics":[{"line":2,"column":9,"end":13,"severity":"error","message":"..."}],
//   //  "words":[[0,1,3145731],...],
//   //  "completions":[{"label":"ADD","insert":"ADD ","kind":"mnemonic","detail":"..."}]}
//   std::string hover = source_hover_json(text, 2, 9);  // {"text":"`01: 1120A` r1 = ..."}
#pragma once

#include <string>
#include <string_view>

#include "machine/isa4.h"

// The language layer's view of `source`: its marks in line order (errors, warnings and
// information notes; line, column and the column past the end from 1, in bytes of the
// line), the words the assembler places as [address, line, word] in address order, and
// what completion offers (mnemonics, registers, directives, the text's names).
std::string source_facts_json(std::string_view source);

// The hover text (Markdown) at `line` and `column` (bytes, from 1) of `source`, empty
// where there is nothing to say.
std::string source_hover_json(std::string_view source, int line, int column);

// The result of assembling and loading, for the page and the log.
struct LoadOutcome {
    bool loaded = false;
    std::string log_line;  // for "Logger": what was done, or why nothing was
    std::string json;      // {"loaded":..,"message":..,"image":..} plus the source facts
};

// Assembles `source`, the text of the home folder's file `name` (STEM.s). Without errors
// STEM.rom is written beside it, as `isa4 asm` writes it, and read into `rom` as "Load
// ROM" reads a file: nothing else of the machine changes. With errors, or where the image
// cannot be written, nothing is written and `rom` stays as it was. `write_image` false
// (a read-only example, whose image is already beside it) only reads STEM.rom.
LoadOutcome assemble_and_load(std::string_view name, std::string_view source, Isa4::Rom& rom,
                              bool write_image = true);

// "Load RAM data": the RAM data beside the source `name` (STEM.s) into `ram`: STEM.ram,
// read as "Load RAM" reads an image, or else STEM.data, the text `isa4 ram` reads (the
// cells it names over zeros). Where neither can be read, `ram` stays as it was.
LoadOutcome load_ram_beside(std::string_view name, Isa4::Ram& ram);

// "Trace": the page `isa4 trace` writes for the source `name` (STEM.s) with the text
// `source`, run from a reset with the RAM data beside it as "Load RAM data" reads it
// (zeros where there is none).
// `html` is left empty where the source does not assemble or the RAM image cannot be
// read; `message` says what was done or why not.
struct TracePage {
    std::string html;
    std::string message;
};
TracePage trace_page(std::string_view name, std::string_view source);

// The address of the word executed last on the way from `before` to `after` (one frame
// of the workbench, which may step several times), found by stepping a copy of `before`,
// at most `most` times, until it equals `after`. `previous` when nothing changed; -1 when
// no run leads there (a reset, a poke, a file loaded).
int last_executed(const Isa4& before, const Isa4& after, int previous, int most = 64);
