#include "headless/runner.h"

#include <cstdio>

#include "machine/instruction.h"
#include "machine/memory_text.h"
#include "text/message.h"
#include "toolchain/disassembler.h"

namespace {

std::string hex2(unsigned v) {
    return printf_text("%02X", v & 0xFF);
}

std::string change(const std::string& what, unsigned from, unsigned to) {
    return what + " " + hex2(from) + " -> " + hex2(to);
}

// " (name)" for a labelled address, else nothing.
std::string label_of(unsigned address, const SymbolTable* symbols) {
    const NamedValue* n = symbols != nullptr ? symbols->label_at(address) : nullptr;
    return n != nullptr ? " (" + n->name + ")" : "";
}

}  // namespace

std::string step_effect(const Isa4& before, const Isa4& after, bool go_on,
                        const SymbolTable* symbols) {
    const std::uint8_t at = after.pc;
    const Instruction in = decode_word(before.rom[static_cast<std::uint8_t>(before.pc + 1)]);
    switch (in.opcode) {
        case op_add:
        case op_addi:
            return change(regs[in.dst], before.registers[in.dst], after.registers[in.dst]) +
                   ", z " + (before.z ? "1" : "0") + " -> " + (after.z ? "1" : "0");
        case op_jz:
            if (!go_on) return "halt: z set and the JZ jumps onto itself";
            if (!before.z) return "not taken (z clear)";
            return "jump: pc " + hex2(static_cast<std::uint8_t>(before.pc + 1)) + " -> " +
                   hex2(at) + ", next " + hex2(static_cast<std::uint8_t>(at + 1)) +
                   label_of(static_cast<std::uint8_t>(at + 1), symbols);
        case op_move_rr:
        case op_move_rm:
            if (in.dst == 0) return "nothing (MOVE never writes r0)";
            return change(regs[in.dst], before.registers[in.dst], after.registers[in.dst]);
        case op_move_mr:
        case op_move_mm:
            return change("[" + hex2(in.daddr) + "]", before.ram[in.daddr], after.ram[in.daddr]);
        default: return "nothing";
    }
}

RunOutcome run_machine(Isa4& arch, const RunLimits& limits, std::string* trace,
                       const SymbolTable* symbols) {
    if (trace == nullptr) return run_machine(arch, limits, TraceReceiver(), symbols);
    return run_machine(
        arch, limits,
        [trace](const std::string& line) {
            *trace += line;
            *trace += '\n';
            return true;
        },
        symbols);
}

RunOutcome run_machine(Isa4& arch, const RunLimits& limits, const TraceReceiver& trace,
                       const SymbolTable* symbols) {
    if (!trace) return watch_run(arch, limits, StepWatcher());
    std::uint64_t step = 0;
    return watch_run(arch, limits, [&](const Isa4& before, const Isa4& after, bool go_on) {
        return trace(trace_line(++step, before, after, go_on, symbols));
    });
}

RunOutcome watch_run(Isa4& arch, const RunLimits& limits, const StepWatcher& watch) {
    RunOutcome outcome;
    if (!watch) {
        // Nothing watched: the bare step, with the breakpoint test only where one is set.
        const bool any_breakpoint = limits.breakpoints.any();
        std::uint64_t steps = 0;
        while (steps < limits.max_steps) {
            if (any_breakpoint && limits.breakpoints[static_cast<std::uint8_t>(arch.pc + 1)]) {
                outcome.steps = steps;
                outcome.reason = StopReason::breakpoint;
                return outcome;
            }
            ++steps;
            if (!arch.step()) {
                outcome.steps = steps;
                outcome.reason = StopReason::halt;
                return outcome;
            }
        }
        outcome.steps = steps;
        outcome.reason = StopReason::step_limit;
        return outcome;
    }
    while (outcome.steps < limits.max_steps) {
        if (limits.breakpoints[static_cast<std::uint8_t>(arch.pc + 1)]) {
            outcome.reason = StopReason::breakpoint;
            return outcome;
        }
        const Isa4 before = arch;
        const bool go_on = arch.step();
        outcome.steps++;
        if (!watch(before, arch, go_on)) {
            outcome.cut_short = true;
            return outcome;
        }
        if (!go_on) {
            outcome.reason = StopReason::halt;
            return outcome;
        }
    }
    outcome.reason = StopReason::step_limit;
    return outcome;
}

