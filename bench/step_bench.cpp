// Machine steps per second: the every-opcode loop and the tight JZ loop. One step per
// iteration; the step's result and the machine's memory are kept observable so that the
// compiler cannot drop the work.
#include <benchmark/benchmark.h>

#include "bench/bench_setup.h"
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

}  // namespace
