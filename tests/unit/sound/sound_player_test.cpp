#include "sound/sound_player.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "common/next_random.h"
#include "standins/loader/fresh_load.h"
#include "tests/support/call_log.h"
#include "tests/support/case_name.h"
#include "tests/support/recording_bass.h"
#include "tests/support/temp_folder.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class SoundPlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        loadPluginAfresh(".");
        callLog().clear();
        recordingBass::reset();
    }
};

// The six places, relative to the temporary folder, for the folder "plug" and "broke.mp3".
const char* const places[] = {
    "plug/Radio SFX/broke.mp3",
    "plug/broke.mp3",
    "scripts/modloader/Ostrelle/Radio SFX/broke.mp3",
    "modloader/Ostrelle/Radio SFX/broke.mp3",
    "Radio SFX/broke.mp3",
    "broke.mp3",
};

struct PlacesCase {
    const char* name;
    std::set<int> files;
    std::set<int> folders;  // a folder named broke.mp3 in that place
    std::string expected;
};
const PlacesCase placesCases[] = {
    {"every place", {0, 1, 2, 3, 4, 5}, {}, "plug\\Radio SFX\\broke.mp3"},
    {"from the second on", {1, 2, 3, 4, 5}, {}, "plug\\broke.mp3"},
    {"from the third on", {2, 3, 4, 5}, {}, "scripts\\modloader\\Ostrelle\\Radio SFX\\broke.mp3"},
    {"from the fourth on", {3, 4, 5}, {}, "modloader\\Ostrelle\\Radio SFX\\broke.mp3"},
    {"the last two", {4, 5}, {}, "Radio SFX\\broke.mp3"},
    {"the last", {5}, {}, "broke.mp3"},
    {"nowhere", {}, {}, ""},
    {"folders in the first three", {3}, {0, 1, 2}, "modloader\\Ostrelle\\Radio SFX\\broke.mp3"},
    {"folders everywhere", {}, {0, 1, 2, 3, 4, 5}, ""},
};
class FindSoundFile : public SoundPlayerTest, public testing::WithParamInterface<PlacesCase> {};

TEST_P(FindSoundFile, TakesTheFirstPlaceThatHoldsAFile) {
    TempFolder tree;
    for (int i : GetParam().files) tree.write(places[i], "mp3");
    for (int i : GetParam().folders) tree.makeFolder(places[i]);
    PathText path;
    EXPECT_EQ(findSoundFile("plug", "broke.mp3", path), !GetParam().expected.empty());
    EXPECT_EQ(path.view(), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(, FindSoundFile, testing::ValuesIn(placesCases), CaseName());

TEST_F(SoundPlayerTest, OpenSoundsSearchesEverySoundBeforeCreatingStreamsAndOpensOnce) {
    TempFolder tree;
    tree.write("plug/Radio SFX/broke.mp3");
    tree.write("Radio SFX/broke.mp3");  // a later place: never reached
    tree.write("plug/noise.mp3");
    recordingBass::answerStream("plug\\Radio SFX\\broke.mp3", 0);  // found but unplayable

    openSounds("plug");
    openSounds("plug");

    EXPECT_THAT(callLog(), ElementsAre("BASS_Init(-1,44100,0,0,0)",
                                       "BASS_StreamCreateFile(0,plug\\Radio SFX\\broke.mp3,0,0,0)",
                                       "BASS_StreamCreateFile(0,plug\\noise.mp3,0,0,4)"));
    EXPECT_THAT(soundBank.streams, ElementsAre(0u, 0u, 1u));
    EXPECT_TRUE(soundBank.audioReady);
}

TEST_F(SoundPlayerTest, NothingHappensWhileClosed) {
    const std::function<void()> operations[] = {
        [] { playImpactSound(1.0f); }, [] { playNoise(1.0f); }, [] { stopImpactSounds(); },
        [] { stopNoise(); },           [] { stopAllSounds(); }, [] { closeSounds(); },
    };
    for (const auto& operation : operations) operation();  // before any open
    EXPECT_THAT(callLog(), IsEmpty());

    TempFolder emptyTree;
    openSounds("plug");
    closeSounds();
    EXPECT_THAT(callLog(), ElementsAre("BASS_Init(-1,44100,0,0,0)", "BASS_Free()"))
        << "closing after a search that found nothing still closes the library";
    EXPECT_FALSE(soundBank.audioReady);

    callLog().clear();
    for (const auto& operation : operations) operation();  // after close
    EXPECT_THAT(callLog(), IsEmpty());
    EXPECT_EQ(randomState, 1u);
}

struct DrawCase {
    const char* name;
    SoundBank bank;
    std::uint32_t stateBefore;  // the generator's first draws from 1 are 41, 18467, 6334
    std::vector<std::string> calls;
    std::uint32_t stateAfter;
};
const DrawCase drawCases[] = {
    {"both loaded, an odd draw",
     {{1, 2, 3}, true},
     1,
     {"BASS_ChannelStop(1)", "BASS_ChannelStop(2)", "BASS_ChannelSetAttribute(2,2,0.5)",
      "BASS_ChannelPlay(2,1)"},
     2745024},
    {"both loaded, an even draw",
     {{1, 2, 3}, true},
     3357800067u,
     {"BASS_ChannelStop(1)", "BASS_ChannelStop(2)", "BASS_ChannelSetAttribute(1,2,0.5)",
      "BASS_ChannelPlay(1,1)"},
     415139642},
    {"the second loaded",
     {{0, 7, 3}, true},
     1,
     {"BASS_ChannelStop(7)", "BASS_ChannelSetAttribute(7,2,0.5)", "BASS_ChannelPlay(7,1)"},
     2745024},
    {"the first loaded",
     {{5, 0, 3}, true},
     1,
     {"BASS_ChannelStop(5)", "BASS_ChannelSetAttribute(5,2,0.5)", "BASS_ChannelPlay(5,1)"},
     2745024},
    {"none loaded", {{0, 0, 3}, true}, 1, {}, 1},
};
class ImpactSound : public SoundPlayerTest, public testing::WithParamInterface<DrawCase> {};

TEST_P(ImpactSound, IsChosenByTheDrawFromTheLoadedOnes) {
    soundBank = GetParam().bank;
    randomState = GetParam().stateBefore;
    playImpactSound(0.5f);
    EXPECT_EQ(callLog(), GetParam().calls);
    EXPECT_EQ(randomState, GetParam().stateAfter);
}
INSTANTIATE_TEST_SUITE_P(, ImpactSound, testing::ValuesIn(drawCases), CaseName());

TEST_F(SoundPlayerTest, NoiseKeepsPlayingWithoutRestartAtTheLatestVolume) {
    soundBank = {{1, 2, 3}, true};
    playNoise(0.8f);
    playNoise(0.4f);
    EXPECT_THAT(callLog(),
                ElementsAre("BASS_ChannelSetAttribute(3,2,0.8)", "BASS_ChannelPlay(3,0)",
                            "BASS_ChannelSetAttribute(3,2,0.4)", "BASS_ChannelPlay(3,0)"));

    callLog().clear();
    soundBank.streams[2] = 0;
    playNoise(1.0f);
    stopNoise();
    EXPECT_THAT(callLog(), IsEmpty());
}

}  // namespace