StepAccess step_access(const Isa4& arch) {
    const Instruction in = decode_word(arch.rom[static_cast<std::uint8_t>(arch.pc + 1)]);
    StepAccess a;
    switch (in.opcode) {
        case op_add:
        case op_addi: a.register_written = static_cast<int>(in.dst); break;
        case op_move_rr:
            if (in.dst != 0) a.register_written = static_cast<int>(in.dst);
            break;
        case op_move_rm:
            if (in.dst != 0) {
                a.register_written = static_cast<int>(in.dst);
                a.cell_read = static_cast<int>(in.imm);
            }
            break;
        case op_move_mr: a.cell_written = static_cast<int>(in.daddr); break;
        case op_move_mm:
            a.cell_read = static_cast<int>(in.imm);
            a.cell_written = static_cast<int>(in.daddr);
            break;
        default: break;
    }
    return a;
}

RunOutcome run_logging_access(Isa4& arch, const RunLimits& limits, AccessLog& log) {
    RunOutcome outcome;
    const auto note = [&](FirstAccess& first, std::uint8_t address) {
        if (first.step == 0) first = {outcome.steps, address, arch.rom[address]};
    };
    while (outcome.steps < limits.max_steps) {
        const std::uint8_t address = static_cast<std::uint8_t>(arch.pc + 1);
        if (limits.breakpoints[address]) {
            outcome.reason = StopReason::breakpoint;
            return outcome;
        }
        const StepAccess a = step_access(arch);
        outcome.steps++;
        if (a.cell_read >= 0) note(log.cell_read[static_cast<std::size_t>(a.cell_read)], address);
        if (a.cell_written >= 0)
            note(log.cell_written[static_cast<std::size_t>(a.cell_written)], address);
        if (a.register_written >= 0)
            note(log.register_written[static_cast<std::size_t>(a.register_written)], address);
        if (!arch.step()) {
            outcome.reason = StopReason::halt;
            return outcome;
        }
    }
    outcome.reason = StopReason::step_limit;
    return outcome;
}

std::string trace_line(std::uint64_t step, const Isa4& before, const Isa4& after, bool go_on,
                       const SymbolTable* symbols) {
    const std::uint8_t address = static_cast<std::uint8_t>(before.pc + 1);
    const std::uint32_t word = before.rom[address];
    char head[64];
    std::snprintf(head, sizeof head, "%6llu  %02X  %05X  ", static_cast<unsigned long long>(step),
                  address, word);
    std::string line = head;
    if (const NamedValue* n = symbols != nullptr ? symbols->label_at(address) : nullptr)
        line += n->name + ": ";
    line += executed_text(word, address, symbols);
    if (line.size() < 48) line.resize(48, ' ');
    return line + "  " + step_effect(before, after, go_on, symbols);
}

std::string state_text(const Isa4& arch) {
    std::string out;
    char buf[128];
    std::snprintf(buf, sizeof buf, "PC: %02X  Z: %d\n", arch.pc, arch.z ? 1 : 0);
    out += buf;
    for (unsigned i = 0; i < 16; ++i) {
        std::snprintf(buf, sizeof buf, "R%X: %02X%s", i, arch.registers[i],
                      i % 8 == 7 ? "\n" : "  ");
        out += buf;
    }
    out += ram_dump_header;
    out += "\n";
    char row_text[memory_line_size];
    for (int row = 0; row < 16; ++row) {
        format_ram_row(row_text, arch.ram, row);
        out += row_text;
        out += "\n";
    }
    return out;
}
