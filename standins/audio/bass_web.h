// The seven audio-library entry points of sound/bass_api.h in the browser, where libmpg123 is not
// at hand: an output device that plays nothing itself but keeps, in order, what it was asked to do,
// so that the tuner plays the same sounds with the browser's own decoder and mixer.
//
// It answers the plug-in as the Linux library does (same handles, same failures), with one
// difference: a file counts as a sound when it is a regular file that is not empty; whether it
// decodes is for the browser to find out when it plays it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound/bass_api.h"
#include "standins/audio/call_observer.h"

namespace audio {

// One thing the device did: a stream opened, started, stopped, given a volume or closed.
struct DeviceCall {
    enum class Kind : std::uint8_t { open, play, stop, setVolume, close };
    Kind kind;
    HSTREAM handle;
    std::string path;      // open: the file as the plug-in named it
    bool loop = false;     // open: whether the stream loops
    bool restart = false;  // play: from the first sample
    float volume = 0.0f;   // setVolume: 1.0 is the file's own level
};

// What the device did since the last call, in order, and forgets it.
std::vector<DeviceCall> takeDeviceCalls();

}  // namespace audio
