#include "standins/audio/bass_web.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <utility>

namespace {

struct Device {
    std::map<HSTREAM, bool> streams;  // the open streams: whether each loops
    HSTREAM lastHandle = 0;
};

std::optional<Device> device;
std::vector<audio::DeviceCall> done;
audio::CallObserver* observer = nullptr;

constexpr int defaultDevice = -1;
constexpr int onlyDevice = 1;

bool isSoundFile(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');  // the plug-in builds Windows paths
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0;
}

bool isOpen(BASS_DWORD handle) {
    return device.has_value() && device->streams.contains(handle);
}

HSTREAM createStream(BASS_BOOL mem, const void* file, BASS_QWORD offset, BASS_QWORD length,
                     BASS_DWORD flags) {
    if (!device.has_value() || mem != 0 || file == nullptr || offset != 0 || length != 0 ||
        (flags & ~BASS_SAMPLE_LOOP) != 0 || !isSoundFile(static_cast<const char*>(file))) {
        return 0;
    }
    const bool loop = (flags & BASS_SAMPLE_LOOP) != 0;
    const HSTREAM handle = ++device->lastHandle;
    device->streams[handle] = loop;
    done.push_back({.kind = audio::DeviceCall::Kind::open,
                    .handle = handle,
                    .path = static_cast<const char*>(file),
                    .loop = loop});
    return handle;
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
    if (!device.has_value()) return 0;
    for (const auto& [handle, loop] : device->streams) {
        done.push_back({.kind = audio::DeviceCall::Kind::close, .handle = handle});
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
    if (!isOpen(handle)) return 0;
    device->streams.erase(handle);
    done.push_back({.kind = audio::DeviceCall::Kind::close, .handle = handle});
    return 1;
}

BASS_BOOL BASS_ChannelPlay(BASS_DWORD handle, BASS_BOOL restart) {
    if (observer != nullptr) observer->bassChannelPlay(handle, restart);
    if (!isOpen(handle)) return 0;
    done.push_back(
        {.kind = audio::DeviceCall::Kind::play, .handle = handle, .restart = restart != 0});
    return 1;
}

BASS_BOOL BASS_ChannelStop(BASS_DWORD handle) {
    if (observer != nullptr) observer->bassChannelStop(handle);
    if (!isOpen(handle)) return 0;
    done.push_back({.kind = audio::DeviceCall::Kind::stop, .handle = handle});
    return 1;
}

BASS_BOOL BASS_ChannelSetAttribute(BASS_DWORD handle, BASS_DWORD attrib, float value) {
    if (observer != nullptr) observer->bassChannelSetAttribute(handle, attrib, value);
    if (!isOpen(handle) || attrib != BASS_ATTRIB_VOL || !std::isfinite(value) || value < 0.0f) {
        return 0;
    }
    done.push_back({.kind = audio::DeviceCall::Kind::setVolume, .handle = handle, .volume = value});
    return 1;
}

}  // extern "C"

std::vector<audio::DeviceCall> audio::takeDeviceCalls() {
    return std::exchange(done, {});
}

void audio::setCallObserver(CallObserver* newObserver) {
    observer = newObserver;
}
