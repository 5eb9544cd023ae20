// The run clock (`CpuStepper`), driven with chosen readings of the tick counter: what each
// call credits and hands out, and that a long run hands out elapsed time / period steps
// whatever the frame rate.
#include "machine/cpu_stepper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

TEST(CpuStepper, CreditsTimeSincePreviousCallAndHandsOutWholePeriods) {
    CpuStepper cpu_stepper(1000, 1000);
    EXPECT_EQ(cpu_stepper.tick_at(400), 0u);  // the first call measures from 0
    EXPECT_EQ(cpu_stepper.accumulated_ms, 400u);
    EXPECT_EQ(cpu_stepper.tick_at(1000), 0u);  // exactly one period: not due yet
    EXPECT_EQ(cpu_stepper.accumulated_ms, 1000u);
    EXPECT_EQ(cpu_stepper.tick_at(1016), 1u);
    EXPECT_EQ(cpu_stepper.accumulated_ms, 16u);

    // Frames within one millisecond credit nothing, however many there are.
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(cpu_stepper.tick_at(1016), 0u);
    EXPECT_EQ(cpu_stepper.accumulated_ms, 16u);

    // A stall credits at most the maximum delta.
    EXPECT_EQ(cpu_stepper.tick_at(9000), 1u);
    EXPECT_EQ(cpu_stepper.accumulated_ms, 16u);
    EXPECT_EQ(cpu_stepper.last_ticks, 9000u);

    CpuStepper at_zero(1000, 1000);
    EXPECT_EQ(at_zero.tick_at(0), 0u);
    EXPECT_EQ(at_zero.accumulated_ms, 0u);

    // At 50 ms a stall of any length yields at most 20 steps (21 with a full remainder).
    CpuStepper fast(50, 1000);
    fast.accumulated_ms = 50;
    EXPECT_EQ(fast.tick_at(3'000'000), 21u);
    EXPECT_EQ(fast.accumulated_ms, 0u);
}

TEST(CpuStepper, AWrappedCounterCreditsTheTimeThatReallyPassed) {
    CpuStepper cpu_stepper(1000, 1000);
    cpu_stepper.last_ticks = 0xFFFF'FF00u;  // 256 ms before the wrap
    EXPECT_EQ(cpu_stepper.tick_at(100), 0u);
    EXPECT_EQ(cpu_stepper.accumulated_ms, 356u);

    cpu_stepper.last_ticks = 0xFFFF'0000u;  // long before it: capped as any other delta
    cpu_stepper.accumulated_ms = 16;
    EXPECT_EQ(cpu_stepper.tick_at(5000), 1u);
    EXPECT_EQ(cpu_stepper.accumulated_ms, 16u);
}

TEST(CpuStepper, APeriodChangeAppliesToWhatIsAlreadyAccumulated) {
    CpuStepper cpu_stepper(333, 1000);
    cpu_stepper.last_ticks = 2000;
    cpu_stepper.accumulated_ms = 700;
    EXPECT_EQ(cpu_stepper.tick_at(2000), 2u);
    EXPECT_EQ(cpu_stepper.accumulated_ms, 34u);

    CpuStepper lowered(1000, 1000);
    lowered.last_ticks = 5000;
    lowered.accumulated_ms = 990;
    lowered.period_ms = 50;
    EXPECT_EQ(lowered.tick_at(5010), 20u);
    EXPECT_EQ(lowered.accumulated_ms, 0u);
}

// Frames every `frame_ms` (fractional, as real frames are) for 60 s from counter value
// `start`; the counter reads whole milliseconds. Returns the steps handed out minus the
// steps that the elapsed time is worth.
double steps_beyond_elapsed(std::uint32_t period, double frame_ms, std::uint32_t start) {
    CpuStepper cpu_stepper(period, 1000);
    cpu_stepper.last_ticks = start;
    std::uint64_t steps = 0;
    double elapsed = 0;
    while (elapsed < 60'000) {
        elapsed += frame_ms;
        steps += cpu_stepper.tick_at(start + static_cast<std::uint32_t>(elapsed));
    }
    return static_cast<double>(steps) - std::floor(elapsed) / period;
}

TEST(CpuStepper, ALongRunHandsOutElapsedOverPeriodStepsAtAnyFrameRate) {
    for (int clocks : {1, 3, 7, 20}) {
        const std::uint32_t period = 1000 / clocks;
        for (double frame_ms : {0.3, 16.7}) {
            for (std::uint32_t start : {0u, 0xFFFF'8000u}) {  // the second runs over the wrap
                const double off = steps_beyond_elapsed(period, frame_ms, start);
                EXPECT_LE(std::abs(off), 1.0) << "clocks " << clocks << ", frames every "
                                              << frame_ms << " ms, start " << start;
            }
        }
    }
}

}  // namespace
