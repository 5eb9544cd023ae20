// One headless frame of Dear ImGui, NewFrame to Render, with no backend: the six simulator
// windows on a full machine that runs at 20 steps per second; the Dear ImGui demo window
// alone, as the reference; and everything the workbench shows, demo and example windows
// included. The run clock is driven at 60 frames per second, so the run really steps
// about every third frame whatever the speed of the benchmark.
#include <benchmark/benchmark.h>
#include <imgui.h>

#include <cstdint>
#include <cstdio>

#include "app/frame.h"
#include "bench/bench_setup.h"
#include "machine/cpu_stepper.h"
#include "machine/isa4.h"
#include "panels/logger.h"

namespace {

// Windows appear and size themselves over the first frames; those are not timed.
constexpr int warm_up_frames = 10;

// A Dear ImGui context as the panel tests have it: a 1280x720 display, the font atlas
// built, no imgui.ini.
class HeadlessImGui {
public:
    HeadlessImGui() {
        ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.DisplaySize = ImVec2(1280, 720);
        io.DeltaTime = 1.0f / 60.0f;
        io.IniFilename = nullptr;
        io.LogFilename = nullptr;
        unsigned char* pixels = nullptr;
        int width = 0, height = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    }
    ~HeadlessImGui() { ImGui::DestroyContext(); }
    HeadlessImGui(const HeadlessImGui&) = delete;
    HeadlessImGui& operator=(const HeadlessImGui&) = delete;

    template <class Build>
    void frame(const Build& build) {
        ImGui::NewFrame();
        build();
        ImGui::Render();
    }
};

// The simulator after a long session: every word and cell in use, a full log, running at
// the highest rate, file names typed.
class Workbench {
public:
    Isa4 arch{};
    Logger log{20};
    CpuStepper cpu_stepper{1000, 1000};
    FrameClock clock;
    SimulatorPanels panels;

    Workbench() {
        fill_machine(arch);
        fill_log(log);
        panels.run_control.clocks = 20;
        panels.run_control.running = true;
        std::snprintf(panels.rom.rom_filename, sizeof panels.rom.rom_filename, "count.rom");
        std::snprintf(panels.ram.ram_filename, sizeof panels.ram.ram_filename, "count.ram");
        panels.tick = [this](CpuStepper& cpu_stepper) { return clock.tick(cpu_stepper); };
    }
    Workbench(const Workbench&) = delete;
    Workbench& operator=(const Workbench&) = delete;
};

// Times `build` frame by frame. Counters: the vertices one frame hands to the renderer,
// and, for a running workbench, the steps per frame (a third at 20 steps per second).
template <class Build>
void time_frames(benchmark::State& state, HeadlessImGui& ui, const Build& build,
                 Workbench* workbench) {
    for (int i = 0; i < warm_up_frames; ++i) ui.frame(build);
    const std::uint64_t steps_before = workbench ? workbench->clock.steps_due : 0;

    for (auto _ : state) ui.frame(build);

    state.SetItemsProcessed(state.iterations());
    state.counters["vertices"] = ImGui::GetDrawData()->TotalVtxCount;
    if (workbench == nullptr) return;
    const double frames = static_cast<double>(state.iterations());
    state.counters["steps/frame"] =
        static_cast<double>(workbench->clock.steps_due - steps_before) / frames;
    if (!workbench->panels.run_control.running) state.SkipWithError("the run stopped");
    if (workbench->log.messages.size() != full_log_lines) state.SkipWithError("the log changed");
}

void frame_simulator(benchmark::State& state) {
    HeadlessImGui ui;
    Workbench w;
    time_frames(
        state, ui, [&] { draw_simulator_windows(w.arch, w.log, w.cpu_stepper, &w.panels); }, &w);
}
BENCHMARK(frame_simulator)->Name("frame/simulator")->Unit(benchmark::kMicrosecond);

void frame_demo(benchmark::State& state) {
    HeadlessImGui ui;
    time_frames(
        state, ui, [] { ImGui::ShowDemoWindow(); }, nullptr);
}
BENCHMARK(frame_demo)->Name("frame/demo")->Unit(benchmark::kMicrosecond);

void frame_everything(benchmark::State& state) {
    HeadlessImGui ui;
    Workbench w;
    ShellState shell;
    time_frames(
        state, ui, [&] { build_frame(shell, w.arch, w.log, w.cpu_stepper, &w.panels); }, &w);
}
BENCHMARK(frame_everything)->Name("frame/everything")->Unit(benchmark::kMicrosecond);

}  // namespace
