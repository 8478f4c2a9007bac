#include "standins/audio/sound_stream.h"

#include <algorithm>

namespace audio {

namespace {

// Frames decoded at a time: one MPEG-1 Layer III frame holds 1152 samples per channel.
constexpr std::size_t blockFrames = 1152;

// Sets the converter up from rate to outputRate; syn123's normal (not "dirty") mode, whose
// dynamic range is above 16-bit CD quality, with no smoothing as the ratio never changes.
bool setUpConversion(syn123_handle* converter, long rate) {
    return syn123_setup_resample(converter, rate, outputRate, outputChannels, 0, 0) == SYN123_OK;
}

}  // namespace

std::unique_ptr<SoundStream> SoundStream::open(const std::string& path, bool loop) {
    std::unique_ptr<Mp3Decoder> decoder = Mp3Decoder::open(path);
    if (decoder == nullptr) {
        return nullptr;
    }
    Converter converter;
    if (decoder->rate() != outputRate) {
        converter.reset(syn123_new(outputRate, outputChannels, MPG123_ENC_FLOAT_32, 0, nullptr));
        if (converter == nullptr || !setUpConversion(converter.get(), decoder->rate())) {
            return nullptr;
        }
    }
    return std::unique_ptr<SoundStream>(
        new SoundStream(std::move(decoder), std::move(converter), loop));
}

SoundStream::SoundStream(std::unique_ptr<Mp3Decoder> decoder, Converter converter, bool loop)
    : decoder(std::move(decoder)), converter(std::move(converter)), loop(loop) {
    std::size_t pendingFrames = blockFrames;
    if (this->converter != nullptr) {
        decoded.resize(blockFrames * outputChannels);
        pendingFrames = syn123_resample_count(this->decoder->rate(), outputRate, blockFrames);
    }
    pending.resize(pendingFrames * outputChannels);
}

std::size_t SoundStream::read(float* frames, std::size_t frameCount) {
    std::size_t done = 0;
    while (done < frameCount) {
        if (pendingStart == pendingEnd && !refill()) {
            break;
        }
        const std::size_t count = std::min(frameCount - done, pendingEnd - pendingStart);
        std::copy_n(pending.begin() + pendingStart * outputChannels, count * outputChannels,
                    frames + done * outputChannels);
        pendingStart += count;
        done += count;
    }
    return done;
}

void SoundStream::rewind() {
    decoder->rewind();
    if (converter != nullptr) {
        // syn123 keeps its filter history across a setup that changes only the rates; a setup
        // without a format clears it.
        syn123_setup_resample(converter.get(), 0, 0, 0, 0, 0);
        setUpConversion(converter.get(), decoder->rate());
    }
    pendingStart = pendingEnd = 0;
}

// Fills pending with the next block at outputRate; false at the end of a non-looping sound.
bool SoundStream::refill() {
    float* target = converter != nullptr ? decoded.data() : pending.data();
    const std::size_t count = decodeBlock(target);
    if (count == 0) {
        return false;
    }
    pendingEnd = converter != nullptr
                     ? syn123_resample(converter.get(), pending.data(), target, count)
                     : count;
    pendingStart = 0;
    return true;
}

// Decodes up to one block, going round to the start of a loop. The converter keeps running
// across that seam, so a loop at another rate is as seamless as one at outputRate.
std::size_t SoundStream::decodeBlock(float* frames) {
    std::size_t count = decoder->read(frames, blockFrames);
    if (count == 0 && loop && decoder->rewind()) {
        count = decoder->read(frames, blockFrames);
    }
    return count;
}

}  // namespace audio
