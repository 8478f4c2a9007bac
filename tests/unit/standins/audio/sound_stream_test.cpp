#include "standins/audio/sound_stream.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace {

std::string fixture(const std::string& name) {
    return OSTRELLE_AUDIO_FIXTURES "/" + name;
}

struct Tone {
    const char* name;
    float rightOverLeft;  // 1 for the mono file, whose one channel must reach both sides
};
// One second of 441 Hz each: at the output rate it repeats every 100 frames.
const Tone tones[] = {{"tone.mp3", 0.5f}, {"tone-22050-mono.mp3", 1.0f}};

std::vector<float> readFrames(audio::SoundStream& stream, std::size_t frameCount) {
    std::vector<float> frames(2 * frameCount);
    frames.resize(2 * stream.read(frames.data(), frameCount));
    return frames;
}

class SoundStream : public testing::TestWithParam<Tone> {};

TEST_P(SoundStream, LoopRunsOnIntoItsStartWithoutAGapOrAJump) {
    const Tone& tone = GetParam();
    auto stream = audio::SoundStream::open(fixture(tone.name), true);
    ASSERT_NE(stream, nullptr);
    const std::size_t frameCount = 110250;  // two and a half times round
    const std::vector<float> frames = readFrames(*stream, frameCount);
    ASSERT_EQ(frames.size(), 2 * frameCount);

    // From frame 1000 on: the rate converter starts a few frames late at the very start.
    float normalStep = 0.0f, step = 0.0f, periodError = 0.0f, channelError = 0.0f;
    for (std::size_t i = 1000; i + 100 < frameCount; ++i) {
        const float left = frames[2 * i];
        float& largestStep = i < 40000 ? normalStep : step;  // before the first seam, or across
        largestStep = std::max(largestStep, std::abs(left - frames[2 * i - 2]));
        periodError = std::max(periodError, std::abs(frames[2 * i + 200] - left));
        channelError =
            std::max(channelError, std::abs(frames[2 * i + 1] - tone.rightOverLeft * left));
    }
    EXPECT_LE(step, 1.25f * normalStep);  // no click at a seam
    EXPECT_LT(periodError, 0.02f);        // no lost or extra frame at a seam
    EXPECT_LT(channelError, 0.02f);
}

TEST_P(SoundStream, SoundWithoutLoopRewindsAfreshAndEndsAfterOneSecond) {
    const Tone& tone = GetParam();
    auto stream = audio::SoundStream::open(fixture(tone.name), false);
    ASSERT_NE(stream, nullptr);
    const std::vector<float> start = readFrames(*stream, 3000);
    readFrames(*stream, 12345);
    stream->rewind();  // nothing of the old position may linger in the rate converter
    EXPECT_THAT(readFrames(*stream, 3000), testing::Pointwise(testing::FloatNear(1e-6f), start));
    EXPECT_NEAR(readFrames(*stream, 50000).size() / 2.0, 44100.0 - 3000.0, 8.0);
    EXPECT_TRUE(readFrames(*stream, 100).empty());
}

INSTANTIATE_TEST_SUITE_P(, SoundStream, testing::ValuesIn(tones), CaseName());

// A sound short enough is kept whole: however often a loop goes round or a restart comes, its
// file is not read again (which for a sound of one sample cost a reopening per output frame).
struct ShortSoundCase {
    const char* name;
    const char* fixture;
    bool loop;
};
const ShortSoundCase shortSounds[] = {
    {"one sample looped", "one-sample.mp3", true},
    {"a quarter second looped", "tone.wav", true},
    {"a quarter second restarted", "tone.ogg", false},
};
class ShortSound : public testing::TestWithParam<ShortSoundCase> {};

TEST_P(ShortSound, PlaysOnOnceItsFileIsGone) {
    const TempFolder folder;
    const std::filesystem::path copy = folder.path() / GetParam().fixture;
    std::filesystem::copy_file(fixture(GetParam().fixture), copy);
    auto stream = audio::SoundStream::open(copy.string(), GetParam().loop);
    ASSERT_NE(stream, nullptr);
    const std::vector<float> first = readFrames(*stream, 20000);
    std::filesystem::resize_file(copy, 0);
    stream->rewind();
    const std::vector<float> again = readFrames(*stream, 20000);
    EXPECT_THAT(again, testing::Pointwise(testing::FloatEq(), first));
    EXPECT_FALSE(first.empty());
    if (GetParam().loop) {
        EXPECT_EQ(first.size(), 2u * 20000);
    }
}
INSTANTIATE_TEST_SUITE_P(, ShortSound, testing::ValuesIn(shortSounds), CaseName());

// A WAV's header may say any sample rate: far below the output's, a sound is converted in pieces
// of bounded size; far above it, where decoding would take many times the sound's length, it is
// refused with the reason.
struct RateCase {
    const char* name;
    std::uint32_t rate;
    const char* refusal;  // "" when the sound plays
};
const RateCase rates[] = {
    {"1 Hz", 1, ""},
    {"8 kHz", 8000, ""},
    {"384 kHz", 384000, ""},
    {"384001 Hz", 384001, "a sample rate of 384001 Hz, above the 384000 Hz the simulator plays"},
    {"10 MHz", 10'000'000, "a sample rate of 10000000 Hz, above the 384000 Hz"},
};
class SampleRate : public testing::TestWithParam<RateCase> {};

// The bytes the allocator has given out, large blocks (mapped on their own) included.
std::size_t allocatedBytes() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A mono 16-bit WAV of four samples at rate.
std::string wavAt(std::uint32_t rate) {
    const auto le = [](std::uint32_t value, int bytes) {
        std::string text;
        for (int i = 0; i < bytes; ++i) text += static_cast<char>((value >> (8 * i)) & 0xFF);
        return text;
    };
    const std::string samples("\x00\x40\x00\xC0\x00\x40\x00\xC0", 8);
    return "RIFF" + le(36 + samples.size(), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) +
           le(rate, 4) + le(rate * 2, 4) + le(2, 2) + le(16, 2) + "data" + le(samples.size(), 4) +
           samples;
}

TEST_P(SampleRate, PlaysInBoundedMemoryOrIsRefusedWithTheReason) {
    const TempFolder temp;
    temp.write("tone.wav", wavAt(GetParam().rate));
    std::string refusal;
    const std::size_t before = allocatedBytes();
    auto stream = audio::SoundStream::open((temp.path() / "tone.wav").string(), false, &refusal);
    if (*GetParam().refusal != '\0') {
        EXPECT_EQ(stream, nullptr);
        EXPECT_THAT(refusal, testing::HasSubstr(GetParam().refusal));
        return;
    }
    ASSERT_NE(stream, nullptr) << refusal;
    std::vector<float> frames(2 * 4096);
    EXPECT_GT(stream->read(frames.data(), 4096), 0u);
    EXPECT_LT(allocatedBytes() - before, std::size_t{16} << 20) << "bytes held by the stream";
}
INSTANTIATE_TEST_SUITE_P(, SampleRate, testing::ValuesIn(rates), CaseName());

}  // namespace
