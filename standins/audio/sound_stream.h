// One sound as the output device plays it: interleaved stereo float at outputRate, decoded from
// its MP3 file a block at a time (so a long file costs no more memory than a short one),
// converted from the file's own rate when that differs, and looped on request.
#pragma once

#include <syn123.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "standins/audio/mp3_decoder.h"

namespace audio {

// The output device's format: CD rate, which all of the game's sounds are made at.
constexpr long outputRate = 44100;
constexpr std::size_t outputChannels = 2;

class SoundStream {
  public:
    // The stream of the MP3 file at path, or nullptr when nothing of it decodes.
    static std::unique_ptr<SoundStream> open(const std::string& path, bool loop);

    // Writes up to frameCount frames into frames and answers how many; fewer only once a
    // non-looping sound has reached its end. A loop runs on into its start with no gap.
    std::size_t read(float* frames, std::size_t frameCount);

    // Goes back to the first sample, keeping nothing of the old position.
    void rewind();

  private:
    struct ConverterDeleter {
        void operator()(syn123_handle* converter) const { syn123_del(converter); }
    };
    using Converter = std::unique_ptr<syn123_handle, ConverterDeleter>;

    SoundStream(std::unique_ptr<Mp3Decoder> decoder, Converter converter, bool loop);
    bool refill();
    std::size_t decodeBlock(float* frames);

    std::unique_ptr<Mp3Decoder> decoder;
    Converter converter;  // null when the file is at outputRate already
    bool loop;
    std::vector<float> decoded;  // one block at the file's rate, waiting for the converter
    std::vector<float> pending;  // frames at outputRate not read yet
    std::size_t pendingStart = 0;
    std::size_t pendingEnd = 0;
};

}  // namespace audio
