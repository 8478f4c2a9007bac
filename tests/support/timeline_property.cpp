#include "tests/support/timeline_property.h"

#include <algorithm>
#include <map>

#include "drives/timeline.h"
#include "sound/sound_player.h"

namespace {

struct FrameLines {
    std::vector<std::string> lines;
    bool countedCrash = false;
    bool duckLine = false;
    std::vector<std::string> ignoredBecause;  // the reasons of the crashes called ignored
    bool statusLine = false;                  // the game's status changed
    bool statusIgnored = false;               // and the line says the plug-in ignores it
    bool roofLine = false;                    // a roof came or moved
    std::string roofIgnoredBecause;           // the reason the line gives, "" when none
};

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

void take(FrameLines& frame, const char* who, const std::string& text) {
    frame.lines.push_back(std::string(who) + "  " + text);
    const std::string ignored = ": ignored, ";
    if (std::string(who) == "plug-in") {
        frame.duckLine = frame.duckLine || text.find("-> ImpactDuck") != std::string::npos;
    } else if (startsWith(text, "crash, ") || startsWith(text, "health falls by ")) {
        const std::size_t at = text.find(ignored);
        if (at == std::string::npos)
            frame.countedCrash = true;
        else
            frame.ignoredBecause.push_back(text.substr(at + ignored.size()));
    } else if (startsWith(text, "under a roof ") || startsWith(text, "the roof is now ")) {
        frame.roofLine = true;
        const std::size_t at = text.find(ignored);
        if (at != std::string::npos) frame.roofIgnoredBecause = text.substr(at + ignored.size());
    } else if (startsWith(text, "status ")) {
        frame.statusLine = true;
        frame.statusIgnored = text.find("the plug-in ignores") != std::string::npos;
    }
}

bool impactSoundStarted(const FrameRecord& record) {
    return std::any_of(record.started.begin(), record.started.end(), [](const std::string& name) {
        return std::any_of(std::begin(pluginSounds), std::end(pluginSounds),
                           [&](const PluginSound& sound) {
                               return sound.role == SoundRole::impact && name == sound.fileName;
                           });
    });
}

// Whether an ignored crash's reason is the one the frame's gate gives, or none of the gates'
// when the plug-in watched the frame.
bool reasonFitsGate(const std::string& reason, const FrameRecord& record) {
    const bool paused = reason == "the game is paused";
    const bool away = reason == "out of the vehicle" || reason == "no player";
    const bool status = startsWith(reason, "status ");
    switch (record.decision.gate) {
        case FrameGate::paused:
            return paused;
        case FrameGate::nothingToWatch:
            return away;
        case FrameGate::ineligibleStatus:
            return status && reason == "status " + std::to_string(record.row.status);
        default:
            return !paused && !away && !status;
    }
}

std::string failure(const FrameRecord& record, const FrameLines& frame, const std::string& what) {
    std::string text = "frame " + std::to_string(record.row.frame) + ": " + what;
    for (const std::string& line : frame.lines) text += "\n  " + line;
    return text;
}

}  // namespace

std::string timelineDisagreement(const std::vector<FrameRecord>& records,
                                 const EffectSettings& settings) {
    std::map<std::size_t, FrameLines> frames;
    eachTimelineLine(records, settings,
                     [&](std::size_t i, const char* who, const std::string& text) {
                         take(frames[i], who, text);
                     });
    for (std::size_t i = 0; i < records.size(); ++i) {
        const FrameRecord& record = records[i];
        const FrameLines& frame = frames[i];
        const bool duck = impactSoundStarted(record);
        if (frame.countedCrash != duck)
            return failure(
                record, frame,
                duck ? "a duck starts, no crash counted" : "a crash counted, no duck starts");
        if (frame.duckLine != duck) return failure(record, frame, "the duck line and the trace");
        for (const std::string& reason : frame.ignoredBecause) {
            if (!reasonFitsGate(reason, record))
                return failure(record, frame, "ignored for another reason than the plug-in's");
        }
        const bool underRoof = record.decision.gate == FrameGate::watched &&
                               record.decision.roof == RoofAnswer::underRoof;
        if (frame.roofLine && frame.roofIgnoredBecause.empty() != underRoof)
            return failure(record, frame, "the roof line and the plug-in's probe");
        if (!frame.roofIgnoredBecause.empty() && !reasonFitsGate(frame.roofIgnoredBecause, record))
            return failure(record, frame, "a roof ignored for another reason than the plug-in's");
        const bool statusGate = record.decision.gate == FrameGate::ineligibleStatus;
        if (frame.statusLine && frame.statusIgnored != statusGate)
            return failure(record, frame, "the status line and the plug-in's gate");
    }
    return "";
}
