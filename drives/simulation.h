// Runs the plug-in's own code through a replay: a freshly loaded plug-in in the given folder, the
// game answering each frame as its row says, onFrame once a frame, and the unload (shutDown) after
// the last row. What the plug-in did in each frame comes back as a FrameRecord.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "controller/controller.h"
#include "controller/effect_constants.h"
#include "standins/world/replay.h"

struct FrameRecord {
    ReplayFrame row;                        // what the game answered
    double time = 0.0;                      // seconds from the first frame, by the tick count
    double duration = 0.0;                  // seconds until the next frame
    EffectState state = EffectState::Idle;  // after the frame
    float radioLevel = fullRadioVolume;
    std::uint8_t radioVolume = fullRadioVolume;  // the game's radio volume after the frame
    bool radioVolumeSet = false;                 // whether the plug-in set it in this frame
    FrameDecision decision;                      // what the plug-in decided in the frame, and why
    std::vector<std::string> playing;            // sounds started and not stopped, by file name
    std::vector<std::string> started;  // sounds started in this frame, stopped again or not
};

// Called after each frame, before the next one: the time to render what the frame started.
using FrameListener = std::function<void(const FrameRecord&)>;

// trace, when not null, receives the trace of every call (see trace.h). The plug-in's state is
// reset first, so that every run starts as a fresh load of the plug-in.
std::vector<FrameRecord> simulate(const std::vector<ReplayFrame>& frames,
                                  const std::string& pluginFolder, std::ostream* trace,
                                  const FrameListener& listener = {});

// The seconds of each frame as the tick count tells them: the next frame's tick minus this one's
// (modulo 2^32, so a drive across the counter's wrap keeps going), held to one second; the last
// frame lasts as long as the one before it, or a 60th of a second when it is the only one.
std::vector<double> frameDurations(const std::vector<ReplayFrame>& frames);
