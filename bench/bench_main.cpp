// Runs every benchmark and ends with the headline: what one frame of the simulator's
// windows costs against one frame of the Dear ImGui demo window. With repetitions the
// medians are compared, otherwise the single runs. The table goes to standard output as
// the library prints it (--benchmark_out writes a file in any of its formats as usual).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace {

class FrameRatioReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (single || median) frame_us_[run.run_name.function_name] = microseconds(run);
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto demo = frame_us_.find("frame/demo");
        if (demo == frame_us_.end()) return;
        for (const char* name : {"frame/simulator", "frame/everything"}) {
            const auto frame = frame_us_.find(name);
            if (frame == frame_us_.end()) continue;
            char line[120];
            std::snprintf(line, sizeof line, "%s / frame/demo: %.1f us / %.1f us = %.2f\n", name,
                          frame->second, demo->second, frame->second / demo->second);
            GetOutputStream() << line;
        }
    }

private:
    static double microseconds(const Run& run) {
        const double per_second = benchmark::GetTimeUnitMultiplier(run.time_unit);
        return run.GetAdjustedRealTime() / per_second * 1e6;
    }

    std::map<std::string, double> frame_us_;  // real time of one frame, by benchmark
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    FrameRatioReporter reporter(isatty(STDOUT_FILENO) ? FrameRatioReporter::OO_Defaults
                                                      : FrameRatioReporter::OO_None);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
