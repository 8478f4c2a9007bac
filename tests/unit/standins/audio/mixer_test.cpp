#include "standins/audio/mixer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/case_name.h"

namespace {

using audio::Mixer;
using testing::AllOf;
using testing::Each;
using testing::FloatNear;
using testing::Ge;
using testing::Le;
using testing::Pointwise;

const std::string tonePath = OSTRELLE_AUDIO_FIXTURES "/tone.mp3";

std::vector<float> render(Mixer& mixer, std::size_t frameCount) {
    std::vector<float> frames(2 * frameCount, 1.0f);
    mixer.render(frames.data(), frameCount);
    return frames;
}

// The tone's frames [first, first + frameCount) times volume, as a stream gives them alone.
std::vector<float> tone(std::size_t first, std::size_t frameCount, float volume = 1.0f) {
    std::vector<float> frames(2 * (first + frameCount));
    audio::SoundStream::open(tonePath, false)->read(frames.data(), first + frameCount);
    frames.erase(frames.begin(), frames.begin() + 2 * first);
    for (float& x : frames) {
        x *= volume;
    }
    return frames;
}

HSTREAM addTone(Mixer& mixer, bool loop = false) {
    return mixer.add(audio::SoundStream::open(tonePath, loop));
}

struct Volumes {
    const char* name;
    float first, second;
};
const Volumes volumes[] = {{"one at full", 1.0f, 0.0f},
                           {"one at half", 0.5f, 0.0f},
                           {"one at double", 2.0f, 0.0f},
                           {"full and half", 1.0f, 0.5f}};
class Mix : public testing::TestWithParam<Volumes> {};

TEST_P(Mix, IsTheSumOfEachPlayingStreamTimesItsVolume) {
    Mixer mixer;
    addTone(mixer);  // never played: silent
    for (float volume : {GetParam().first, GetParam().second}) {
        const HSTREAM handle = addTone(mixer);
        ASSERT_TRUE(mixer.setVolume(handle, volume));
        mixer.play(handle, true);
    }
    EXPECT_THAT(render(mixer, 2000),
                Pointwise(FloatNear(1e-6f), tone(0, 2000, GetParam().first + GetParam().second)));
}
INSTANTIATE_TEST_SUITE_P(, Mix, testing::ValuesIn(volumes), CaseName());

TEST(Mixer, VolumeIsAnyFiniteAmountFromZeroUpAndTheMixStaysFinite) {
    constexpr float largest = std::numeric_limits<float>::max();
    Mixer mixer;
    // Near its peak each stream gives about half the largest float: three of them overflow.
    for (int i = 0; i < 3; ++i) {
        const HSTREAM handle = addTone(mixer);
        ASSERT_TRUE(mixer.setVolume(handle, largest));
        for (float volume : {-0.5f, std::numeric_limits<float>::infinity(), std::nanf("")}) {
            EXPECT_FALSE(mixer.setVolume(handle, volume)) << volume;
        }
        mixer.play(handle, true);
    }
    EXPECT_THAT(render(mixer, 4000), Each(AllOf(Ge(-largest), Le(largest))));
}

struct Between {
    const char* name;
    std::function<void(Mixer&, HSTREAM)> between;
    std::size_t resumesAt;
};
const Between betweens[] = {
    {"restart TRUE", [](Mixer& m, HSTREAM h) { m.play(h, true); }, 0},
    {"restart FALSE while playing", [](Mixer& m, HSTREAM h) { m.play(h, false); }, 3000},
    {"stop, then restart FALSE",
     [](Mixer& m, HSTREAM h) {
         m.stop(h);
         EXPECT_THAT(render(m, 700), Each(0.0f));
         m.play(h, false);
     },
     3000},
};
class Position : public testing::TestWithParam<Between> {};

// Plays the tone for 3000 frames, does what the case says, and renders 1000 frames more.
TEST_P(Position, MovesWithPlayStopAndRestartAsAsked) {
    Mixer mixer;
    const HSTREAM handle = addTone(mixer);
    mixer.play(handle, true);
    render(mixer, 3000);
    GetParam().between(mixer, handle);
    EXPECT_EQ(render(mixer, 1000), tone(GetParam().resumesAt, 1000));
}
INSTANTIATE_TEST_SUITE_P(, Position, testing::ValuesIn(betweens), CaseName());

TEST(Mixer, SoundThatEndedStaysSilentUntilRestarted) {
    Mixer mixer;
    const HSTREAM handle = addTone(mixer);
    mixer.play(handle, true);
    const std::vector<float> frames = render(mixer, 50000);
    EXPECT_NE(frames[2 * 44000], 0.0f);
    EXPECT_THAT(std::vector<float>(frames.begin() + 2 * 44100, frames.end()), Each(0.0f));
    mixer.play(handle, false);
    EXPECT_THAT(render(mixer, 500), Each(0.0f));
    mixer.play(handle, true);
    EXPECT_EQ(render(mixer, 500), tone(0, 500));
}

TEST(Mixer, BlocksOfAnySizeJoinIntoTheSameMix) {
    Mixer whole;
    Mixer pieces;
    for (Mixer* mixer : {&whole, &pieces}) {
        mixer->play(addTone(*mixer, true), true);
    }
    std::vector<float> joined;
    for (std::size_t size : {0, 1, 1023, 1024, 1025, 5000, 0, 37}) {
        const std::vector<float> piece = render(pieces, size);
        joined.insert(joined.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(joined, render(whole, joined.size() / 2));
}

}  // namespace
