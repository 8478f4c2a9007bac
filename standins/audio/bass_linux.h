// The seven audio-library entry points of sound/bass_api.h on Linux, over an offline output
// device: nothing plays by itself, the caller pulls the mix with renderOutput.
//
// Where the real library's behaviour is ours to choose:
// - BASS_Init opens the device for device -1 (the default device) and 1 (the only one); other
//   numbers answer FALSE. The mix runs at outputRate whatever freq asks; flags, win and dsguid
//   are ignored.
// - BASS_StreamCreateFile reads a file by narrow path only (mem FALSE, offset 0, length 0) and
//   takes no flag but BASS_SAMPLE_LOOP; anything else answers 0. The path is found as the other
//   Win32 calls find it (platform::linuxPathOf): '\' read as '/', as the plug-in builds its paths
//   the Windows way, a relative path from the game's current folder, letter case ignored. A file
//   cut part-way plays what decodes.
// - Handles count up from 1 in each session (BASS_Init to BASS_Free): none is given out twice in
//   a session, and every session hands out the same handles for the same calls.
// - A negative or non-finite volume answers FALSE and leaves the volume as it was.
// - A non-looping stream that reached its end stays there: restart FALSE has nothing left to
//   play, restart TRUE plays it again.
#pragma once

#include <cstddef>

#include "sound/bass_api.h"
#include "standins/audio/call_observer.h"
#include "standins/audio/sound_stream.h"

namespace audio {

// Mixes the next frameCount frames of every playing stream into frames (frameCount interleaved
// L/R pairs at outputRate): the sum of each stream times its volume. Answers false, and writes
// silence, while no device is open. frames may be null when frameCount is 0.
bool renderOutput(float* frames, std::size_t frameCount);

}  // namespace audio
