#include "drives/simulation.h"

#include <algorithm>

#include "common/next_random.h"
#include "common/plugin_directory.h"
#include "config/settings.h"
#include "platform/win32_api.h"
#include "sound/sound_player.h"
#include "standins/audio/call_observer.h"
#include "standins/audio/output_device.h"
#include "standins/loader/fresh_load.h"
#include "standins/world/trace.h"
#include "standins/world/world.h"
#include "standins/world/world_binding.h"

namespace {

constexpr double longestFrame = 1.0;
constexpr double lonelyFrame = 1.0 / 60;

// Points the game's functions and the clock at one world, and the audio library's reports at
// its trace, for as long as it lives.
class Binding {
  public:
    Binding(World& runWorld, Trace& trace) : world(runWorld) { audio::setCallObserver(&trace); }
    ~Binding() { audio::setCallObserver(nullptr); }
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;

  private:
    WorldBinding world;
};

}  // namespace

std::vector<double> frameDurations(const std::vector<ReplayFrame>& frames) {
    std::vector<double> durations(frames.size(), lonelyFrame);
    for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
        std::uint32_t ms = frames[i + 1].tick - frames[i].tick;
        durations[i] = std::min(ms / 1000.0, longestFrame);
    }
    if (frames.size() >= 2) durations.back() = durations[frames.size() - 2];
    return durations;
}

std::vector<FrameRecord> simulate(const std::vector<ReplayFrame>& frames,
                                  const std::string& pluginFolder, std::ostream* traceOut,
                                  const FrameListener& listener) {
    Trace trace(traceOut, pluginFolder);
    World runWorld(trace);
    Binding binding(runWorld, trace);
    loadPluginAfresh(pluginFolder);

    std::vector<double> durations = frameDurations(frames);
    std::vector<FrameRecord> records;
    records.reserve(frames.size());
    double time = 0.0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        runWorld.enterFrame(frames[i]);
        onFrame();
        FrameRecord& record = records.emplace_back();
        record.row = frames[i];
        record.time = time;
        record.duration = durations[i];
        record.state = controllerState.state;
        record.radioLevel = controllerState.radioLevel;
        record.radioVolume = runWorld.radioVolume();
        record.radioVolumeSet = runWorld.radioVolumeSet();
        record.decision = frameDecision;
        record.playing = trace.playingSounds();
        record.started = trace.soundsStartedInFrame();
        if (listener) listener(record);
        time += durations[i];
    }
    runWorld.leaveFrames();
    // The game exits, as it does on Windows: the plug-in is pinned, so its only detach comes at
    // process exit, where it calls nothing; the process's end takes the audio device with it.
    audio::endWithProcess();
    return records;
}
