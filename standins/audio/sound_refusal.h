// Whether the game's audio library would play a sound file, asked before a run: check-game and the
// simulator's header say so instead of letting the plug-in pass the sound over in silence.
#pragma once

#include <string>

namespace audio {

// Why a stream of the file at path (named as the plug-in names it: see platform::linuxPathOf)
// would not open, or "" when it would. The Linux library decodes the file; the browser's, which
// has no decoder of its own, judges it by its header (sound_header.h), with the same reasons.
std::string soundRefusal(const std::string& path);

}  // namespace audio
