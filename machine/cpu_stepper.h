// CpuStepper: the run clock. It turns elapsed wall-clock milliseconds into a whole number
// of machine steps that are due, so that a run follows time and not the frame rate. It
// never touches the machine: the caller executes the steps it hands out.
//
// Usage:
//   CpuStepper cpu_stepper(1000, 1000);     // after SDL_Init: the time source needs it
//   cpu_stepper.period_ms = 1000 / clocks;  // each frame, never 0
//   std::uint32_t steps_due = cpu_stepper.tick();
//
// One call credits the time since the previous call (measured from counter value 0 on
// the first call), at most `max_delta_ms`, so a stalled frame loop catches up by a bounded
// number of steps. Whole periods are handed out only once the credit strictly exceeds a
// period; the rest carries over to the next call.
#pragma once

#include <cstdint>

class CpuStepper {
public:
    std::uint32_t last_ticks = 0;      // tick counter read by the previous call
    std::uint32_t max_delta_ms;        // most time one call credits
    std::uint32_t accumulated_ms = 0;  // credited, not yet handed out as steps
    std::uint32_t period_ms;           // length of one step

    CpuStepper(std::uint32_t period_ms, std::uint32_t max_delta_ms)
        : max_delta_ms(max_delta_ms), period_ms(period_ms) {}

    // Reads SDL's millisecond counter once and returns the steps that have fallen due.
    std::uint32_t tick();

    // The same for a counter reading of `now`, given by the caller.
    std::uint32_t tick_at(std::uint32_t now);
};
