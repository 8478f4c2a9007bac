#include "standins/audio/bass_linux.h"

#include <algorithm>
#include <optional>
#include <string>

#include "standins/audio/mixer.h"

namespace {

// The open device, between BASS_Init and BASS_Free. Constant-initialised: no work at load.
constinit std::optional<audio::Mixer> device;

audio::CallObserver* observer = nullptr;

constexpr int defaultDevice = -1;
constexpr int onlyDevice = 1;

// The path as Linux spells it.
std::string linuxPath(const char* path) {
    std::string result(path);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

HSTREAM createStream(BASS_BOOL mem, const void* file, BASS_QWORD offset, BASS_QWORD length,
                     BASS_DWORD flags) {
    if (!device.has_value() || mem != 0 || file == nullptr || offset != 0 || length != 0 ||
        (flags & ~BASS_SAMPLE_LOOP) != 0) {
        return 0;
    }
    const bool loop = (flags & BASS_SAMPLE_LOOP) != 0;
    std::unique_ptr<audio::SoundStream> stream =
        audio::SoundStream::open(linuxPath(static_cast<const char*>(file)), loop);
    return stream != nullptr ? device->add(std::move(stream)) : 0;
}

}  // namespace

extern "C" {

BASS_BOOL BASS_Init(int deviceNumber, BASS_DWORD freq, BASS_DWORD flags, void* /*win*/,
                    const void* /*dsguid*/) {
    if (observer != nullptr) observer->bassInit(deviceNumber, freq, flags);
    if (device.has_value() || (deviceNumber != defaultDevice && deviceNumber != onlyDevice)) {
        return 0;
    }
    device.emplace();
    return 1;
}

BASS_BOOL BASS_Free() {
    if (observer != nullptr) observer->bassFree();
    if (!device.has_value()) {
        return 0;
    }
    device.reset();
    return 1;
}

HSTREAM BASS_StreamCreateFile(BASS_BOOL mem, const void* file, BASS_QWORD offset, BASS_QWORD length,
                              BASS_DWORD flags) {
    HSTREAM handle = createStream(mem, file, offset, length, flags);
    // Only a file named by a narrow path is worth reporting: that is all the plug-in passes.
    if (observer != nullptr && mem == 0 && file != nullptr) {
        observer->bassStreamCreateFile(static_cast<const char*>(file), flags, handle);
    }
    return handle;
}

BASS_BOOL BASS_StreamFree(HSTREAM handle) {
    if (observer != nullptr) observer->bassStreamFree(handle);
    return device.has_value() && device->remove(handle);
}

BASS_BOOL BASS_ChannelPlay(BASS_DWORD handle, BASS_BOOL restart) {
    if (observer != nullptr) observer->bassChannelPlay(handle, restart);
    return device.has_value() && device->play(handle, restart != 0);
}

BASS_BOOL BASS_ChannelStop(BASS_DWORD handle) {
    if (observer != nullptr) observer->bassChannelStop(handle);
    return device.has_value() && device->stop(handle);
}

BASS_BOOL BASS_ChannelSetAttribute(BASS_DWORD handle, BASS_DWORD attrib, float value) {
    if (observer != nullptr) observer->bassChannelSetAttribute(handle, attrib, value);
    return device.has_value() && attrib == BASS_ATTRIB_VOL && device->setVolume(handle, value);
}

}  // extern "C"

bool audio::renderOutput(float* frames, std::size_t frameCount) {
    if (!device.has_value()) {
        std::fill_n(frames, frameCount * audio::outputChannels, 0.0f);
        return false;
    }
    device->render(frames, frameCount);
    return true;
}

void audio::setCallObserver(CallObserver* newObserver) {
    observer = newObserver;
}

void audio::endWithProcess() {
    device.reset();
}
