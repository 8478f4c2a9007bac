#include "drives/timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>

#include "controller/effect_constants.h"
#include "text/float_text.h"

namespace {

// The simulator's clock for plot and WAV holds a frame to this long (see frameDurations).
constexpr std::uint32_t longestFrameMs = 1000;

class TimelineWriter {
  public:
    TimelineWriter(std::ostream& out, const EffectSettings& settings)
        : out(out), settings(settings) {}

    // first: the frame before is the plug-in and the game as they were at load.
    void frame(const FrameRecord& record, const FrameRecord& previous, const FrameRecord* next,
               bool first) {
        current = &record;
        if (!first) tickEvents(record.row, previous.row);
        gameEvents(record, previous);
        pluginEvents(record, previous, next);
    }

  private:
    void line(const char* who, const std::string& text) {
        char head[48];
        std::snprintf(head, sizeof head, "%9.3f s  frame %5u  %-8s ", current->time,
                      current->row.frame, who);
        out << head << text << '\n';
    }

    // A tick that leaps or runs back: the plug-in times its ducks by it as given, the plot and the
    // WAV hold such a frame to a second.
    void tickEvents(const ReplayFrame& row, const ReplayFrame& before) {
        const std::uint32_t step = row.tick - before.tick;
        if (step > 0x80000000u) {
            line("game", "the tick runs back by " + std::to_string(0u - step) +
                             " ms; the plug-in times by the tick, the plot and WAV go on by 1 s");
        } else if (step > longestFrameMs) {
            line("game", "the tick leaps " + std::to_string(step) +
                             " ms; the plug-in times by the tick, the plot and WAV by 1 s");
        }
    }

    void gameEvents(const FrameRecord& record, const FrameRecord& previous) {
        const ReplayFrame& row = record.row;
        const ReplayFrame& before = previous.row;
        if (row.suspend != before.suspend) line("game", row.suspend != 0 ? "paused" : "resumed");
        if (row.actor != before.actor)
            line("game", row.actor != 0 ? "a player again" : "no player");
        if (row.vehicle != before.vehicle) {
            line("game", row.vehicle != 0 ? "in vehicle " + std::to_string(row.vehicle)
                                          : "out of the vehicle");
        }
        if (row.vehicle != 0 && row.status != before.status) {
            line("game", "status " + std::to_string(row.status) +
                             (row.status >= ineligibleStatus
                                  ? ": the plug-in ignores a vehicle of status 10 or more"
                                  : ""));
        }
        if (row.impact > 0.0f && row.impact != before.impact) {
            const bool crash = row.impact > settings.impactIntensity;
            line("game", "crash, impact force " + floatText(row.impact) +
                             ignoredCrash(record, previous,
                                          crash ? ""
                                                : std::string("not above ") +
                                                      keyOf(&EffectSettings::impactIntensity) +
                                                      ' ' + floatText(settings.impactIntensity)));
        }
        if (row.vehicle != 0 && row.vehicle == before.vehicle && row.health < before.health) {
            const float fall = before.health - row.health;
            const bool crash = fall > healthDropThreshold;
            line("game", "health falls by " + floatText(fall) + " to " + floatText(row.health) +
                             ignoredCrash(record, previous,
                                          crash ? "" : "a fall of 20 or less is no crash"));
        }
        if (row.vehicle == 0) return;
        const bool roofMoved =
            row.roofFound && before.roofFound && row.roofZ - row.z != before.roofZ - before.z;
        if (row.roofFound != before.roofFound || roofMoved) {
            line("game", !row.roofFound
                             ? "out from under the roof"
                             : (roofMoved ? "the roof is now " : "under a roof ") +
                                   floatText(row.roofZ - row.z) + " up" + ignoredRoof(row));
        }
    }

    // Why the plug-in made no crash of an impact or a fall of health (reason when it is too
    // weak), or "" when it made one.
    std::string ignoredCrash(const FrameRecord& record, const FrameRecord& previous,
                             const std::string& weak) const {
        if (record.duckMs) return "";
        const ReplayFrame& row = record.row;
        const std::string why = row.suspend != 0   ? "the game is paused"
                                : row.vehicle == 0 ? "out of the vehicle"
                                : row.actor == 0   ? "no player"
                                : row.status >= ineligibleStatus
                                    ? "status " + std::to_string(row.status)
                                : !weak.empty() ? weak
                                : previous.state == EffectState::ImpactDuck
                                    ? "the radio is already ducked"
                                    : "a fall of health in the first frame of a vehicle";
        return ": ignored, " + why;
    }

