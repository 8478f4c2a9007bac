// A stand-in for the audio library that records every call into the call log (while it is on).
// Streams get handles 1, 2, 3, ... in the order they are created, unless a test sets the answer for
// a path.
#pragma once

#include <cstdint>
#include <string>

#include "sound/bass_api.h"

// The calls that show which sounds a frame touched, counted whether or not the log is on.
struct RecordingBassCalls {
    std::uint64_t streamsCreated = 0;
    std::uint64_t plays = 0;       // BASS_ChannelPlay
    std::uint64_t stops = 0;       // BASS_ChannelStop
    std::uint64_t volumeSets = 0;  // BASS_ChannelSetAttribute
};

namespace recordingBass {

// Forgets the answers set below, starts handles at 1 again and the counts at 0; does not clear
// the call log.
void reset();

const RecordingBassCalls& calls();

// BASS_StreamCreateFile answers this handle for this exact path (0: the file cannot be opened).
void answerStream(const std::string& path, HSTREAM handle);

// The nth call from now of any entry point (1: the next one) throws std::runtime_error after it
// is logged.
void throwOnCall(int n = 1);

}  // namespace recordingBass
