#include "standins/audio/sound_stream.h"

#include <algorithm>

namespace audio {

namespace {

// Frames decoded at a time: one MPEG-1 Layer III frame holds 1152 samples per channel.
constexpr std::size_t blockFrames = 1152;

// The longest sound kept whole: a second at 48 kHz, 384 KiB. A loop shorter than a block would
// otherwise reopen its file for every few output frames.
constexpr std::size_t heldFramesLimit = 48000;

// Sets the converter up from rate to outputRate; syn123's normal (not "dirty") mode, whose
// dynamic range is above 16-bit CD quality, with no smoothing as the ratio never changes.
bool setUpConversion(syn123_handle* converter, long rate) {
    return syn123_setup_resample(converter, rate, outputRate, outputChannels, 0, 0) == SYN123_OK;
}

}  // namespace

std::unique_ptr<SoundStream> SoundStream::open(const std::string& path, bool loop,
                                               std::string* refusal) {
    DecoderOpening opening = openDecoder(path);
    std::unique_ptr<Decoder> decoder = std::move(opening.decoder);
    if (decoder == nullptr) {
        if (refusal != nullptr) *refusal = opening.refusal;
        return nullptr;
    }
    Converter converter;
    if (decoder->rate() != outputRate) {
        converter.reset(syn123_new(outputRate, outputChannels, MPG123_ENC_FLOAT_32, 0, nullptr));
        if (converter == nullptr || !setUpConversion(converter.get(), decoder->rate())) {
            if (refusal != nullptr) {
                *refusal = "a sample rate of " + std::to_string(decoder->rate()) + " Hz";
            }
            return nullptr;
        }
    }
    return std::unique_ptr<SoundStream>(
        new SoundStream(std::move(decoder), std::move(converter), loop));
}

SoundStream::SoundStream(std::unique_ptr<Decoder> decoder, Converter converter, bool loop)
    : decoder(std::move(decoder)), converter(std::move(converter)), loop(loop) {
    std::size_t pendingFrames = blockSize = blockFrames;
    if (this->converter != nullptr) {
        // Far below the output rate a block would convert to far more frames than it holds (at
        // 1 Hz, 51 million): the block shrinks so that one converts to about a block's worth.
        const auto rate = static_cast<std::size_t>(this->decoder->rate());
        blockSize = std::clamp<std::size_t>(blockFrames * rate / outputRate, 1, blockFrames);
        decoded.resize(blockSize * outputChannels);
        pendingFrames = syn123_resample_count(this->decoder->rate(), outputRate, blockSize);
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
    if (heldWhole) {
        heldNext = 0;
    } else {
        decoder->rewind();
        held.clear();
        holding = true;
    }
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
    return heldWhole ? decodeHeld(frames) : decodeFromFile(frames);
}

std::size_t SoundStream::decodeFromFile(float* frames) {
    std::size_t count = decoder->read(frames, blockSize);
    if (count == 0 && holding) {
        // A loop goes round; a sound played once stands at its end until rewound.
        heldWhole = true;
        heldNext = loop ? 0 : held.size() / outputChannels;
        return loop ? decodeHeld(frames) : 0;
    }
    if (holding) {
        holding = held.size() / outputChannels + count <= heldFramesLimit;
        if (holding) {
            held.insert(held.end(), frames, frames + count * outputChannels);
        } else {
            held = {};
        }
    }
    if (count == 0 && loop && decoder->rewind()) {
        count = decoder->read(frames, blockSize);
    }
    return count;
}

// Up to one block of the held sound; a loop fills the whole block, going round as often as the
// sound is short.
std::size_t SoundStream::decodeHeld(float* frames) {
    const std::size_t heldFrames = held.size() / outputChannels;
    std::size_t count = 0;
    while (count < blockSize && heldFrames > 0) {
        if (heldNext == heldFrames) {
            if (!loop) break;
            heldNext = 0;
        }
        const std::size_t run = std::min(blockSize - count, heldFrames - heldNext);
        std::copy_n(held.begin() + heldNext * outputChannels, run * outputChannels,
                    frames + count * outputChannels);
        heldNext += run;
        count += run;
    }
    return count;
}

}  // namespace audio
