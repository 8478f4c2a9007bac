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

TEST_F(BassLinux, DeviceOpensOnceForTheDefaultOrTheOnlyDevice) {
    for (const auto& [device, opens] : {std::pair{-1, true}, {1, true}, {0, false}, {2, false}}) {
        SCOPED_TRACE(device);
        EXPECT_EQ(init(device), opens ? 1 : 0);
        EXPECT_EQ(init(device), 0);
        EXPECT_EQ(BASS_Free(), opens ? 1 : 0);
        EXPECT_EQ(BASS_Free(), 0);
    }
}

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

TEST_F(BassLinux, FileThatDoesNotDecodeGivesNoHandleAndNoOutput) {
    const fs::path folder = fs::path(testing::TempDir()) / "ostrelle-bad-files";
    fs::create_directories(folder);
    const auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
        return (folder / name).string();
    };
    std::ifstream toneFile(tonePath, std::ios::binary);
    const std::string tone{std::istreambuf_iterator<char>(toneFile), {}};
    // An MPEG-1 Layer III frame header (128 kb/s, 44.1 kHz) with no frame behind it.
    const std::string strayHeader("\xFF\xFB\x90\x00", 4);
    const std::string pipe = (folder / "pipe.mp3").string();
    mkfifo(pipe.c_str(), 0600);
    const std::pair<const char*, std::string> files[] = {
        {"missing", (folder / "missing.mp3").string()},
        {"empty", write("empty.mp3", "")},
        {"folder", folder.string()},
        {"cut inside its first frame", write("cut.mp3", tone.substr(0, 300))},
        {"text", write("text.mp3", "not a sound\n")},
        {"text before the audio", write("late.mp3", "not a sound\n" + tone)},
        {"audio far behind a stray frame header",
         write("stray.mp3", strayHeader + std::string(2000, '\0') + tone)},
        {"program", fs::read_symlink("/proc/self/exe").string()},
        {"named pipe", pipe},
    };
    ASSERT_TRUE(init());
    for (const auto& [kind, path] : files) {
        SCOPED_TRACE(kind);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const HSTREAM handle = open(path);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(handle, 0u);
    }
    fs::remove_all(folder);
}

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
    for (const HSTREAM dead : {first, 0u, 0xDEADu}) {
        SCOPED_TRACE(dead);
        EXPECT_FALSE(BASS_StreamFree(dead));
        EXPECT_FALSE(BASS_ChannelPlay(dead, 1));
        EXPECT_FALSE(BASS_ChannelStop(dead));
        EXPECT_FALSE(BASS_ChannelSetAttribute(dead, BASS_ATTRIB_VOL, 1.0f));
    }
    EXPECT_FALSE(BASS_ChannelSetAttribute(second, BASS_ATTRIB_VOL + 1, 1.0f));
}

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

TEST_F(BassLinux, GameSoundsPlayAudiblyWithoutClipping) {
    const std::pair<const char*, BASS_DWORD> sounds[] = {
        {"broke.mp3", 0}, {"broke2.mp3", 0}, {"noise.mp3", BASS_SAMPLE_LOOP}};
    ASSERT_TRUE(init());
    for (const auto& [name, flags] : sounds) {
        SCOPED_TRACE(name);
        const HSTREAM handle = open(std::string(OSTRELLE_ASSETS "/Radio SFX/") + name, flags);
        ASSERT_NE(handle, 0u);
        BASS_ChannelPlay(handle, 1);
        const std::vector<float> frames = renderSecond();
        EXPECT_THAT(frames, Each(AllOf(Gt(-1.0f), Lt(1.0f))));
        EXPECT_THAT(frames, Contains(Gt(0.1f)));
        BASS_StreamFree(handle);
    }
}

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
