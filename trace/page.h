// The pages `isa4` writes for a browser: one HTML file with its style, its script and its
// data inlined, and a Content-Security-Policy that lets it make no request at all, so it
// opens from disk with no server and no network.
//
// Everything from outside (file names, source lines, symbols, case names, messages) goes
// into the page only as JSON inside a `<script type="application/json">` element, which
// the page's script reads and shows as text; `json_text` makes a string safe there.
//
// The data is one JSON object; its "kind" says what the page shows:
//   "trace"     one run: {"kind", "title", "traces": [TRACE]}
//   "feedback"  one graded submission, with a TRACE for each failed visible case
//   "class"     a summary of every submission, with links to their pages
// A TRACE is what `trace_json` writes (see there).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "headless/state_file.h"
#include "machine/isa4.h"
#include "text/message.h"
#include "toolchain/symbols.h"
#include "trace/recording.h"

// The program as a page lists it: its lines, and for each ROM address the line that
// holds its word.
struct ProgramListing {
    bool is_source = false;
    std::vector<std::string> lines;
    std::array<int, 256> line_of{};  // index into `lines`, -1 when no line shows the word
};

// A source's own lines; `word_lines` gives each word's line from 1, 0 for none.
ProgramListing source_listing(std::string_view source, const std::array<int, 256>& word_lines);
// The disassembly of every word, a line each, with its labels when `symbols` is given.
ProgramListing image_listing(const Isa4::Rom& rom, const SymbolTable* symbols);

struct TraceSection {
    std::string name;  // what ran: the program, or a case of a suite
    const ProgramListing* listing = nullptr;
    const Recording* recording = nullptr;
    const SymbolTable* symbols = nullptr;  // names in the words' text, or nullptr
    std::vector<Mismatch> expected;        // values the last step should have shown
};

// One run as JSON:
//   {"name", "source": bool, "lines": [text], "lineOf": [256 line indexes or -1],
//    "rom": [256 words], "text": [256 what each word executes as],
//    "start": {"pc", "z", "r": [16], "ram": [256]},
//    "deltas": [one number per step: pc | z << 8 | write << 9 | index << 11 | value << 19,
//               write 0 nothing, 1 a register, 2 a RAM cell],
//    "reason": "halt" | "breakpoint" | "step_limit", "limit": the run's step limit,
//    "expected": [{"what", "target": "pc" | "z" | "reg" | "ram", "index", "expected",
//                  "actual"}]}
std::string trace_json(const TraceSection& section);

// The page around `data`, a JSON object as described above.
std::string page_html(std::string_view data);
