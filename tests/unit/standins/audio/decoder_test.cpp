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

// Each sound the game's audio library would not play, and the reason a player is given.
struct RefusalCase {
    const char* name;
    std::string_view bytes;
    const char* refusal;
};
// A frame header, then zeros where its data should be. (Built byte by byte: GCC 12 warns falsely of
// an overflow in a concatenation made at static initialisation.)
const std::string damagedMp3 = [] {
    std::string bytes(304, '\0');
    bytes[0] = '\xFF';
    bytes[1] = '\xFB';
    bytes[2] = '\x90';
    return bytes;
}();
const RefusalCase refusals[] = {
    {"an empty file", "", "the file is empty"},
    {"text", "not a sound\n", "not a sound the game's audio library plays"},
    {"a damaged MP3", damagedMp3, "MPEG audio that does not decode"},
    {"a WAV without samples",
     std::string_view(
         "RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x22\x56\0\0\x44\xAC\0\0\x02\0\x10\0"
         "data\0\0\0\0",
         44),
     "holds no sound"},
};
class Refused : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refused, SaysWhyTheFileWouldNotPlay) {
    const TempFolder folder;
    const audio::DecoderOpening opening =
        audio::openDecoder(folder.write("noise.mp3", std::string(GetParam().bytes)).string());
    EXPECT_EQ(opening.decoder, nullptr);
    EXPECT_THAT(opening.refusal, testing::HasSubstr(GetParam().refusal));
}
INSTANTIATE_TEST_SUITE_P(, Refused, testing::ValuesIn(refusals), CaseName());

TEST(RefusedFlac, IsNamedAsFlac) {
    const audio::DecoderOpening opening = audio::openDecoder(OSTRELLE_AUDIO_FIXTURES "/tone.flac");
    EXPECT_EQ(opening.decoder, nullptr);
    EXPECT_THAT(opening.refusal, testing::StartsWith("FLAC"));
}

std::string fixture(const char* name) {
    std::ifstream file(OSTRELLE_AUDIO_FIXTURES "/" + std::string(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// Each kind of file as the browser's build judges it by its header alone (refusal: how the reason
// starts; "" when it plays), which must be what the Linux library decides by decoding it.
struct HeaderCase {
    const char* name;
    std::string bytes;
    const char* refusal;
};
const HeaderCase headerCases[] = {
    {"MP3", fixture("tone.mp3"), ""},
    {"MP3 after an ID3 tag", std::string("ID3\x04\0\0\0\0\0\x04tag!", 14) + fixture("tone.mp3"),
     ""},
    {"WAV", fixture("tone.wav"), ""},
    {"AIFF", fixture("tone.aiff"), ""},
    {"OGG Vorbis", fixture("tone.ogg"), ""},
    {"FLAC", fixture("tone.flac"), "FLAC (Free Lossless Audio Codec) audio, which"},
    {"AAC in MP4",
     std::string("\0\0\0\x18"
                 "ftypM4A \0\0\0\0M4A mp42",
                 24),
     "not a sound"},
    {"text", "not a sound\n", "not a sound"},
};
class HeaderJudged : public testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderJudged, AsTheLinuxLibraryDecides) {
    const TempFolder folder;
    const std::string path = folder.write("sound", GetParam().bytes).string();
    const std::string refusal = audio::headerRefusal(path);
    if (*GetParam().refusal == '\0') {
        EXPECT_EQ(refusal, "");
    } else {
        EXPECT_THAT(refusal, testing::StartsWith(GetParam().refusal));
    }
    EXPECT_EQ(refusal, audio::openDecoder(path).refusal);
}
INSTANTIATE_TEST_SUITE_P(, HeaderJudged, testing::ValuesIn(headerCases), CaseName());

}  // namespace
