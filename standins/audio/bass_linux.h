// The seven audio-library entry points of sound/bass_api.h on Linux, over an offline output
// device: nothing plays by itself, the caller pulls the mix with renderOutput.
//
// Where the real library's behaviour is ours to choose:
// - BASS_Init opens the device for device -1 (the default device) and 1 (the only one); other
//   numbers answer FALSE. The mix runs at outputRate whatever freq asks; flags, win and dsguid
//   are ignored.
// - BASS_StreamCreateFile reads a file by narrow path only (mem FALSE, offset 0, length 0) and
//   takes no flag but BASS_SAMPLE_LOOP; anything else answers 0. A '\' in the path is read as
//   '/', as the plug-in builds its paths the Windows way. A file cut part-way plays what decodes.
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

// From now on every entry point reports its call, once done, to observer; nullptr: to no one.
void setCallObserver(CallObserver* observer);

// Closes the device as the end of the game's process does: no entry point is called and nothing
// is reported, and the next BASS_Init opens a new session.
void endWithProcess();

}  // namespace audio
