// One sound file decoded on demand into interleaved stereo float at the file's own rate, picked by
// what the file holds, not by its name, as the real audio library opens a stream: MPEG audio
// layers 1 to 3 (libmpg123), WAV and AIFF holding PCM or float samples, and OGG Vorbis
// (libsndfile). Anything else is refused, as the real library's stream call fails on it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace audio {

class Decoder {
  public:
    virtual ~Decoder() = default;

    virtual long rate() const = 0;

    // Decodes up to frameCount stereo frames into frames and answers how many it wrote; 0 means
    // the end of what decodes: the end of the file, or a damaged part it cannot get past.
    virtual std::size_t read(float* frames, std::size_t frameCount) = 0;

    // Goes back to the first sample, decoding from there as it did the first time; false if it
    // cannot.
    virtual bool rewind() = 0;
};

// A decoder that proved at least one sample decodes, or why the file would not play (a short
// phrase for a player: "the file is empty").
struct DecoderOpening {
    std::unique_ptr<Decoder> decoder;
    std::string refusal;
};

// Opens the regular file at path by its content. Never prints anything and never blocks on a
// FIFO.
DecoderOpening openDecoder(const std::string& path);

}  // namespace audio
