#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "standins/audio/decoder.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace {

std::string fixture(const std::string& name) {
    return OSTRELLE_AUDIO_FIXTURES "/" + name;
}

// How many frames the decoder gives from where it stands.
std::size_t countFrames(audio::Decoder& decoder) {
    std::size_t total = 0;
    float block[2 * 500];
    while (const std::size_t count = decoder.read(block, 500)) {
        total += count;
    }
    return total;
}

struct Fixture {
    const char* name;
    long rate;
};
const Fixture fixtures[] = {{"tone.mp3", 44100}, {"tone-22050-mono.mp3", 22050}};
class Mp3Decoder : public testing::TestWithParam<Fixture> {};

// MP3 files decode through libmpg123, opened by content (decoder.h).

// Each fixture holds one second of sound: encoder delay and padding must not show.
TEST_P(Mp3Decoder, DecodesExactlyTheEncodedSamplesAtTheFilesRate) {
    auto decoder = audio::openDecoder(fixture(GetParam().name)).decoder;
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(decoder->rate(), GetParam().rate);
    EXPECT_EQ(countFrames(*decoder), static_cast<std::size_t>(GetParam().rate));
}
INSTANTIATE_TEST_SUITE_P(, Mp3Decoder, testing::ValuesIn(fixtures), CaseName());

TEST(Mp3DecoderCut, FileCutPartWayDecodesWhatItHolds) {
    const std::string whole = fixture("tone.mp3");
    std::string bytes(std::filesystem::file_size(whole) / 2, '\0');
    std::ifstream(whole, std::ios::binary).read(bytes.data(), std::ssize(bytes));
    const TempFolder folder;

    auto decoder = audio::openDecoder(folder.write("cut.mp3", bytes).string()).decoder;
    ASSERT_NE(decoder, nullptr);
    const std::size_t frames = countFrames(*decoder);
    EXPECT_GT(frames, 15000u);
    EXPECT_LT(frames, 30000u);
}

}  // namespace
