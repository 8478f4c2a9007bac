#include "standins/audio/mixer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace audio {

namespace {

// Frames mixed at a time: the size of the scratch block, which bounds nothing else.
constexpr std::size_t blockFrames = 1024;

// x held within the float range, so that extreme volumes cannot produce inf (or, from inf - inf,
// NaN) in the mix.
float withinRange(float x) {
    constexpr float largest = std::numeric_limits<float>::max();
    return std::clamp(x, -largest, largest);
}

}  // namespace

Mixer::Mixer() : scratch(blockFrames * outputChannels) {}

HSTREAM Mixer::add(std::unique_ptr<SoundStream> stream) {
    // Skips 0 and any handle still open once the count wraps after 2^32 - 1 streams.
    do {
        ++lastHandle;
    } while (lastHandle == 0 || find(lastHandle) != nullptr);
    channels.push_back(Channel{lastHandle, std::move(stream)});
    return lastHandle;
}

bool Mixer::remove(HSTREAM handle) {
    return std::erase_if(channels, [handle](const Channel& c) { return c.handle == handle; }) != 0;
}

bool Mixer::play(HSTREAM handle, bool restart) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return false;
    }
    if (restart) {
        channel->stream->rewind();
    }
    channel->playing = true;
    return true;
}

bool Mixer::stop(HSTREAM handle) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return false;
    }
    channel->playing = false;
    return true;
}

bool Mixer::setVolume(HSTREAM handle, float volume) {
    Channel* channel = find(handle);
    if (channel == nullptr || !std::isfinite(volume) || volume < 0.0f) {
        return false;
    }
    channel->volume = volume;
    return true;
}

void Mixer::render(float* frames, std::size_t frameCount) {
    std::fill_n(frames, frameCount * outputChannels, 0.0f);
    for (std::size_t done = 0; done < frameCount; done += blockFrames) {
        const std::size_t count = std::min(blockFrames, frameCount - done);
        for (Channel& channel : channels) {
            if (channel.playing) {
                mixChannel(channel, frames + done * outputChannels, count);
            }
        }
    }
}

Mixer::Channel* Mixer::find(HSTREAM handle) {
    auto found = std::find_if(channels.begin(), channels.end(),
                              [handle](const Channel& c) { return c.handle == handle; });
    return found != channels.end() ? &*found : nullptr;
}

// Adds the channel's next frameCount frames (at most one block) into frames. A sound that has
// ended reads as nothing, so it falls silent and stays at its end.
void Mixer::mixChannel(Channel& channel, float* frames, std::size_t frameCount) {
    const std::size_t count = channel.stream->read(scratch.data(), frameCount);
    for (std::size_t i = 0; i < count * outputChannels; ++i) {
        frames[i] = withinRange(frames[i] + withinRange(scratch[i] * channel.volume));
    }
}

}  // namespace audio
