// The seven audio-library entry points over this build's output device: what the real library
// accepts is checked here (see bass_linux.h), every call is reported to the observer once done,
// and the device does the rest.
#include <cmath>

#include "standins/audio/call_observer.h"
#include "standins/audio/output_device.h"

namespace {

audio::CallObserver* observer = nullptr;

constexpr int defaultDevice = -1;
constexpr int onlyDevice = 1;

// A request the plug-in can make: a whole file named by a narrow path, looping or not.
bool isFileRequest(BASS_BOOL mem, const void* file, BASS_QWORD offset, BASS_QWORD length,
                   BASS_DWORD flags) {
    return mem == 0 && file != nullptr && offset == 0 && length == 0 &&
           (flags & ~BASS_SAMPLE_LOOP) == 0;
}

}  // namespace

extern "C" {

BASS_BOOL BASS_Init(int deviceNumber, BASS_DWORD freq, BASS_DWORD flags, void* /*win*/,
                    const void* /*dsguid*/) {
    if (observer != nullptr) observer->bassInit(deviceNumber, freq, flags);
    return (deviceNumber == defaultDevice || deviceNumber == onlyDevice) && audio::device::open();
}

BASS_BOOL BASS_Free() {
    if (observer != nullptr) observer->bassFree();
    return audio::device::close();
}

HSTREAM BASS_StreamCreateFile(BASS_BOOL mem, const void* file, BASS_QWORD offset, BASS_QWORD length,
                              BASS_DWORD flags) {
    const HSTREAM handle =
        audio::device::isOpen() && isFileRequest(mem, file, offset, length, flags)
            ? audio::device::addStream(static_cast<const char*>(file),
                                       (flags & BASS_SAMPLE_LOOP) != 0)
            : 0;
    // Only a file named by a narrow path is worth reporting: that is all the plug-in passes.
    if (observer != nullptr && mem == 0 && file != nullptr) {
        observer->bassStreamCreateFile(static_cast<const char*>(file), flags, handle);
    }
    return handle;
}

BASS_BOOL BASS_StreamFree(HSTREAM handle) {
    if (observer != nullptr) observer->bassStreamFree(handle);
    return audio::device::removeStream(handle);
}

BASS_BOOL BASS_ChannelPlay(BASS_DWORD handle, BASS_BOOL restart) {
    if (observer != nullptr) observer->bassChannelPlay(handle, restart);
    return audio::device::play(handle, restart != 0);
}

BASS_BOOL BASS_ChannelStop(BASS_DWORD handle) {
    if (observer != nullptr) observer->bassChannelStop(handle);
    return audio::device::stop(handle);
}

BASS_BOOL BASS_ChannelSetAttribute(BASS_DWORD handle, BASS_DWORD attrib, float value) {
    if (observer != nullptr) observer->bassChannelSetAttribute(handle, attrib, value);
    return attrib == BASS_ATTRIB_VOL && std::isfinite(value) && value >= 0.0f &&
           audio::device::setVolume(handle, value);
}

}  // extern "C"

void audio::setCallObserver(CallObserver* newObserver) {
    observer = newObserver;
}

void audio::endWithProcess() {
    audio::device::close();
}
