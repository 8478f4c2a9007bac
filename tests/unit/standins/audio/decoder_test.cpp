#include "standins/audio/decoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "standins/audio/sound_header.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace {

std::string fixture(const char* name) {
    std::ifstream file(OSTRELLE_AUDIO_FIXTURES "/" + std::string(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// A fixture with bytes replaced from offset.
std::string patched(const char* name, std::size_t offset, std::string_view bytes) {
    return fixture(name).replace(offset, bytes.size(), bytes);
}

// An ID3v2 tag of body bytes: its size is four 7-bit bytes.
std::string id3Tag(std::size_t body) {
    std::string tag("ID3\x04\0\0", 6);
    for (int shift = 21; shift >= 0; shift -= 7) tag += static_cast<char>((body >> shift) & 0x7F);
    return tag + std::string(body, '\0');
}

// A WAV of samples in WAV format tag (16 bits, mono, 22050 Hz) holding data.
std::string wavOf(char tag, const std::string& data) {
    const auto size = [](std::size_t n) {
        return std::string{static_cast<char>(n), static_cast<char>(n >> 8),
                           static_cast<char>(n >> 16), static_cast<char>(n >> 24)};
    };
    return "RIFF" + size(36 + data.size()) + "WAVEfmt " + size(16) + tag +
           std::string("\0\x01\0\x22\x56\0\0\x44\xAC\0\0\x02\0\x10\0", 15) + "data" +
           size(data.size()) + data;
}

// Each kind of sound file, judged as the game's audio library would by the one header rule the
// browser's build uses, and opened by the Linux library's decoders (refusal: how the reason starts;
// "" when it plays, with at least one sample decoded).
struct SoundCase {
    const char* name;
    std::string bytes;
    const char* refusal;
};
const SoundCase soundCases[] = {
    {"MP3", fixture("tone.mp3"), ""},
    {"MP3 of one sample", fixture("one-sample.mp3"), ""},
    {"MP3 at 22 kHz", fixture("tone-22050-mono.mp3"), ""},
    {"MP2", fixture("tone.mp2"), ""},
    {"MP3 after a short ID3 tag", id3Tag(4) + fixture("tone.mp3"), ""},
    {"MP3 after an ID3 tag of 200 bytes", id3Tag(200) + fixture("tone.mp3"), ""},
    {"MP3 after an ID3 tag of 20000 bytes", id3Tag(20000) + fixture("tone.mp3"), ""},
    {"MP3 cut at 300 bytes", fixture("tone.mp3").substr(0, 300), "MPEG audio that ends inside"},
    {"WAV of 16 bits", fixture("tone.wav"), ""},
    {"WAV of 8 bits unsigned", fixture("tone-u8.wav"), ""},
    {"WAV of 24 bits", fixture("tone-24.wav"), ""},
    {"WAV of 32 bits", fixture("tone-32.wav"), ""},
    {"WAV of 32-bit float", fixture("tone-float.wav"), ""},
    {"WAV after an ID3 tag", id3Tag(300) + fixture("tone.wav"), ""},
    {"AIFF of 16 bits", fixture("tone.aiff"), ""},
    {"AIFF of 8 bits signed", fixture("tone-s8.aiff"), ""},
    {"OGG Vorbis", fixture("tone.ogg"), ""},
    {"WAV of A-law", fixture("tone-alaw.wav"), "WAV holding A-Law, which"},
    {"WAV of IMA ADPCM", fixture("tone-ima.wav"), "WAV holding IMA ADPCM, which"},
    {"MP3 inside a WAV", wavOf('\x55', fixture("tone.mp3")), "WAV holding MPEG Layer III, which"},
    {"WAV of 0 channels", patched("tone.wav", 22, std::string(2, '\0')), "a sound file without"},
    {"WAV without samples", wavOf('\x01', ""), "a sound file that holds no sound"},
    {"WAV at 384 kHz", patched("tone.wav", 24, std::string("\x00\xDC\x05\x00", 4)), ""},
    {"WAV at 10 MHz", patched("tone.wav", 24, std::string("\x80\x96\x98\x00", 4)),
     "a sample rate of 10000000 Hz, above the 384000 Hz the simulator plays"},
    {"WAV of 1024 channels", patched("tone.wav", 22, std::string("\x00\x04", 2)), ""},
    {"WAV of 2000 channels", patched("tone.wav", 22, "\xD0\x07"), "not a sound"},
    {"AIFF at 10 MHz", patched("tone.aiff", 62, std::string("\x40\x16\x98\x96\x80\0\0\0\0\0", 10)),
     "a sample rate of 10000000 Hz"},
    {"AIFF of 2000 channels", patched("tone.aiff", 54, "\x07\xD0"), "not a sound"},
    {"AIFF without its SSND chunk", fixture("tone.aiff").substr(0, 72), "not a sound"},
    {"AIFF cut inside its first sample", fixture("tone.aiff").substr(0, 89),
     "a sound file that holds no"},
    {"OGG Vorbis cut at 200 bytes", fixture("tone.ogg").substr(0, 200), "not a sound"},
    {"OGG Vorbis cut inside its first page of sound", fixture("tone.ogg").substr(0, 3900),
     "a sound file that holds no sound"},
    {"MP3 at 22 kHz cut in its second frame of sound",
     fixture("tone-22050-mono.mp3").substr(0, 500), "MPEG audio that does not decode"},
    {"MP3 at 22 kHz of two frames of sound", fixture("tone-22050-mono.mp3").substr(0, 625), ""},
    {"MP3 at 22 kHz with a damaged header in its second frame of sound",
     patched("tone-22050-mono.mp3", 417, "\x33"), ""},
    {"MP2 whose first frame says another channel mode",
     patched("tone.mp2", 3, std::string(1, '\0')), ""},
    {"MP2 of its first frame alone", fixture("tone.mp2").substr(0, 417),
     "MPEG audio that does not decode"},
    {"OGG Vorbis with a damaged byte", patched("tone.ogg", 48, std::string(1, '\0')),
     "not a sound"},
    {"OGG Vorbis after an ID3 tag", id3Tag(300) + fixture("tone.ogg"), "not a sound"},
    {"WAV of 24 bits with a damaged subformat", patched("tone-24.wav", 46, "\x01"), "not a sound"},
    {"WAV whose chunk after fmt has a damaged name",
     patched("tone-float.wav", 38, std::string(1, '\0')), "a sound file that holds no sound"},
    {"AIFF whose first chunk has a damaged name", patched("tone.aiff", 12, std::string(1, '\0')),
     "not a sound"},
    {"FLAC", fixture("tone.flac"), "FLAC (Free Lossless Audio Codec) audio, which"},
    {"AAC in MP4",
     std::string("\0\0\0\x18"
                 "ftypM4A \0\0\0\0M4A mp42",
                 24),
     "not a sound"},
    {"text", "not a sound\n", "not a sound the game's audio library plays"},
    {"an empty file", "", "the file is empty"},
};
class SoundJudged : public testing::TestWithParam<SoundCase> {};

TEST_P(SoundJudged, ByItsHeaderAsTheLinuxLibraryDecodesIt) {
    const TempFolder folder;
    const std::string path = folder.write("sound", GetParam().bytes).string();
    const std::string refusal = audio::headerRefusal(path);
    if (*GetParam().refusal == '\0') {
        EXPECT_EQ(refusal, "");
    } else {
        EXPECT_THAT(refusal, testing::StartsWith(GetParam().refusal));
    }
    const audio::DecoderOpening opening = audio::openDecoder(path);
    EXPECT_EQ(opening.refusal, refusal);
    EXPECT_EQ(opening.decoder != nullptr, refusal.empty());
}
INSTANTIATE_TEST_SUITE_P(, SoundJudged, testing::ValuesIn(soundCases), CaseName());

}  // namespace
