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

#include "bench/quiet_bass.h"
#include "bench/started_plugin.h"
#include "controller/controller.h"
#include "host/vehicle_record.h"
#include "platform/win32_api.h"

namespace {

// The calls that tell one path from another: per frame for a path, running totals otherwise.
struct PathCalls {
    std::uint64_t radioPushes;
    std::uint64_t roofProbes;
    std::uint64_t plays;
};

PathCalls callsSoFar() {
    return {quietHost::calls().radioPushes, quietHost::calls().roofProbes,
            quietBass::calls().plays};
}

void reportPerFrame(benchmark::State& state, const char* name, std::uint64_t count) {
    state.counters[name] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kAvgIterations);
}

// Runs frames with the world as the caller left it. A run in which the frames made other calls
// than perFrame says measured another path than the one named, and is reported as an error.
void runPath(benchmark::State& state, const StartedPlugin& plugin, PathCalls perFrame) {
    if (!plugin.ready()) {
        state.SkipWithError("the plug-in did not start with its settings and sounds");
        return;
    }
    const PathCalls before = callsSoFar();
    for (auto _ : state) onFrame();
    const PathCalls after = callsSoFar();
    const PathCalls made = {after.radioPushes - before.radioPushes,
                            after.roofProbes - before.roofProbes, after.plays - before.plays};
    reportPerFrame(state, "pushes", made.radioPushes);
    reportPerFrame(state, "probes", made.roofProbes);
    reportPerFrame(state, "plays", made.plays);
    const auto frames = static_cast<std::uint64_t>(state.iterations());
    if (made.radioPushes != perFrame.radioPushes * frames ||
        made.roofProbes != perFrame.roofProbes * frames || made.plays != perFrame.plays * frames) {
        state.SkipWithError("the frames took another path than the one measured");
    }
}

// Holds each value as the work it came from left it, so that no read is dropped or folded away.
template <typename... Values>
void keep(Values&... values) {
    (benchmark::DoNotOptimize(values), ...);
}

void floorFrame(benchmark::State& state) {
    StartedPlugin plugin;
    for (auto _ : state) {
        std::uint8_t suspended = readSuspendFlag();
        HostAddress actor = queryActor();
        const VehicleRecord record(queryVehicle());
        std::uint8_t status = record.status();
        float health = record.health();
        float impactForce = record.impactForce();
        DWORD now = GetTickCount();
        keep(suspended, actor, status, health, impactForce, now);
    }
}
BENCHMARK(floorFrame);

// Idle in the open with the radio at full: the roof probe is the only call beyond the floor.
void quietFrame(benchmark::State& state) {
    StartedPlugin plugin;
    runPath(state, plugin, {.radioPushes = 0, .roofProbes = 1, .plays = 0});
}
BENCHMARK(quietFrame);

// Under a roof: the noise loop kept playing and the radio level pushed every frame.
void tunnelFrame(benchmark::State& state) {
    StartedPlugin plugin;
    plugin.world().roofFound = true;
    plugin.world().roofHeight = 10.0f;  // the car stands at height 0: a tunnel roof
    runPath(state, plugin, {.radioPushes = 1, .roofProbes = 1, .plays = 1});
}
BENCHMARK(tunnelFrame);

// A duck that goes on: the clock stands still, so it never ends, and each frame pushes the ducked
// level once.
void duckedFrame(benchmark::State& state) {
    StartedPlugin plugin;
    plugin.car().setImpactForce(StartedPlugin::impactIntensity + 50.0f);
    onFrame();
    plugin.car().setImpactForce(0.0f);
    runPath(state, plugin, {.radioPushes = 1, .roofProbes = 0, .plays = 0});
}
BENCHMARK(duckedFrame);

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
    FrameSummary summary;
    benchmark::RunSpecifiedBenchmarks(&summary);
    summary.printRatios();
    benchmark::Shutdown();
    return 0;
}
