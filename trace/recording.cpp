#include "trace/recording.h"

#include <algorithm>

#include "machine/instruction.h"

StepDelta::Write written_by(const Isa4& before, std::uint8_t& index) {
    const Instruction in = decode_word(before.rom[static_cast<std::uint8_t>(before.pc + 1)]);
    switch (in.opcode) {
        case op_add:
        case op_addi: index = static_cast<std::uint8_t>(in.dst); return StepDelta::reg;
        case op_move_rr:
        case op_move_rm:
            if (in.dst == 0) return StepDelta::none;  // MOVE never writes r0
            index = static_cast<std::uint8_t>(in.dst);
            return StepDelta::reg;
        case op_move_mr:
        case op_move_mm: index = static_cast<std::uint8_t>(in.daddr); return StepDelta::ram;
        default: return StepDelta::none;
    }
}

Recording record_run(const Isa4& machine, const RunLimits& limits, std::uint64_t most) {
    Recording rec;
    rec.start = machine;
    rec.limit = limits.max_steps;
    RunLimits bounded = limits;
    bounded.max_steps = std::min({limits.max_steps, most, max_recorded_steps});
    rec.steps.reserve(
        static_cast<std::size_t>(std::min<std::uint64_t>(bounded.max_steps, 1u << 16)));
    Isa4 arch = machine;
    rec.outcome = watch_run(arch, bounded, [&rec](const Isa4& before, const Isa4& after, bool) {
        StepDelta d;
        d.pc = after.pc;
        d.z = after.z;
        d.write = written_by(before, d.index);
        if (d.write == StepDelta::reg) d.value = after.registers[d.index];
        if (d.write == StepDelta::ram) d.value = after.ram[d.index];
        rec.steps.push_back(d);
        return true;
    });
    rec.end = arch;
    return rec;
}
