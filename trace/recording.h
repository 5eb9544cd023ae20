// Recording a run step by step, for pages that move back and forth through it.
//
// A step changes pc, perhaps z, and at most one register or RAM cell, so a recording
// keeps the machine at reset and, per step, only those: a run of 100000 steps is 100000
// small deltas. Any step's state is rebuilt from the start (or a later checkpoint) by
// applying the deltas in order.
#pragma once

#include <cstdint>
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
