#include "standins/audio/mp3_decoder.h"

#include <unistd.h>

#include <string_view>

#include "standins/audio/sound_header.h"

namespace audio {

namespace {

constexpr std::size_t bytesPerFrame = MPG123_STEREO * sizeof(float);

// Up to count bytes of the file at offset, into bytes.
std::string_view readAt(int fd, off_t offset, char* bytes, std::size_t count) {
    const ssize_t read = pread(fd, bytes, count, offset);
    return {bytes, read > 0 ? static_cast<std::size_t>(read) : 0};
}

// Where the audio of the file starts: after its ID3v2 tag if it has one.
off_t audioStart(int fd) {
    char head[10];
    return mpegAudioStart(readAt(fd, 0, head, sizeof head));
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
    char header[4];
    return isMpegFrameHeader(readAt(fd, audioStart(fd), header, sizeof header));
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
