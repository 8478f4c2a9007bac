// A stand-in for the audio library that records every call into the call log. Streams get handles
// 1, 2, 3, ... in the order they are created, unless a test sets the answer for a path.
#pragma once

#include <string>

#include "sound/bass_api.h"

namespace recordingBass {

// Forgets the answers set below and starts handles at 1 again; does not clear the call log.
void reset();

// BASS_StreamCreateFile answers this handle for this exact path (0: the file cannot be opened).
void answerStream(const std::string& path, HSTREAM handle);

// The nth call from now of any entry point (1: the next one) throws std::runtime_error after it
// is logged.
void throwOnCall(int n = 1);

}  // namespace recordingBass
