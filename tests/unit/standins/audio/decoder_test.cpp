#include "standins/audio/decoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace {

// Each sound the game's audio library would not play, and the reason a player is given.
struct RefusalCase {
    const char* name;
    std::string bytes;
    const char* refusal;
};
const RefusalCase refusals[] = {
    {"an empty file", "", "the file is empty"},
    {"text", "not a sound\n", "not a sound the game's audio library plays"},
    {"a damaged MP3", std::string("\xFF\xFB\x90\x00", 4) + std::string(300, '\0'),
     "MPEG audio that does not decode"},
    {"a WAV without samples",
     std::string("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x22\x56\0\0\x44\xAC\0\0\x02\0\x10\0"
                 "data\0\0\0\0",
                 44),
     "holds no sound"},
};
class Refused : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refused, SaysWhyTheFileWouldNotPlay) {
    const TempFolder folder;
    const audio::DecoderOpening opening =
        audio::openDecoder(folder.write("noise.mp3", GetParam().bytes).string());
    EXPECT_EQ(opening.decoder, nullptr);
    EXPECT_THAT(opening.refusal, testing::HasSubstr(GetParam().refusal));
}
INSTANTIATE_TEST_SUITE_P(, Refused, testing::ValuesIn(refusals), CaseName());

TEST(RefusedFlac, IsNamedAsFlac) {
    const audio::DecoderOpening opening = audio::openDecoder(OSTRELLE_AUDIO_FIXTURES "/tone.flac");
    EXPECT_EQ(opening.decoder, nullptr);
    EXPECT_THAT(opening.refusal, testing::StartsWith("FLAC"));
}

}  // namespace
