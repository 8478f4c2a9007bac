// The output device behind the seven audio-library entry points (bass_front.cpp), one for each
// build that has no real audio library: the Linux mixer over libmpg123 (bass_linux.cpp), and the
// browser's device that keeps what it was asked to do (bass_web.cpp). The entry points check the
// arguments and report every call; the device does the work.
#pragma once

#include <optional>
#include <string>

#include "sound/bass_api.h"

namespace audio::device {

bool open();   // false when it is open already
bool close();  // closes every stream too; false when it was not open
bool isOpen();
// A stream of the file at path (as the plug-in named it), silent until played: its handle, nonzero
// and counting up from 1 in each session, or 0 when the file is no sound.
HSTREAM addStream(const std::string& path, bool loop);
// Each answers false, and does nothing, for a handle that is not open.
bool removeStream(HSTREAM handle);
bool play(HSTREAM handle, bool restart);
bool stop(HSTREAM handle);
bool setVolume(HSTREAM handle, float volume);  // any finite volume from 0 up

}  // namespace audio::device

namespace audio {

// Opens a device of the build's own kind unless one is open: what device::open answers.
template <typename Device>
bool openOnce(std::optional<Device>& device) {
    if (device.has_value()) return false;
    device.emplace();
    return true;
}

// Closes the device as the end of the game's process does: no entry point is called and nothing is
// reported, and the next BASS_Init opens a new session.
void endWithProcess();

}  // namespace audio
