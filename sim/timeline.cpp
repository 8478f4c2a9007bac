#include "sim/timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>

#include "controller/effect_constants.h"
#include "standins/world/float_text.h"

namespace {

class TimelineWriter {
  public:
    explicit TimelineWriter(std::ostream& out) : out(out) {}

    void frame(const FrameRecord& record, const FrameRecord& previous, const FrameRecord* next) {
        current = &record;
        gameEvents(record.row, previous.row);
        pluginEvents(record, previous, next);
    }

  private:
    void line(const char* who, const std::string& text) {
        char head[48];
        std::snprintf(head, sizeof head, "%9.3f s  frame %5u  %-8s ", current->time,
                      current->row.frame, who);
        out << head << text << '\n';
    }

    void gameEvents(const ReplayFrame& row, const ReplayFrame& before) {
        if (row.suspend != before.suspend) line("game", row.suspend != 0 ? "paused" : "resumed");
        if (row.actor != before.actor)
            line("game", row.actor != 0 ? "a player again" : "no player");
        if (row.vehicle != before.vehicle) {
            line("game", row.vehicle != 0 ? "in vehicle " + std::to_string(row.vehicle)
                                          : "out of the vehicle");
        }
        if (row.vehicle == 0) return;
        if (row.status != before.status) line("game", "status " + std::to_string(row.status));
        if (row.impact > 0.0f && row.impact != before.impact) {
            line("game", "crash, impact force " + floatText(row.impact));
        }
        if (row.vehicle == before.vehicle && row.health < before.health) {
            line("game", "health falls by " + floatText(before.health - row.health) + " to " +
                             floatText(row.health));
        }
        if (row.roofFound != before.roofFound) {
            line("game", row.roofFound ? "under a roof " + floatText(row.roofZ - row.z) + " up"
                                       : "out from under the roof");
        }
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
        if (record.duckMs) {
            duckTime = record.time;
            duckDrawn = *record.duckMs;
            line("plug-in", std::string(stateName(previous.state)) +
                                " -> ImpactDuck: radio ducked to " +
                                std::to_string(record.radioVolume) + " for " +
                                std::to_string(*record.duckMs) + " ms");
        }
        bool stateShown = record.duckMs && record.state == EffectState::ImpactDuck;
        if (record.state != previous.state && !stateShown) {
            std::string change =
                std::string(stateName(previous.state)) + " -> " + stateName(record.state);
            if (previous.state == EffectState::ImpactDuck) {
                change += ": duck over after " +
                          std::to_string(std::lround((record.time - duckTime) * 1000)) + " of " +
                          std::to_string(duckDrawn) + " ms";
            }
            line("plug-in", change);
        }
        if (record.radioLevel == previous.radioLevel || record.state == EffectState::ImpactDuck)
            return;
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
    const FrameRecord* current = nullptr;
    double duckTime = 0.0;        // when the last duck began
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

void writeTimeline(std::ostream& out, const std::vector<FrameRecord>& records) {
    TimelineWriter writer(out);
    FrameRecord loaded;  // the plug-in and the game before the first frame
    loaded.row.health = records.empty() ? loaded.row.health : records.front().row.health;
    loaded.row.vehicle = records.empty() ? 0 : records.front().row.vehicle;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const FrameRecord* next = i + 1 < records.size() ? &records[i + 1] : nullptr;
        writer.frame(records[i], i == 0 ? loaded : records[i - 1], next);
    }
}
