#include "sound/sound_player.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "common/next_random.h"
#include "standins/loader/fresh_load.h"
#include "tests/support/call_log.h"
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

TEST_F(SoundPlayerTest, FindSoundFileTakesTheFirstPlaceThatHoldsAFile) {
    struct Case {
        std::set<int> files;
        std::set<int> folders;  // a folder named broke.mp3 in that place
        std::string expected;
    };
    const Case cases[] = {
        {{0, 1, 2, 3, 4, 5}, {}, "plug\\Radio SFX\\broke.mp3"},
        {{1, 2, 3, 4, 5}, {}, "plug\\broke.mp3"},
        {{2, 3, 4, 5}, {}, "scripts\\modloader\\Ostrelle\\Radio SFX\\broke.mp3"},
        {{3, 4, 5}, {}, "modloader\\Ostrelle\\Radio SFX\\broke.mp3"},
        {{4, 5}, {}, "Radio SFX\\broke.mp3"},
        {{5}, {}, "broke.mp3"},
        {{}, {}, ""},
        {{3}, {0, 1, 2}, "modloader\\Ostrelle\\Radio SFX\\broke.mp3"},
        {{}, {0, 1, 2, 3, 4, 5}, ""},
    };
    for (const Case& c : cases) {
        TempFolder tree;
        for (int i : c.files) tree.write(places[i], "mp3");
        for (int i : c.folders) tree.makeFolder(places[i]);
        PathText path;
        EXPECT_EQ(findSoundFile("plug", "broke.mp3", path), !c.expected.empty());
        EXPECT_EQ(path.view(), c.expected)
            << "files in " << c.files.size() << " places, folders in " << c.folders.size();
    }
}

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
    EXPECT_EQ(soundBank.impactSound1, 0u);
    EXPECT_EQ(soundBank.impactSound2, 0u);
    EXPECT_EQ(soundBank.noiseSound, 1u);
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

TEST_F(SoundPlayerTest, ImpactSoundIsChosenByTheDrawFromTheLoadedOnes) {
    struct Case {
        SoundBank bank;
        std::vector<std::string> calls;
        std::uint32_t stateAfter;  // one draw moves the state from 1 to 2745024
    };
    const Case cases[] = {
        // The first draw is 41: odd, so the second of two loaded sounds plays.
        {{1, 2, 3, true},
         {"BASS_ChannelStop(1)", "BASS_ChannelStop(2)", "BASS_ChannelSetAttribute(2,2,0.5)",
          "BASS_ChannelPlay(2,1)"},
         2745024},
        {{0, 7, 3, true},
         {"BASS_ChannelStop(7)", "BASS_ChannelSetAttribute(7,2,0.5)", "BASS_ChannelPlay(7,1)"},
         2745024},
        {{5, 0, 3, true},
         {"BASS_ChannelStop(5)", "BASS_ChannelSetAttribute(5,2,0.5)", "BASS_ChannelPlay(5,1)"},
         2745024},
        {{0, 0, 3, true}, {}, 1},
    };
    for (const Case& c : cases) {
        soundBank = c.bank;
        randomState = 1;
        callLog().clear();
        playImpactSound(0.5f);
        EXPECT_EQ(callLog(), c.calls);
        EXPECT_EQ(randomState, c.stateAfter);
    }
}

TEST_F(SoundPlayerTest, SecondDrawOfTwoSoundsPicksByParity) {
    soundBank = {1, 2, 3, true};
    playImpactSound(1.0f);  // 41: broke2.mp3
    callLog().clear();
    playImpactSound(1.0f);  // 18467: odd again, broke2.mp3 from its start
    EXPECT_THAT(callLog(), ElementsAre("BASS_ChannelStop(1)", "BASS_ChannelStop(2)",
                                       "BASS_ChannelSetAttribute(2,2,1)", "BASS_ChannelPlay(2,1)"));
    callLog().clear();
    playImpactSound(1.0f);  // 6334: even, broke.mp3
    EXPECT_EQ(callLog().back(), "BASS_ChannelPlay(1,1)");
}

TEST_F(SoundPlayerTest, NoiseKeepsPlayingWithoutRestartAtTheLatestVolume) {
    soundBank = {1, 2, 3, true};
    playNoise(0.8f);
    playNoise(0.4f);
    EXPECT_THAT(callLog(),
                ElementsAre("BASS_ChannelSetAttribute(3,2,0.8)", "BASS_ChannelPlay(3,0)",
                            "BASS_ChannelSetAttribute(3,2,0.4)", "BASS_ChannelPlay(3,0)"));

    callLog().clear();
    soundBank.noiseSound = 0;
    playNoise(1.0f);
    stopNoise();
    EXPECT_THAT(callLog(), IsEmpty());
}

TEST_F(SoundPlayerTest, StopsAndCloseWorkInSoundOrderOnLoadedStreamsOnly) {
    soundBank = {1, 2, 3, true};
    stopAllSounds();
    closeSounds();
    EXPECT_THAT(callLog(),
                ElementsAre("BASS_ChannelStop(1)", "BASS_ChannelStop(2)", "BASS_ChannelStop(3)",
                            "BASS_ChannelStop(1)", "BASS_ChannelStop(2)", "BASS_ChannelStop(3)",
                            "BASS_StreamFree(1)", "BASS_StreamFree(2)", "BASS_StreamFree(3)",
                            "BASS_Free()"));
    EXPECT_EQ(soundBank.impactSound1 + soundBank.impactSound2 + soundBank.noiseSound, 0u);
    EXPECT_FALSE(soundBank.audioReady);

    callLog().clear();
    soundBank = {0, 2, 0, true};
    closeSounds();
    EXPECT_THAT(callLog(), ElementsAre("BASS_ChannelStop(2)", "BASS_StreamFree(2)", "BASS_Free()"));
}

}  // namespace
