#include "standins/audio/decoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>

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

}  // namespace
