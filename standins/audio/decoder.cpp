#include "standins/audio/decoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "standins/audio/mp3_decoder.h"
#include "standins/audio/sndfile_decoder.h"
#include "standins/audio/sound_header.h"

namespace audio {

namespace {

// The descriptor of path if it is a regular file whose header is of a sound the library plays
// (the one rule the browser's build judges by too), or -1 and why not. O_NONBLOCK keeps open()
// from waiting on a FIFO; reads from a regular file ignore it.
int openRegularFile(const std::string& path, std::string& refusal) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        refusal = "cannot be opened";
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        refusal = "not a file";
    } else {
        refusal = headerRefusal(path);
        if (refusal.empty()) return fd;
    }
    ::close(fd);
    return -1;
}

}  // namespace

DecoderOpening openDecoder(const std::string& path) {
    DecoderOpening opening;
    const int fd = openRegularFile(path, opening.refusal);
    if (fd < 0) return opening;
    if (startsWithMpegAudio(fd)) {
        opening.decoder = Mp3Decoder::open(fd);
        if (opening.decoder == nullptr) opening.refusal = "MPEG audio that does not decode";
    } else {
        opening.decoder = SndfileDecoder::open(fd, opening.refusal);
    }
    return opening;
}

}  // namespace audio
