// Recording a run step by step, for pages that move back and forth through it.
//
// A step changes pc, perhaps z, and at most one register or RAM cell, so a recording
// keeps the machine at reset and, per step, only those: a run of 100000 steps is 100000
// small deltas. Any step's state is rebuilt from the start (or a later checkpoint) by
// applying the deltas in order.
#pragma once

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "headless/runner.h"
#include "machine/isa4.h"

// The most steps one recording holds: far past any exercise, and a page of a few tens of
// megabytes at most.
inline constexpr std::uint64_t max_recorded_steps = 1000000;

struct StepDelta {
    enum Write : std::uint8_t { none, reg, ram };
    std::uint8_t pc = 0;  // after the step
    bool z = false;       // after the step
    Write write = none;   // what the word wrote, even when the value stayed the same
    std::uint8_t index = 0;
    std::uint8_t value = 0;  // the value written
};

struct Recording {
    Isa4 start{};  // at reset, before the first step
    std::vector<StepDelta> steps;
    RunOutcome outcome;
    std::uint64_t limit = 0;  // the step limit the run had
    Isa4 end{};               // after the last step
};

// Runs `machine` as it stands (reset by the caller) by the runner's rules, recording every
// step. At most `most` steps are run (and never more than `max_recorded_steps`), whatever
// `limits` allows; `limit` keeps the limit of `limits`.
Recording record_run(const Isa4& machine, const RunLimits& limits,
                     std::uint64_t most = max_recorded_steps);

// What the word at pc + 1 of `before` writes when it executes (register or cell, not the
// value).
StepDelta::Write written_by(const Isa4& before, std::uint8_t& index);

// What the step from `before` to `after` did, as a recording keeps it.
StepDelta delta_of(const Isa4& before, const Isa4& after);

// Redoes a recorded step (or a change with the same fields) on the machine it started from.
void apply_delta(Isa4& arch, const StepDelta& d);

// True when the word at pc + 1 halts: a JZ onto itself with z set.
bool halts_next(const Isa4& arch);

// A recording that a debugger moves through and changes as it goes: the deltas of the
// steps run so far, beside changes made by hand (a register set between two steps), kept
// in the same form. Position k is the state after the first k entries; entry k turns
// position k into position k + 1.
//
// A state is rebuilt from the nearest checkpoint before it (one every `checkpoint_every`
// entries), so going anywhere costs at most that many deltas. At most `most_steps` steps
// are held: past that the oldest are dropped, and `first()` moves on.
class History {
public:
    static constexpr std::uint64_t checkpoint_every = 4096;

    History(const Isa4& start, std::uint64_t most_steps);

    std::uint64_t first() const { return first_; }                  // the oldest position held
    std::uint64_t end() const { return first_ + entries_.size(); }  // the newest
    std::uint64_t most_steps() const { return most_; }

    // Entry k, for first() <= k < end().
    const StepDelta& entry(std::uint64_t k) const { return entries_[k - first_]; }
    bool is_change(std::uint64_t k) const;
    // Steps run from reset up to `position` (changes by hand are not steps).
    std::uint64_t step_number(std::uint64_t position) const;

    // Adds an entry at end(), dropping the oldest entries past the bound.
    void append(const StepDelta& d, bool change = false);
    // Drops every entry from `position` on.
    void truncate(std::uint64_t position);
    Isa4 state_at(std::uint64_t position) const;
    const Isa4& last() const { return last_; }  // the state at end()

private:
    void drop_first();

    std::uint64_t most_;
    std::uint64_t first_ = 0;
    std::uint64_t steps_before_first_ = 0;
    Isa4 base_;  // the state at first_
    Isa4 last_;  // the state at end()
    std::deque<StepDelta> entries_;
    std::deque<std::uint64_t> changes_;                       // their positions, ascending
    std::deque<std::pair<std::uint64_t, Isa4>> checkpoints_;  // ascending, all >= first_
};
