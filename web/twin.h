// The page's accessible view: the workbench's machine, run controls, files and log as
// plain HTML beside the canvas (web/a11y.js). It acts through the same operations as the
// windows (panels/*.h), on the same machine, log and window states, so the canvas and
// the view always show one state.
//
// The texts are built here, where the desktop's unit tests reach them; the functions the
// page calls (kelvane_twin_*) are in twin.cpp, compiled into the page only.
#pragma once

#include <string>

#include "machine/isa4.h"

class Logger;
struct RunControlPanelState;
struct RomPanelState;
struct RamPanelState;

// What a step did, in words for a screen reader, with the facts of its `isa4 run --trace`
// line: "Step: ADDI r1, r1, 0x01 at 03. r1 04 to 05. z 0." A jump says where it went
// ("jump: pc 07 to 01. next 02."), a halting JZ says it halted.
std::string step_announcement(const Isa4& before, const Isa4& after, bool go_on);

// True when pc stands on a JZ onto itself with z set: the machine has halted, and every
// further step of a run comes back here.
bool halted(const Isa4& arch);

// Everything the view shows, as one JSON object:
//   {"pc", "z", "r": [16], "ram": [256], "next": {"address", "word", "text"},
//    "halted", "running", "clocks", "romFile", "ramFile", "romAddr", "romVal",
//    "ramAddr", "ramVal", "log": [newest first]}
std::string twin_view_json(const Isa4& arch, const Logger& log, const RunControlPanelState& run,
                           const RomPanelState& rom, const RamPanelState& ram);

// Hands the page's machine and log to the view's operations.
void attach_twin(Isa4& arch, Logger& log);
