// Someone who wants to hear of every call the plug-in makes into the audio library, with its
// arguments and, where the call makes something, its result. The Linux library and the browser's
// stand-in report to the one set with audio::setCallObserver; a Windows stand-in can report to the
// same interface.
#pragma once

#include "sound/bass_api.h"

namespace audio {

class CallObserver {
  public:
    virtual ~CallObserver() = default;

    virtual void bassInit(int device, BASS_DWORD freq, BASS_DWORD flags) = 0;
    // path is the narrow file name as the plug-in passed it; handle is the result, 0 on failure.
    virtual void bassStreamCreateFile(const char* path, BASS_DWORD flags, HSTREAM handle) = 0;
    virtual void bassChannelSetAttribute(BASS_DWORD handle, BASS_DWORD attrib, float value) = 0;
    virtual void bassChannelPlay(BASS_DWORD handle, BASS_BOOL restart) = 0;
    virtual void bassChannelStop(BASS_DWORD handle) = 0;
    virtual void bassStreamFree(HSTREAM handle) = 0;
    virtual void bassFree() = 0;
};

// From now on every entry point reports its call, once done, to observer; nullptr: to no one.
void setCallObserver(CallObserver* observer);

}  // namespace audio
