#include "standins/audio/mp3_decoder.h"

#include <unistd.h>

#include <cstring>

namespace audio {

namespace {

constexpr std::size_t bytesPerFrame = MPG123_STEREO * sizeof(float);

// Where the audio of the file starts: after its ID3v2 tag if it has one (a 10-byte header whose
// last four bytes hold the body size, 7 bits each, then the body and, with flag 0x10, a 10-byte
// footer), at 0 otherwise.
off_t audioStart(int fd) {
    unsigned char header[10];
    if (pread(fd, header, sizeof header, 0) != sizeof header ||
        std::memcmp(header, "ID3", 3) != 0) {
        return 0;
    }
    const off_t body = (header[6] & 0x7F) << 21 | (header[7] & 0x7F) << 14 |
                       (header[8] & 0x7F) << 7 | (header[9] & 0x7F);
    const off_t footer = (header[5] & 0x10) != 0 ? 10 : 0;
    return 10 + body + footer;
}

// Whether an MPEG audio frame header is at offset: 11 sync bits, then no reserved version (01),
// layer (00), bitrate (1111) or sample rate (11).
bool frameHeaderAt(int fd, off_t offset) {
    unsigned char header[4];
    if (pread(fd, header, sizeof header, offset) != sizeof header) {
        return false;
    }
    const bool sync = header[0] == 0xFF && (header[1] & 0xE0) == 0xE0;
    const unsigned version = (header[1] >> 3) & 3u;
    const unsigned layer = (header[1] >> 1) & 3u;
    const unsigned bitrate = header[2] >> 4;
    const unsigned rate = (header[2] >> 2) & 3u;
    return sync && version != 1 && layer != 0 && bitrate != 15 && rate != 3;
}

// Allows only stereo float output at the given rates: libmpg123 then doubles mono itself.
void allowStereoFloat(mpg123_handle* handle, const long* rates, std::size_t rateCount) {
    mpg123_format_none(handle);
    for (std::size_t i = 0; i < rateCount; ++i) {
        mpg123_format(handle, rates[i], MPG123_STEREO, MPG123_ENC_FLOAT_32);
    }
}

// Stereo float at whatever rate the file has: rate conversion is left to a better resampler than
// libmpg123's own, which drops and repeats samples.
void allowEveryRate(mpg123_handle* handle) {
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    allowStereoFloat(handle, rates, rateCount);
}

}  // namespace

bool startsWithMpegAudio(int fd) {
    return frameHeaderAt(fd, audioStart(fd));
}

std::unique_ptr<Mp3Decoder> Mp3Decoder::open(int fd) {
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (handle == nullptr) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<Mp3Decoder> decoder(new Mp3Decoder(handle, fd));
    return decoder->start() ? std::move(decoder) : nullptr;
}

Mp3Decoder::~Mp3Decoder() {
    mpg123_delete(handle);
    ::close(fd);
}

// Opens the stream at the file's own rate and proves that it is MPEG audio and that at least one
// sample decodes. libmpg123 skips any amount of junk to the first thing that looks like a frame,
// which most binary files have somewhere, so openDecoder passes only a file that opens with a
// frame header (after any ID3v2 tag), and the first frame that decodes must be that one or the one
// after it: LAME's Info frame, at most 1441 bytes (MPEG-1 Layer III at 320 kb/s and 32 kHz,
// padded).
bool Mp3Decoder::start() {
    constexpr off_t largestInfoFrame = 1441;
    const off_t audio = audioStart(fd);
    // QUIET: libmpg123 prints resync notes on damaged input otherwise. GAPLESS: drop the encoder
    // delay and padding that the LAME header records.
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    allowEveryRate(handle);

    int channels = 0;
    int encoding = 0;
    if (mpg123_open_fd(handle, fd) != MPG123_OK ||
        mpg123_getformat(handle, &sampleRate, &channels, &encoding) != MPG123_OK ||
        mpg123_framepos(handle) > audio + largestInfoFrame) {
        return false;
    }
    // Later frames at another rate are converted to this one, so the rate never changes under
    // the caller.
    allowStereoFloat(handle, &sampleRate, 1);

    float firstFrame[MPG123_STEREO];
    return read(firstFrame, 1) == 1 && rewind();
}

std::size_t Mp3Decoder::read(float* frames, std::size_t frameCount) {
    std::size_t bytes = 0;
    int result = MPG123_OK;
    do {
        result = mpg123_read(handle, frames, frameCount * bytesPerFrame, &bytes);
    } while (result == MPG123_NEW_FORMAT && bytes == 0);
    return bytes / bytesPerFrame;
}

// Opens the file again instead of seeking to its start: past a damaged part libmpg123 can lose
// count of where it is, and its seek to 0 then lands where nothing is left to decode (the sound
// would never play again). The output format set on the handle stays.
bool Mp3Decoder::rewind() {
    mpg123_close(handle);
    return lseek(fd, 0, SEEK_SET) == 0 && mpg123_open_fd(handle, fd) == MPG123_OK;
}

}  // namespace audio
