// Machine steps per second: the every-opcode loop and the tight JZ loop. One step per
// iteration; the step's result and the machine's memory are kept observable so that the
// compiler cannot drop the work. Beside them the same loops through the headless runner
// that `isa4 run` and `isa4 test` use, untraced, so that a cost it adds per step shows.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/bench_setup.h"
#include "headless/runner.h"
#include "machine/isa4.h"

namespace {

void run_steps(benchmark::State& state, Isa4& arch) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(arch.step());
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(arch);
    state.SetItemsProcessed(state.iterations());
}

void step_every_opcode(benchmark::State& state) {
    Isa4 arch{};
    load_every_opcode_program(arch);
    run_steps(state, arch);
}
BENCHMARK(step_every_opcode)->Name("step/every_opcode");

void step_jz_loop(benchmark::State& state) {
    Isa4 arch{};
    load_jz_loop(arch);
    run_steps(state, arch);
}
BENCHMARK(step_jz_loop)->Name("step/jz_loop");

// The runner's steps, a thousand per iteration, counted per step as above.
void run_steps_headless(benchmark::State& state, Isa4& arch) {
    constexpr std::uint64_t steps_per_run = 1000;
    RunLimits limits;
    limits.max_steps = steps_per_run;
    for (auto _ : state) {
        benchmark::DoNotOptimize(run_machine(arch, limits));
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(arch);
    state.SetItemsProcessed(state.iterations() * steps_per_run);
}

void run_every_opcode(benchmark::State& state) {
    Isa4 arch{};
    load_every_opcode_program(arch);
    run_steps_headless(state, arch);
}
BENCHMARK(run_every_opcode)->Name("run/every_opcode");

void run_jz_loop(benchmark::State& state) {
    Isa4 arch{};
    load_jz_loop(arch);
    run_steps_headless(state, arch);
}
BENCHMARK(run_jz_loop)->Name("run/jz_loop");

}  // namespace
