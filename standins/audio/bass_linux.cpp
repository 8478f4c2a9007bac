// The Linux output device: the offline mixer, over libmpg123's decoding.
#include "standins/audio/bass_linux.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/win32_api.h"
#include "standins/audio/mixer.h"
#include "standins/audio/output_device.h"
#include "standins/audio/sound_refusal.h"

namespace {

// The open device, between BASS_Init and BASS_Free. Constant-initialised: no work at load.
constinit std::optional<audio::Mixer> mixer;

}  // namespace

bool audio::device::open() {
    return openOnce(mixer);
}

bool audio::device::close() {
    if (!mixer.has_value()) return false;
    mixer.reset();
    return true;
}

bool audio::device::isOpen() {
    return mixer.has_value();
}

HSTREAM audio::device::addStream(const std::string& path, bool loop) {
    std::unique_ptr<SoundStream> stream = SoundStream::open(platform::linuxPathOf(path), loop);
    return mixer.has_value() && stream != nullptr ? mixer->add(std::move(stream)) : 0;
}

bool audio::device::removeStream(HSTREAM handle) {
    return mixer.has_value() && mixer->remove(handle);
}

bool audio::device::play(HSTREAM handle, bool restart) {
    return mixer.has_value() && mixer->play(handle, restart);
}

bool audio::device::stop(HSTREAM handle) {
    return mixer.has_value() && mixer->stop(handle);
}

bool audio::device::setVolume(HSTREAM handle, float volume) {
    return mixer.has_value() && mixer->setVolume(handle, volume);
}

std::string audio::soundRefusal(const std::string& path) {
    std::string refusal;
    SoundStream::open(platform::linuxPathOf(path), false, &refusal);
    return refusal;
}

bool audio::renderOutput(float* frames, std::size_t frameCount) {
    if (!mixer.has_value()) {
        std::fill_n(frames, frameCount * audio::outputChannels, 0.0f);
        return false;
    }
    mixer->render(frames, frameCount);
    return true;
}
