#include "standins/audio/sndfile_decoder.h"

#include <unistd.h>

#include <algorithm>

namespace audio {

namespace {

// The containers the real library opens by itself, and the sample kinds it plays from them.
bool playedContainer(int format) {
    const int container = format & SF_FORMAT_TYPEMASK;
    const int samples = format & SF_FORMAT_SUBMASK;
    if (container == SF_FORMAT_OGG) return samples == SF_FORMAT_VORBIS;
    if (container != SF_FORMAT_WAV && container != SF_FORMAT_WAVEX && container != SF_FORMAT_AIFF) {
        return false;
    }
    return samples == SF_FORMAT_PCM_S8 || samples == SF_FORMAT_PCM_U8 ||
           samples == SF_FORMAT_PCM_16 || samples == SF_FORMAT_PCM_24 ||
           samples == SF_FORMAT_PCM_32 || samples == SF_FORMAT_FLOAT;
}

// libsndfile's own name of a container or sample kind ("FLAC (Free Lossless Audio Codec)").
std::string formatName(int format) {
    SF_FORMAT_INFO formatInfo{};
    formatInfo.format = format;
    return sf_command(nullptr, SFC_GET_FORMAT_INFO, &formatInfo, sizeof formatInfo) == 0 &&
                   formatInfo.name != nullptr
               ? formatInfo.name
               : "an unknown kind";
}

std::string refusalOf(int format) {
    const int container = format & SF_FORMAT_TYPEMASK;
    // libsndfile finds MPEG audio further in; the real library wants it where the file starts.
    if (container == SF_FORMAT_MPEG) return "MPEG audio behind other data at the file's start";
    const bool playedKind = container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX ||
                            container == SF_FORMAT_AIFF || container == SF_FORMAT_OGG;
    if (!playedKind) {
        return formatName(container) + " audio, which the game's audio library does not play";
    }
    return formatName(container) + " holding " + formatName(format & SF_FORMAT_SUBMASK) +
           ", which the game's audio library does not play";
}

}  // namespace

std::unique_ptr<SndfileDecoder> SndfileDecoder::open(int fd, std::string& refusal) {
    SF_INFO info{};
    SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
    if (file == nullptr) {
        refusal =
            "not a sound the game's audio library plays (MP3, MP2, MP1, OGG Vorbis, WAV, AIFF)";
    } else if (!playedContainer(info.format)) {
        refusal = refusalOf(info.format);
    } else if (info.channels < 1 || info.samplerate < 1) {
        refusal = "a sound file without channels or sample rate";
    } else {
        std::unique_ptr<SndfileDecoder> decoder(new SndfileDecoder(file, fd, info));
        float first[2];
        if (decoder->read(first, 1) == 1 && decoder->rewind()) return decoder;
        refusal = "a sound file that holds no sound";
        return nullptr;
    }
    if (file != nullptr) sf_close(file);
    ::close(fd);
    return nullptr;
}

SndfileDecoder::~SndfileDecoder() {
    sf_close(file);
    ::close(fd);
}

// Mono reaches both sides; of more channels, the first two are played.
std::size_t SndfileDecoder::read(float* frames, std::size_t frameCount) {
    const auto channels = static_cast<std::size_t>(info.channels);
    fileFrames.resize(frameCount * channels);
    const sf_count_t count =
        sf_readf_float(file, fileFrames.data(), static_cast<sf_count_t>(frameCount));
    if (count <= 0) return 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        frames[2 * i] = fileFrames[i * channels];
        frames[2 * i + 1] = fileFrames[i * channels + std::min<std::size_t>(1, channels - 1)];
    }
    return static_cast<std::size_t>(count);
}

bool SndfileDecoder::rewind() {
    return sf_seek(file, 0, SEEK_SET) == 0;
}

}  // namespace audio
