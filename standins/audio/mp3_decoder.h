// One MP3 file decoded on demand into interleaved stereo float at the file's own sample rate,
// with encoder delay and padding removed (gapless), so that a loop of it has no gap.
#pragma once

#include <mpg123.h>

#include <cstddef>
#include <memory>
#include <string>

namespace audio {

class Mp3Decoder {
  public:
    // The decoder of the regular file at path, or nullptr when the file is missing, is not a
    // regular file, does not open with MPEG audio (after any ID3v2 tag) or yields no sample at
    // all. Never prints anything.
    static std::unique_ptr<Mp3Decoder> open(const std::string& path);
    ~Mp3Decoder();

    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    long rate() const { return sampleRate; }

    // Decodes up to frameCount stereo frames into frames and answers how many it wrote; 0 means
    // the end of what decodes: the end of the file, or a damaged part it cannot get past.
    std::size_t read(float* frames, std::size_t frameCount);

    // Goes back to the first sample, decoding from there as it did the first time; false if the
    // file cannot be opened again.
    bool rewind();

  private:
    Mp3Decoder(mpg123_handle* handle, int fd) : handle(handle), fd(fd) {}
    bool start();

    mpg123_handle* handle;
    int fd;  // the file, read by mpg123 and closed by us
    long sampleRate = 0;
};

}  // namespace audio
