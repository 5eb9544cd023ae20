#include "trace/recording.h"

#include <algorithm>

#include "machine/instruction.h"

StepDelta delta_of(const Isa4& before, const Isa4& after) {
    StepDelta d;
    d.pc = after.pc;
    d.z = after.z;
    d.write = written_by(before, d.index);
    if (d.write == StepDelta::reg) d.value = after.registers[d.index];
    if (d.write == StepDelta::ram) d.value = after.ram[d.index];
    return d;
}

void apply_delta(Isa4& arch, const StepDelta& d) {
    arch.pc = d.pc;
    arch.z = d.z;
    if (d.write == StepDelta::reg) arch.registers[d.index & 15] = d.value;
    if (d.write == StepDelta::ram) arch.ram[d.index] = d.value;
}

bool halts_next(const Isa4& arch) {
    const std::uint8_t at = static_cast<std::uint8_t>(arch.pc + 1);
    const Instruction in = decode_word(arch.rom[at]);
    return in.opcode == op_jz && arch.z && in.imm == at;
}

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
        rec.steps.push_back(delta_of(before, after));
        return true;
    });
    rec.end = arch;
    return rec;
}

History::History(const Isa4& start, std::uint64_t most_steps)
    : most_(most_steps), base_(start), last_(start) {}

bool History::is_change(std::uint64_t k) const {
    return std::binary_search(changes_.begin(), changes_.end(), k);
}

std::uint64_t History::step_number(std::uint64_t position) const {
    const auto changes_before = static_cast<std::uint64_t>(
        std::lower_bound(changes_.begin(), changes_.end(), position) - changes_.begin());
    return steps_before_first_ + (position - first_) - changes_before;
}

void History::append(const StepDelta& d, bool change) {
    if (change) changes_.push_back(end());
    entries_.push_back(d);
    apply_delta(last_, d);
    if (end() % checkpoint_every == 0) checkpoints_.emplace_back(end(), last_);
    while (entries_.size() - changes_.size() > most_) drop_first();
}

void History::drop_first() {
    const bool change = !changes_.empty() && changes_.front() == first_;
    apply_delta(base_, entries_.front());
    entries_.pop_front();
    if (change)
        changes_.pop_front();
    else
        ++steps_before_first_;
    ++first_;
    while (!checkpoints_.empty() && checkpoints_.front().first < first_) checkpoints_.pop_front();
}

void History::truncate(std::uint64_t position) {
    if (position >= end()) return;
    last_ = state_at(position);
    entries_.resize(static_cast<std::size_t>(position - first_));
    while (!changes_.empty() && changes_.back() >= position) changes_.pop_back();
    while (!checkpoints_.empty() && checkpoints_.back().first > position) checkpoints_.pop_back();
}

Isa4 History::state_at(std::uint64_t position) const {
    std::uint64_t at = first_;
    const Isa4* from = &base_;
    // The last checkpoint at or before the position.
    auto it = std::upper_bound(
        checkpoints_.begin(), checkpoints_.end(), position,
        [](std::uint64_t p, const std::pair<std::uint64_t, Isa4>& c) { return p < c.first; });
    if (it != checkpoints_.begin()) {
        --it;
        at = it->first;
        from = &it->second;
    }
    Isa4 arch = *from;
    for (; at < position; ++at) apply_delta(arch, entry(at));
    return arch;
}
