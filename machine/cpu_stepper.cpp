#include "machine/cpu_stepper.h"

#include <SDL_timer.h>

#include <algorithm>

std::uint32_t CpuStepper::tick() {
    return tick_at(SDL_GetTicks());
}

std::uint32_t CpuStepper::tick_at(std::uint32_t now) {
    // Unsigned subtraction: a counter that has wrapped past 2^32 still gives the time
    // that really passed, and a second call in the same millisecond credits nothing.
    const std::uint32_t delta = std::min(now - last_ticks, max_delta_ms);
    last_ticks = now;
    accumulated_ms += delta;

    std::uint32_t steps = 0;
    if (accumulated_ms > period_ms) {
        steps = accumulated_ms / period_ms;
        accumulated_ms %= period_ms;
    }
    return steps;
}
