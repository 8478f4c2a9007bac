// MPEG audio (layers 1 to 3: MP1, MP2, MP3) decoded by libmpg123, with encoder delay and padding
// removed (gapless), so that a loop of it has no gap.
#pragma once

#include <mpg123.h>

#include <cstddef>
#include <memory>

#include "standins/audio/decoder.h"

namespace audio {

// Whether the regular file fd opens with an MPEG audio frame header (after any ID3v2 tag).
bool startsWithMpegAudio(int fd);

class Mp3Decoder : public Decoder {
  public:
    // The decoder of the regular file fd, which it closes when done, or nullptr (fd closed) when
    // the file does not open with MPEG audio or yields no sample at all.
    static std::unique_ptr<Mp3Decoder> open(int fd);
    ~Mp3Decoder() override;

    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    long rate() const override { return sampleRate; }
    std::size_t read(float* frames, std::size_t frameCount) override;
    bool rewind() override;

  private:
    Mp3Decoder(mpg123_handle* handle, int fd) : handle(handle), fd(fd) {}
    bool start();

    mpg123_handle* handle;
    int fd;  // the file, read by mpg123 and closed by us
    long sampleRate = 0;
};

}  // namespace audio
