#include "standins/audio/bass_linux.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "sound/sound_player.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testing::AllOf;
using testing::Contains;
using testing::Each;
using testing::Ge;
using testing::Gt;
using testing::Le;
using testing::Lt;
using testing::Ne;
using testing::SizeIs;

const std::string tonePath = OSTRELLE_AUDIO_FIXTURES "/tone.mp3";

BASS_BOOL init(int device = -1) {
    return BASS_Init(device, 44100, 0, nullptr, nullptr);
}

HSTREAM open(const std::string& path, BASS_DWORD flags = 0) {
    return BASS_StreamCreateFile(0, path.c_str(), 0, 0, flags);
}

std::vector<float> renderSecond() {
    std::vector<float> frames(2 * 44100, 1.0f);
    audio::renderOutput(frames.data(), 44100);
    return frames;
}

// Each test starts and ends with the device closed.
class BassLinux : public testing::Test {
  protected:
    void TearDown() override { BASS_Free(); }
};

template <typename Case>
class BassLinuxCases : public BassLinux, public testing::WithParamInterface<Case> {};

struct DeviceCase {
    const char* name;
    int device;
    bool opens;
};
const DeviceCase devices[] = {{"the default", -1, true},
                              {"the only one", 1, true},
                              {"none", 0, false},
                              {"a second", 2, false}};
using Device = BassLinuxCases<DeviceCase>;

TEST_P(Device, OpensOnceForTheDefaultOrTheOnlyDevice) {
    EXPECT_EQ(init(GetParam().device), GetParam().opens ? 1 : 0);
    EXPECT_EQ(init(GetParam().device), 0);
    EXPECT_EQ(BASS_Free(), GetParam().opens ? 1 : 0);
    EXPECT_EQ(BASS_Free(), 0);
}
INSTANTIATE_TEST_SUITE_P(, Device, testing::ValuesIn(devices), CaseName());

TEST_F(BassLinux, NothingPlaysWhileTheDeviceIsClosedAndFreeReleasesEveryStream) {
    EXPECT_EQ(open(tonePath), 0u);
    std::vector<float> frames(20, 1.0f);
    EXPECT_FALSE(audio::renderOutput(frames.data(), 10));
    EXPECT_THAT(frames, Each(0.0f));
    EXPECT_FALSE(audio::renderOutput(nullptr, 0));

    ASSERT_TRUE(init());
    const HSTREAM handle = open(tonePath);
    ASSERT_NE(handle, 0u);
    BASS_Free();
    ASSERT_TRUE(init());
    EXPECT_FALSE(BASS_ChannelPlay(handle, 1));  // freed with the device
}

struct BadFile {
    const char* name;
    const char* path;  // relative to the test's folder, which is the current directory
};
const BadFile badFiles[] = {
    {"missing", "missing.mp3"},
    {"empty", "empty.mp3"},
    {"folder", "."},
    {"cut inside its first frame", "cut.mp3"},
    {"text", "text.mp3"},
    {"text before the audio", "late.mp3"},
    {"audio far behind a stray frame header", "stray.mp3"},
    {"program", "/proc/self/exe"},
    {"named pipe", "pipe.mp3"},
};
class FileThatDoesNotDecode : public BassLinuxCases<BadFile> {
  protected:
    void SetUp() override {
        std::ifstream toneFile(tonePath, std::ios::binary);
        const std::string tone{std::istreambuf_iterator<char>(toneFile), {}};
        // An MPEG-1 Layer III frame header (128 kb/s, 44.1 kHz) with no frame behind it.
        const std::string strayHeader("\xFF\xFB\x90\x00", 4);
        folder.write("empty.mp3");
        folder.write("cut.mp3", tone.substr(0, 300));
        folder.write("text.mp3", "not a sound\n");
        folder.write("late.mp3", "not a sound\n" + tone);
        folder.write("stray.mp3", strayHeader + std::string(2000, '\0') + tone);
        ASSERT_EQ(mkfifo("pipe.mp3", 0600), 0);
    }
    const TempFolder folder;
};

TEST_P(FileThatDoesNotDecode, GivesNoHandleAndNoOutput) {
    ASSERT_TRUE(init());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const HSTREAM handle = open(GetParam().path);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(handle, 0u);
}
INSTANTIATE_TEST_SUITE_P(, FileThatDoesNotDecode, testing::ValuesIn(badFiles), CaseName());

TEST_F(BassLinux, OnlyAWholeFileByNarrowPathIsRead) {
    ASSERT_TRUE(init());
    const char* path = tonePath.c_str();
    EXPECT_EQ(BASS_StreamCreateFile(1, path, 0, 0, 0), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(0, path, 100, 0, 0), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(0, path, 0, 1000, 0), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(0, path, 0, 0, BASS_SAMPLE_LOOP | 0x100), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(0, nullptr, 0, 0, 0), 0u);
    std::string windowsPath = tonePath;
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    EXPECT_NE(open(windowsPath), 0u);
}

TEST_F(BassLinux, FreedHandleIsDeadAndNotGivenOutAgain) {
    ASSERT_TRUE(init());
    const HSTREAM first = open(tonePath);
    const HSTREAM second = open(tonePath, BASS_SAMPLE_LOOP);
    EXPECT_TRUE(BASS_StreamFree(first));
    const HSTREAM third = open(tonePath);
    EXPECT_THAT((std::set{first, second, third}), SizeIs(3));
    EXPECT_THAT((std::set{first, second, third}), Each(Ne(0u)));
    EXPECT_FALSE(BASS_ChannelSetAttribute(second, BASS_ATTRIB_VOL + 1, 1.0f));
}

