// A stand-in for the audio library for measurements: the seven entry points succeed at once,
// without logging or allocating. Streams get handles 1, 2, 3, ... in the order they are created.
// It counts the calls that show which sounds a frame touched.
#pragma once

#include <cstdint>

struct QuietBassCalls {
    std::uint64_t streamsCreated = 0;
    std::uint64_t plays = 0;       // BASS_ChannelPlay
    std::uint64_t stops = 0;       // BASS_ChannelStop
    std::uint64_t volumeSets = 0;  // BASS_ChannelSetAttribute
};

namespace quietBass {

// Sets the counts to zero and starts handles at 1 again.
void reset();

const QuietBassCalls& calls();

}  // namespace quietBass
