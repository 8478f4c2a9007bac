// One sound as the output device plays it: interleaved stereo float at outputRate, decoded from
// its file a block at a time (so a long file costs no more memory than a short one), converted
// from the file's own rate when that differs, and looped on request. A short sound is kept whole
// once decoded, so that looping or restarting it never opens the file again.
#pragma once

#include <syn123.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "standins/audio/decoder.h"

namespace audio {

// The output device's format: CD rate, which all of the game's sounds are made at.
constexpr long outputRate = 44100;
constexpr std::size_t outputChannels = 2;

class SoundStream {
  public:
    // The stream of the sound file at path (see decoder.h), or nullptr when it would not play;
    // then refusal, if given, says why.
    static std::unique_ptr<SoundStream> open(const std::string& path, bool loop,
                                             std::string* refusal = nullptr);

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

    SoundStream(std::unique_ptr<Decoder> decoder, Converter converter, bool loop);
    bool refill();
    std::size_t decodeBlock(float* frames);
    std::size_t decodeFromFile(float* frames);
    std::size_t decodeHeld(float* frames);

    std::unique_ptr<Decoder> decoder;
    Converter converter;  // null when the file is at outputRate already
    bool loop;
    std::vector<float> decoded;  // one block at the file's rate, waiting for the converter
    std::vector<float> pending;  // frames at outputRate not read yet
    std::size_t blockSize = 0;   // frames decoded at a time: fewer far below the output rate
    std::size_t pendingStart = 0;
    std::size_t pendingEnd = 0;
    // The sound from its first frame at the file's rate, while it is no longer than
    // heldFramesLimit; once its end was reached with all of it here, it plays from here.
    std::vector<float> held;
    bool holding = true;
    bool heldWhole = false;
    std::size_t heldNext = 0;  // the next frame of held to play
};

}  // namespace audio