    std::string ignoredRoof(const ReplayFrame& row) const {
        const float gap = row.roofZ - row.z;
        if (!settings.tunnelStaticEnabled) {
            return std::string(": ignored, ") + keyOf(&EffectSettings::tunnelStaticEnabled) +
                   " is 0";
        }
        if (gap > roofMinGap && gap < roofMaxGap) return "";
        return ": ignored, the plug-in counts a roof more than 1.2 and less than 25 up";
    }

    void pluginEvents(const FrameRecord& record, const FrameRecord& previous,
                      const FrameRecord* next) {
        // Stops first: the plug-in stops one effect's sounds before it starts the other's.
        for (const std::string& sound : previous.playing) {
            if (!contains(record.playing, sound)) line("plug-in", "stops " + sound);
        }
        for (const std::string& sound : record.playing) {
            if (!contains(previous.playing, sound)) line("plug-in", "plays " + sound);
        }
        // A sound started and stopped within the frame never shows in what is playing after it.
        for (const std::string& sound : record.started) {
            if (!contains(record.playing, sound) && !contains(previous.playing, sound)) {
                line("plug-in", "plays " + sound + " and stops it in the same frame");
            }
        }
        if (record.duckMs) {
            duckTick = record.row.tick;
            duckDrawn = *record.duckMs;
            std::string duck = std::string(stateName(previous.state)) +
                               " -> ImpactDuck: radio ducked to " +
                               std::to_string(settings.radioDuckVolume) + " for " +
                               std::to_string(*record.duckMs) + " ms";
            if (record.state != EffectState::ImpactDuck) {
                duck += ", over in the same frame: -> " + std::string(stateName(record.state));
            }
            line("plug-in", duck);
        }
        if (record.state != previous.state && !record.duckMs) {
            std::string change =
                std::string(stateName(previous.state)) + " -> " + stateName(record.state);
            if (previous.state == EffectState::ImpactDuck) {
                change += ": duck over after " + std::to_string(record.row.tick - duckTick) +
                          " of " + std::to_string(duckDrawn) + " ms";
            }
            line("plug-in", change);
        }
        if (record.radioLevel == previous.radioLevel || record.state == EffectState::ImpactDuck)
            return;
        if (record.duckMs) {  // a duck over in its own frame: the radio goes on from the duck
            line("plug-in", "radio at " + floatText(record.radioLevel));
            return;
        }
        // A ramp moves by at most its step a frame; anything larger is a reset to full.
        if (std::fabs(record.radioLevel - previous.radioLevel) > radioRampStep) {
            line("plug-in", "radio reset to " + floatText(record.radioLevel));
        } else if (!rampGoesOn(record, previous, next)) {
            line("plug-in", "radio ramp ends at " + floatText(record.radioLevel));
        }
    }

    // Whether the next frame moves the radio on in the same direction by at most a ramp step.
    static bool rampGoesOn(const FrameRecord& record, const FrameRecord& previous,
                           const FrameRecord* next) {
        if (next == nullptr || next->state == EffectState::ImpactDuck) return false;
        float step = record.radioLevel - previous.radioLevel;
        float nextStep = next->radioLevel - record.radioLevel;
        return step * nextStep > 0.0f && std::fabs(nextStep) <= radioRampStep;
    }

    static bool contains(const std::vector<std::string>& sounds, const std::string& sound) {
        return std::find(sounds.begin(), sounds.end(), sound) != sounds.end();
    }

    std::ostream& out;
    const EffectSettings& settings;
    const FrameRecord* current = nullptr;
    std::uint32_t duckTick = 0;   // the tick at which the last duck began
    std::uint32_t duckDrawn = 0;  // and the length drawn for it
};

}  // namespace

const char* stateName(EffectState state) {
    switch (state) {
        case EffectState::Idle:
            return "Idle";
        case EffectState::ImpactDuck:
            return "ImpactDuck";
        case EffectState::TunnelStatic:
            return "TunnelStatic";
    }
    return "?";
}

void writeTimeline(std::ostream& out, const std::vector<FrameRecord>& records,
                   const EffectSettings& settings) {
    TimelineWriter writer(out, settings);
    FrameRecord loaded;  // the plug-in and the game before the first frame
    loaded.row.health = records.empty() ? loaded.row.health : records.front().row.health;
    loaded.row.vehicle = records.empty() ? 0 : records.front().row.vehicle;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const FrameRecord* next = i + 1 < records.size() ? &records[i + 1] : nullptr;
        writer.frame(records[i], i == 0 ? loaded : records[i - 1], next, i == 0);
    }
}
