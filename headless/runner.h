// Running the machine headless: from reset until a halting JZ, a breakpoint or a step
// limit, optionally writing a trace line per step, and the machine's state as text.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>

#include "machine/isa4.h"
#include "toolchain/symbols.h"

enum class StopReason { halt, breakpoint, step_limit };

// The step limit of a run that names none: `isa4 run` without --steps, a suite without
// `limit`.
inline constexpr std::uint64_t default_step_limit = 100000;

struct RunLimits {
    std::uint64_t max_steps = default_step_limit;
    std::bitset<256> breakpoints;  // stop before the word at one of these executes
};

struct RunOutcome {
    std::uint64_t steps = 0;  // words executed
    StopReason reason = StopReason::step_limit;
    bool cut_short = false;  // the trace's receiver asked to stop
};

// Steps `arch` as it stands (the caller resets it). A breakpoint is checked before every
// step, the first one included; a halting JZ counts as a step and leaves pc on the JZ.
// Each step's trace line goes to `trace` when it is given, with the names of `symbols`.
RunOutcome run_machine(Isa4& arch, const RunLimits& limits, std::string* trace = nullptr,
                       const SymbolTable* symbols = nullptr);

// The same, handing each trace line (without its line end) to `trace_line` as the step
// is done, so that nothing builds up however long the run. When it returns false, the
// run stops there with `cut_short` set.
using TraceReceiver = std::function<bool(const std::string& line)>;
RunOutcome run_machine(Isa4& arch, const RunLimits& limits, const TraceReceiver& trace_line,
                       const SymbolTable* symbols = nullptr);

// The same, showing each step to `watch` with the machine before and after it and whether
// it went on (false after a halting JZ), for callers that keep more than a line of text.
// When it returns false, the run stops there with `cut_short` set.
using StepWatcher = std::function<bool(const Isa4& before, const Isa4& after, bool go_on)>;
RunOutcome watch_run(Isa4& arch, const RunLimits& limits, const StepWatcher& watch);

// What the word the next step of `arch` executes reads and writes: the RAM cell it reads,
// the cell it writes and the register it writes, -1 for none. A store counts whatever the
// value, the one already there too; a MOVE into r0 neither reads nor writes (it does
// nothing), while ADD and ADDI write their register, r0 too.
struct StepAccess {
    int cell_read = -1;
    int cell_written = -1;
    int register_written = -1;
};
StepAccess step_access(const Isa4& arch);

// The first step of a run that did something: its number from 1 (0 for none), the
// address of the word it executed and the word.
struct FirstAccess {
    std::uint64_t step = 0;
    std::uint8_t address = 0;
    std::uint32_t word = 0;
};

// The first step that wrote each RAM cell and register and the first that read each cell.
struct AccessLog {
    std::array<FirstAccess, 256> cell_written{};
    std::array<FirstAccess, 256> cell_read{};
    std::array<FirstAccess, 16> register_written{};
};

// Runs as `run_machine` does without a trace, noting in `log` the first access to every
// cell and register.
RunOutcome run_logging_access(Isa4& arch, const RunLimits& limits, AccessLog& log);

// One line of a trace: step number, address, word, what it executes as, and what it
// changed, e.g. "     3  02  20010  JZ 0x10                  jump: pc 02 -> 10, next 11".
// With `symbols`, a labelled word's text starts with "name: ", JZ targets and RAM
// addresses show by name, and a jump's next word by its label: "next 11 (loop)".
std::string trace_line(std::uint64_t step, const Isa4& before, const Isa4& after, bool go_on,
                       const SymbolTable* symbols = nullptr);

// What one step changed, as a trace line ends: "r2 07 -> 06, z 0 -> 0", "[02] 00 -> 2A",
// "not taken (z clear)", "jump: pc 07 -> 01, next 02", "halt: ...".
std::string step_effect(const Isa4& before, const Isa4& after, bool go_on,
                        const SymbolTable* symbols = nullptr);

// pc and z, the sixteen registers, and the RAM dump with the workbench's header and rows.
std::string state_text(const Isa4& arch);
