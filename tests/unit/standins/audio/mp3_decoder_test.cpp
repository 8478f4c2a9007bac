#include "standins/audio/mp3_decoder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string fixture(const std::string& name) {
    return OSTRELLE_AUDIO_FIXTURES "/" + name;
}

// How many frames the decoder gives from where it stands.
std::size_t countFrames(audio::Mp3Decoder& decoder) {
    std::size_t total = 0;
    float block[2 * 500];
    while (const std::size_t count = decoder.read(block, 500)) {
        total += count;
    }
    return total;
}

// Each fixture holds one second of sound: encoder delay and padding must not show.
TEST(Mp3Decoder, DecodesExactlyTheEncodedSamplesAtTheFilesRate) {
    for (const auto& [name, rate] :
         {std::pair{"tone.mp3", 44100L}, {"tone-22050-mono.mp3", 22050L}}) {
        SCOPED_TRACE(name);
        auto decoder = audio::Mp3Decoder::open(fixture(name));
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(decoder->rate(), rate);
        EXPECT_EQ(countFrames(*decoder), static_cast<std::size_t>(rate));
    }
}

TEST(Mp3Decoder, FileCutPartWayDecodesWhatItHolds) {
    const std::string whole = fixture("tone.mp3");
    const std::string cut = testing::TempDir() + "ostrelle-cut.mp3";
    std::vector<char> bytes(std::filesystem::file_size(whole) / 2);
    std::ifstream(whole, std::ios::binary).read(bytes.data(), std::ssize(bytes));
    std::ofstream(cut, std::ios::binary).write(bytes.data(), std::ssize(bytes));

    auto decoder = audio::Mp3Decoder::open(cut);
    ASSERT_NE(decoder, nullptr);
    const std::size_t frames = countFrames(*decoder);
    EXPECT_GT(frames, 15000u);
    EXPECT_LT(frames, 30000u);
    std::filesystem::remove(cut);
}

}  // namespace
