#include "drives/timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>

#include "controller/effect_constants.h"
#include "drives/collisions.h"
#include "text/float_text.h"

namespace {

// The simulator's clock for plot and WAV holds a frame to this long (see frameDurations).
constexpr std::uint32_t longestFrameMs = 1000;

class TimelineWriter {
  public:
    TimelineWriter(const TimelineSink& sink, const EffectSettings& settings)
        : sink(sink), settings(settings) {}

    // first: the frame before is the plug-in and the game as they were at load.
    void frame(std::size_t index, const FrameRecord& record, const FrameRecord& previous,
               const FrameRecord* next, bool first) {
        current = index;
        if (!first) tickEvents(record.row, previous.row);
        gameEvents(record, previous);
        pluginEvents(record, previous, next);
    }

  private:
    void line(const char* who, const std::string& text) { sink(current, who, text); }

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
                             (record.decision.gate == FrameGate::ineligibleStatus
                                  ? ": the plug-in ignores a vehicle of status 10 or more"
                                  : ""));
        }
        const FrameCrashes crashes = crashesOf(record, previous);
        if (crashes.force) {
            line("game",
                 "crash, impact force " + floatText(crashes.force->value) +
                     ignored(crashes.force->verdict, row,
                             std::string("not above ") + keyOf(&EffectSettings::impactIntensity) +
                                 ' ' + floatText(settings.impactIntensity)));
        }
        if (crashes.fall) {
            line("game", "health falls by " + floatText(crashes.fall->value) + " to " +
                             floatText(crashes.fall->health) +
                             ignored(crashes.fall->verdict, row,
                                     "a fall of " + floatText(healthDropThreshold) +
                                         " or less is no crash"));
        }
        if (row.vehicle == 0) return;
        const bool roofMoved =
            row.roofFound && before.roofFound && row.roofZ - row.z != before.roofZ - before.z;
        if (row.roofFound != before.roofFound || roofMoved) {
            line("game", !row.roofFound ? "out from under the roof"
                                        : (roofMoved ? "the roof is now " : "under a roof ") +
                                              floatText(row.roofZ - row.z) + " up" +
                                              ignored(roofVerdict(record.decision), row, ""));
        }
    }

    // ": ignored, " and why the plug-in made no duck of a crash of the game's, or no effect of a
    // roof; "" when it made one. weak: why a crash was too weak, by its kind.
    static std::string ignored(Verdict verdict, const ReplayFrame& row, const std::string& weak) {
        const auto why = [&]() -> std::string {
            switch (verdict) {
                case Verdict::belowThreshold:
                    return weak;
                case Verdict::fromNoHealth:
                    return "no fall from a health of 0 or less is a crash";
                case Verdict::firstVehicleFrame:
                    return "a fall of health in the first frame of a vehicle";
                case Verdict::alreadyDucked:
                    return "the radio is already ducked";
                case Verdict::paused:
                    return "the game is paused";
                case Verdict::outOfVehicle:
                    return row.vehicle == 0 ? "out of the vehicle" : "no player";
                case Verdict::ignoredStatus:
                    return "status " + std::to_string(row.status);
                case Verdict::tunnelStaticOff:
                    return std::string(keyOf(&EffectSettings::tunnelStaticEnabled)) + " is 0";
                case Verdict::roofTooLow:
                case Verdict::roofTooHigh:
                    return "the plug-in counts a roof more than " + floatText(roofMinGap) +
                           " and less than " + floatText(roofMaxGap) + " up";
                case Verdict::noRoofFound:
                    return "the plug-in's probe found no roof";
                default:
                    return verdictName(verdict);
            }
        };
        return verdict == Verdict::counted ? "" : ": ignored, " + why();
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
        const FrameDecision& decision = record.decision;
        if (decision.duckStarted) {
            duckTick = record.row.tick;
            duckDrawn = decision.duckMs;
            std::string duck = std::string(stateName(decision.stateBefore)) +
                               " -> ImpactDuck: radio ducked to " +
                               std::to_string(settings.radioDuckVolume) + " for " +
                               std::to_string(decision.duckMs) + " ms";
            if (decision.duckEnded) {
                duck +=
                    ", over in the same frame: -> " + std::string(stateName(decision.stateAfter));
            }
            line("plug-in", duck);
        }
        if (decision.stateAfter != decision.stateBefore && !decision.duckStarted) {
            std::string change = std::string(stateName(decision.stateBefore)) + " -> " +
                                 stateName(decision.stateAfter);
            if (decision.stateBefore == EffectState::ImpactDuck) {
                change += ": duck over after " + std::to_string(record.row.tick - duckTick) +
                          " of " + std::to_string(duckDrawn) + " ms";
            }
            line("plug-in", change);
        }
        if (record.radioLevel == previous.radioLevel || record.state == EffectState::ImpactDuck)
            return;
        if (decision.duckStarted) {  // a duck over in its own frame: the radio goes on from it
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

    const TimelineSink& sink;
    const EffectSettings& settings;
    std::size_t current = 0;
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

void eachTimelineLine(const std::vector<FrameRecord>& records, const EffectSettings& settings,
                      const TimelineSink& sink) {
    TimelineWriter writer(sink, settings);
    const FrameRecord loaded = beforeFirst(records);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const FrameRecord* next = i + 1 < records.size() ? &records[i + 1] : nullptr;
        writer.frame(i, records[i], i == 0 ? loaded : records[i - 1], next, i == 0);
    }
}

void writeTimeline(std::ostream& out, const std::vector<FrameRecord>& records,
                   const EffectSettings& settings) {
    eachTimelineLine(records, settings,
                     [&](std::size_t i, const char* who, const std::string& text) {
                         char head[48];
                         std::snprintf(head, sizeof head, "%9.3f s  frame %5u  %-8s ",
                                       records[i].time, records[i].row.frame, who);
                         out << head << text << '\n';
                     });
}
