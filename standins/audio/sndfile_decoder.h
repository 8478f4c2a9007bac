// WAV and AIFF holding PCM or float samples, and OGG Vorbis, decoded by libsndfile: the formats
// besides MPEG audio that the real audio library plays by itself. libsndfile reads many more
// (FLAC, CAF, AU...), which that library refuses, and so does this decoder.
#pragma once

#include <sndfile.h>

#include <memory>
#include <string>
#include <vector>

#include "standins/audio/decoder.h"

namespace audio {

class SndfileDecoder : public Decoder {
  public:
    // The decoder of the regular file fd, which it closes when done, or nullptr (fd closed) with
    // why the real library would refuse the file.
    static std::unique_ptr<SndfileDecoder> open(int fd, std::string& refusal);
    ~SndfileDecoder() override;

    SndfileDecoder(const SndfileDecoder&) = delete;
    SndfileDecoder& operator=(const SndfileDecoder&) = delete;

    long rate() const override { return info.samplerate; }
    std::size_t read(float* frames, std::size_t frameCount) override;
    bool rewind() override;

  private:
    SndfileDecoder(SNDFILE* file, int fd, const SF_INFO& info) : file(file), fd(fd), info(info) {}

    SNDFILE* file;
    int fd;  // read by libsndfile, closed by us
    SF_INFO info;
    std::vector<float> fileFrames;  // a block in the file's own channels
};

}  // namespace audio