struct DeadHandle {
    const char* name;
    HSTREAM (*make)();
};
const DeadHandle deadHandles[] = {
    {"freed, then another opened",
     [] {
         const HSTREAM freed = open(tonePath);
         BASS_StreamFree(freed);
         open(tonePath);
         return freed;
     }},
    {"zero", [] { return HSTREAM{0}; }},
    {"never given out", [] { return HSTREAM{0xDEAD}; }},
};
using Dead = BassLinuxCases<DeadHandle>;

TEST_P(Dead, HandleIsRefusedByEveryCall) {
    ASSERT_TRUE(init());
    const HSTREAM dead = GetParam().make();
    EXPECT_FALSE(BASS_StreamFree(dead));
    EXPECT_FALSE(BASS_ChannelPlay(dead, 1));
    EXPECT_FALSE(BASS_ChannelStop(dead));
    EXPECT_FALSE(BASS_ChannelSetAttribute(dead, BASS_ATTRIB_VOL, 1.0f));
}
INSTANTIATE_TEST_SUITE_P(, Dead, testing::ValuesIn(deadHandles), CaseName());

TEST_F(BassLinux, EntryPointsDriveTheMix) {
    ASSERT_TRUE(init());
    const HSTREAM handle = open(tonePath, BASS_SAMPLE_LOOP);
    EXPECT_TRUE(BASS_ChannelSetAttribute(handle, BASS_ATTRIB_VOL, 0.5f));
    EXPECT_TRUE(BASS_ChannelPlay(handle, 1));
    const std::vector<float> frames = renderSecond();  // the tone's louder side is at 0.5
    EXPECT_THAT(frames, Each(AllOf(Ge(-0.25f), Le(0.25f))));
    EXPECT_THAT(frames, Contains(Gt(0.2f)));
    EXPECT_TRUE(BASS_ChannelStop(handle));
    EXPECT_THAT(renderSecond(), Each(0.0f));
}

// The shipped sounds, opened as the plug-in opens them.
using GameSound = BassLinuxCases<PluginSound>;

TEST_P(GameSound, PlaysAudiblyWithoutClipping) {
    ASSERT_TRUE(init());
    const bool loops = GetParam().role == SoundRole::staticLoop;
    const HSTREAM handle = open(std::string(OSTRELLE_ASSETS "/Radio SFX/") + GetParam().fileName,
                                loops ? BASS_SAMPLE_LOOP : 0);
    ASSERT_NE(handle, 0u);
    BASS_ChannelPlay(handle, 1);
    const std::vector<float> frames = renderSecond();
    EXPECT_THAT(frames, Each(AllOf(Gt(-1.0f), Lt(1.0f))));
    EXPECT_THAT(frames, Contains(Gt(0.1f)));
}
INSTANTIATE_TEST_SUITE_P(, GameSound, testing::ValuesIn(pluginSounds),
                         [](const auto& info) { return caseName(info.param.fileName); });

// Writes down each call it hears of, with its arguments and result.
class CallLog : public audio::CallObserver {
  public:
    std::vector<std::string> calls;

    void bassInit(int device, BASS_DWORD freq, BASS_DWORD flags) override {
        add("init", device, freq, flags);
    }
    void bassStreamCreateFile(const char* path, BASS_DWORD flags, HSTREAM handle) override {
        add(std::string("create ") + std::filesystem::path(path).filename().string(), flags,
            handle);
    }
    void bassChannelSetAttribute(BASS_DWORD handle, BASS_DWORD attrib, float value) override {
        add("volume", handle, attrib, value);
    }
    void bassChannelPlay(BASS_DWORD handle, BASS_BOOL restart) override {
        add("play", handle, restart);
    }
    void bassChannelStop(BASS_DWORD handle) override { add("stop", handle); }
    void bassStreamFree(HSTREAM handle) override { add("free", handle); }
    void bassFree() override { add("close"); }

  private:
    template <typename... Args>
    void add(const std::string& name, Args... args) {
        std::string text = name;
        ((text += " " + std::to_string(args)), ...);
        calls.push_back(text);
    }
};

TEST_F(BassLinux, ObserverHearsEveryCallWithItsResultUntilUnset) {
    CallLog log;
    audio::setCallObserver(&log);
    init(1);
    const HSTREAM tone = open(tonePath, BASS_SAMPLE_LOOP);
    open("/nowhere/missing.mp3");
    BASS_ChannelSetAttribute(tone, BASS_ATTRIB_VOL, 0.5f);
    BASS_ChannelPlay(tone, 1);
    BASS_ChannelStop(tone);
    BASS_StreamFree(tone);
    BASS_StreamCreateFile(1, tonePath.c_str(), 0, 0, 0);
    BASS_Free();
    audio::setCallObserver(nullptr);
    init();
    EXPECT_THAT(log.calls, testing::ElementsAre("init 1 44100 0", "create tone.mp3 4 1",
                                                "create missing.mp3 0 0", "volume 1 2 0.500000",
                                                "play 1 1", "stop 1", "free 1", "close"));
}

}  // namespace
