#include "sim/wav_render.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "controller/effect_constants.h"
#include "standins/audio/bass_linux.h"

namespace {

constexpr std::size_t blockFrames = 4096;

}  // namespace

bool WavRender::fitsWav(double seconds) {
    // A WAV's sizes are 32-bit: its data chunk holds at most 4 GiB less its header.
    constexpr double largestData = 4294967295.0 - 44.0;
    return std::ceil(seconds * audio::outputRate) * audio::outputChannels * 2 <= largestData;
}

WavRender::WavRender(int fd, const std::string& wavName, const std::string& radioBedPath,
                     double seconds)
    : path(wavName),
      bed(audio::SoundStream::open(radioBedPath, true)),
      mix(blockFrames * audio::outputChannels),
      bedBlock(blockFrames * audio::outputChannels) {
    if (bed == nullptr) throw std::runtime_error(radioBedPath + ": cannot decode the radio bed");
    SF_INFO format = {};
    format.samplerate = audio::outputRate;
    format.channels = audio::outputChannels;
    // Past 4 GiB (6.7 hours) a WAV's header would wrap: RF64, the WAV with 64-bit sizes.
    format.format = (fitsWav(seconds) ? SF_FORMAT_WAV : SF_FORMAT_RF64) | SF_FORMAT_PCM_16;
    file = sf_open_fd(fd, SFM_WRITE, &format, SF_FALSE);
    if (file == nullptr) {
        throw std::runtime_error(wavName + ": cannot write: " + sf_strerror(nullptr));
    }
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);  // clip loud mixes instead of wrapping
}

WavRender::~WavRender() {
    if (file != nullptr) sf_close(file);
}

void WavRender::finish() {
    errno = 0;
    const bool closed = sf_close(file) == 0;
    if (!closed && writeError == 0) writeError = errno != 0 ? errno : EIO;
    file = nullptr;
    if (writeError != 0) {
        throw std::runtime_error(path + ": cannot write all of it: " + std::strerror(writeError));
    }
}

float WavRender::radioGain(std::uint8_t volume) {
    return volume / float(fullRadioVolume);
}

void WavRender::frame(const FrameRecord& record) {
    auto end = static_cast<std::uint64_t>(
        std::llround((record.time + record.duration) * audio::outputRate));
    if (end <= written) return;
    float target = radioGain(record.radioVolume);
    auto count = static_cast<std::size_t>(end - written);
    for (std::size_t done = 0; done < count; done += blockFrames) {
        std::size_t block = std::min(blockFrames, count - done);
        float from = gain + (target - gain) * static_cast<float>(done) / static_cast<float>(count);
        float to =
            gain + (target - gain) * static_cast<float>(done + block) / static_cast<float>(count);
        render(block, from, to);
    }
    gain = target;
}

void WavRender::render(std::size_t count, float fromGain, float toGain) {
    audio::renderOutput(mix.data(), count);
    bed->read(bedBlock.data(), count);  // a loop never runs short
    float step = (toGain - fromGain) / static_cast<float>(count);
    for (std::size_t i = 0; i < count; ++i) {
        float g = fromGain + step * static_cast<float>(i);
        for (std::size_t c = 0; c < audio::outputChannels; ++c) {
            mix[i * audio::outputChannels + c] += g * bedBlock[i * audio::outputChannels + c];
        }
    }
    auto frames = static_cast<sf_count_t>(count);
    errno = 0;
    if (sf_writef_float(file, mix.data(), frames) != frames && writeError == 0) {
        writeError = errno != 0 ? errno : EIO;
    }
    written += count;
}
