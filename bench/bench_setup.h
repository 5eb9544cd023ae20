// What the benchmarks run on: two ROM programs for the machine's step, a machine and a log
// filled as after a long session, and a run clock driven at 60 frames per second instead
// of by SDL's counter. Kept apart from the benchmarks so that tests can check that they
// measure what they claim.
#pragma once

#include <cstdint>

class CpuStepper;
class Isa4;
class Logger;

// A loop of ten words that executes every opcode: ADD, ADDI, JZ not taken, JZ taken, the
// four MOVE kinds and a no-operation, then starts again at word 00. The machine is reset.
void load_every_opcode_program(Isa4& arch);
inline constexpr int every_opcode_loop_length = 10;

// The tightest loop there is: word 01 is a JZ to 00 with z set, so every step executes
// that same word again. The next step executes word 01.
void load_jz_loop(Isa4& arch);

// Every ROM word, RAM cell and register non-zero and varied, the same on every call; the
// machine is reset, so a run starts at word 00.
void fill_machine(Isa4& arch);

// Nineteen messages: as many as a log of capacity 20 holds.
void fill_log(Logger& log);
inline constexpr int full_log_lines = 19;

// A stand-in for SDL's millisecond counter: each tick moves it on by one frame of a
// 60 Hz display and ticks the run clock at the new reading. At 20 steps per second a
// step falls due about every third frame.
class FrameClock {
public:
    static constexpr double frame_ms = 1000.0 / 60.0;

    std::uint32_t tick(CpuStepper& cpu_stepper);

    std::uint64_t steps_due = 0;  // handed out by every tick so far

private:
    double now_ms_ = 0.0;
};
