#include "standins/audio/bass_web.h"

#include <sys/stat.h>

#include <map>
#include <optional>
#include <utility>

#include "platform/win32_api.h"
#include "standins/audio/output_device.h"
#include "standins/audio/sound_header.h"
#include "standins/audio/sound_refusal.h"

namespace {

struct Device {
    std::map<HSTREAM, bool> streams;  // the open streams: whether each loops
    HSTREAM lastHandle = 0;
};

std::optional<Device> recorder;
std::vector<audio::DeviceCall> done;

bool isOpen(HSTREAM handle) {
    return recorder.has_value() && recorder->streams.contains(handle);
}

// Keeps what the device did, for a stream it holds.
bool record(HSTREAM handle, audio::DeviceCall call) {
    if (!isOpen(handle)) return false;
    call.handle = handle;
    done.push_back(std::move(call));
    return true;
}

}  // namespace

bool audio::device::open() {
    return openOnce(recorder);
}

bool audio::device::close() {
    if (!recorder.has_value()) return false;
    for (const auto& [handle, loop] : recorder->streams) {
        done.push_back({.kind = DeviceCall::Kind::close, .handle = handle});
    }
    recorder.reset();
    return true;
}

bool audio::device::isOpen() {
    return recorder.has_value();
}

HSTREAM audio::device::addStream(const std::string& path, bool loop) {
    if (!recorder.has_value() || !audio::soundRefusal(path).empty()) return 0;
    const HSTREAM handle = ++recorder->lastHandle;
    recorder->streams[handle] = loop;
    done.push_back({.kind = DeviceCall::Kind::open, .handle = handle, .path = path, .loop = loop});
    return handle;
}

bool audio::device::removeStream(HSTREAM handle) {
    if (!record(handle, {.kind = DeviceCall::Kind::close})) return false;
    recorder->streams.erase(handle);
    return true;
}

bool audio::device::play(HSTREAM handle, bool restart) {
    return record(handle, {.kind = DeviceCall::Kind::play, .restart = restart});
}

bool audio::device::stop(HSTREAM handle) {
    return record(handle, {.kind = DeviceCall::Kind::stop});
}

bool audio::device::setVolume(HSTREAM handle, float volume) {
    return record(handle, {.kind = DeviceCall::Kind::setVolume, .volume = volume});
}

std::string audio::soundRefusal(const std::string& path) {
    const std::string file = platform::linuxPathOf(path);
    struct stat status {};
    if (stat(file.c_str(), &status) != 0) return "cannot be opened";
    if (!S_ISREG(status.st_mode)) return "not a file";
    return headerRefusal(file);
}

std::vector<audio::DeviceCall> audio::takeDeviceCalls() {
    return std::exchange(done, {});
}
