// How long one frame of the controller takes on its three everyday paths, against the quiet game
// and audio doubles, next to a floor: the work every frame has to do whatever the plug-in then
// makes of it (the suspend flag, the two queries, three record fields, one tick read). After the
// runs a summary gives each path's time as a multiple of the floor, which is what carries over
// from this machine to others.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "controller/controller.h"
#include "tests/bench/frame_paths.h"
#include "tests/support/started_plugin.h"

namespace {

void reportPerFrame(benchmark::State& state, const char* name, std::uint64_t count) {
    state.counters[name] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kAvgIterations);
}

// Runs frames with the world as the caller left it. A run in which the frames made other calls
// than perFrame says measured another path than the one named, and is reported as an error.
void runPath(benchmark::State& state, StartedPlugin& plugin, PathCalls perFrame) {
    if (!plugin.ready()) {
        state.SkipWithError("the plug-in did not start with its settings and sounds");
        return;
    }
    const PathCalls before = callsSoFar(plugin);
    for (auto _ : state) onFrame();
    const PathCalls made = callsBetween(before, callsSoFar(plugin));
    reportPerFrame(state, "pushes", made.radioPushes);
    reportPerFrame(state, "probes", made.roofProbes);
    reportPerFrame(state, "plays", made.plays);
    const auto frames = static_cast<std::uint64_t>(state.iterations());
    if (!tookPath(made, perFrame, frames)) {
        state.SkipWithError("the frames took another path than the one measured");
    }
}

void floorFrames(benchmark::State& state) {
    StartedPlugin plugin;
    for (auto _ : state) {
        FloorReads reads = floorFrame();
        benchmark::DoNotOptimize(reads);
    }
}

// The console report, then each benchmark's time per frame and its ratio to the floor (the median
// of its repetitions when there are several).
class FrameSummary : public benchmark::ConsoleReporter {
  public:
    // Colour only on a terminal, so that a saved log of the run reads clean.
    FrameSummary() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            std::vector<double>& times = nanosecondsPerFrame[run.benchmark_name()];
            if (times.empty()) order.push_back(run.benchmark_name());
            times.push_back(run.GetAdjustedRealTime() * 1e9 /
                            benchmark::GetTimeUnitMultiplier(run.time_unit));
        }
    }

    void printRatios() const {
        const auto floor = nanosecondsPerFrame.find("floorFrame");
        std::printf("\n%-14s %10s %10s\n", "per frame", "ns", "x floor");
        for (const std::string& name : order) {
            const double nanoseconds = medianOf(nanosecondsPerFrame.at(name));
            std::printf("%-14s %10.1f ", name.c_str(), nanoseconds);
            if (floor == nanosecondsPerFrame.end()) {
                std::printf("%10s\n", "no floor");
            } else {
                std::printf("%10.2f\n", nanoseconds / medianOf(floor->second));
            }
        }
    }

  private:
    static double medianOf(std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    }

    std::map<std::string, std::vector<double>> nanosecondsPerFrame;  // never an empty list
    std::vector<std::string> order;  // the names in the order the benchmarks ran
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RegisterBenchmark("floorFrame", floorFrames);
    for (const FramePath& path : framePaths) {
        benchmark::RegisterBenchmark(path.name, [&path](benchmark::State& state) {
            StartedPlugin plugin;
            path.enter(plugin);
            runPath(state, plugin, path.perFrame);
        });
    }
    FrameSummary summary;
    benchmark::RunSpecifiedBenchmarks(&summary);
    summary.printRatios();
    benchmark::Shutdown();
    return 0;
}
