#include "standins/world/trace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <sstream>

#include "tests/support/case_name.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

constexpr float nan = std::numeric_limits<float>::quiet_NaN();

struct Case {
    const char* name;
    std::function<void(Trace&)> call;
    std::string line;
};
const std::string at = R"({"frame":7,"tick":4294967295,"call":)";
const Case cases[] = {
    {"queryActor", [](Trace& t) { t.queryActor(); }, at + R"("queryActor"})"},
    {"queryVehicle", [](Trace& t) { t.queryVehicle(); }, at + R"("queryVehicle"})"},
    {"GetTickCount", [](Trace& t) { t.getTickCount(); }, at + R"("GetTickCount"})"},
    {"findRoofZ", [](Trace& t) { t.findRoofZ(0.1f, -2.0f, 1e30f); },
     at + R"("findRoofZ","x":0.1,"y":-2,"z":1e+30})"},
    {"findRoofZ beyond numbers",
     [](Trace& t) { t.findRoofZ(nan, std::numeric_limits<float>::infinity(), 16777216.0f); },
     at + R"("findRoofZ","x":"nan","y":"inf","z":16777216})"},
    {"findRoofZ at a signed zero", [](Trace& t) { t.findRoofZ(-0.0f, 0.0f, -1e-45f); },
     at + R"("findRoofZ","x":-0.0,"y":0,"z":-1e-45})"},
    {"setRadioVolume", [](Trace& t) { t.setRadioVolume(255); },
     at + R"("setRadioVolume","volume":255})"},
    {"BASS_Init", [](Trace& t) { t.bassInit(-1, 44100, 0); },
     at + R"("BASS_Init","device":-1,"freq":44100,"flags":0})"},
    {"a stream in a folder that only starts alike",
     [](Trace& t) { t.bassStreamCreateFile("C:\\gamex\\a\"b.mp3", 0, 0); },
     at + R"("BASS_StreamCreateFile","path":"C:\\gamex\\a\"b.mp3","sound":"a\"b.mp3","flags":0})"},
    {"a stream by a relative path",
     [](Trace& t) { t.bassStreamCreateFile("Radio SFX/broke.mp3", 0, 0); },
     at + R"("BASS_StreamCreateFile","path":"Radio SFX/broke.mp3","sound":"broke.mp3","flags":0})"},
    {"BASS_ChannelSetAttribute of an unknown sound",
     [](Trace& t) { t.bassChannelSetAttribute(9, 2, 0.7f); },
     at + R"("BASS_ChannelSetAttribute","sound":null,"attrib":2,"value":0.7})"},
    {"BASS_ChannelPlay of an unknown sound", [](Trace& t) { t.bassChannelPlay(9, 1); },
     at + R"("BASS_ChannelPlay","sound":null,"restart":1})"},
    {"BASS_ChannelStop of an unknown sound", [](Trace& t) { t.bassChannelStop(9); },
     at + R"("BASS_ChannelStop","sound":null})"},
    {"BASS_StreamFree of an unknown sound", [](Trace& t) { t.bassStreamFree(9); },
     at + R"("BASS_StreamFree","sound":null})"},
    {"BASS_Free", [](Trace& t) { t.bassFree(); }, at + R"("BASS_Free"})"},
};
class TraceCall : public testing::TestWithParam<Case> {};

TEST_P(TraceCall, IsOneLineWithItsArguments) {
    std::ostringstream out;
    Trace trace(&out, "C:\\game");
    trace.enterFrame(7, 4294967295u);
    GetParam().call(trace);
    EXPECT_EQ(out.str(), GetParam().line + "\n");
}
INSTANTIATE_TEST_SUITE_P(, TraceCall, testing::ValuesIn(cases), CaseName());

TEST(Trace, StreamsAreNamedByFileAndCallsAfterTheFramesCarryNoFrame) {
    std::ostringstream out;
    Trace trace(&out, "/tmp/p");
    trace.leaveFrames();
    trace.bassInit(-1, 44100, 0);
    trace.enterFrame(0, 500);
    trace.bassStreamCreateFile("/tmp/p\\Radio SFX\\broke.mp3", 0, 3);
    trace.bassStreamCreateFile("/tmp/p\\noise.mp3", 4, 8);
    trace.bassChannelPlay(3, 1);
    trace.bassChannelPlay(8, 0);
    EXPECT_THAT(trace.playingSounds(), ElementsAre("broke.mp3", "noise.mp3"));
    trace.enterFrame(1, 516);
    trace.bassChannelStop(3);
    EXPECT_THAT(trace.playingSounds(), ElementsAre("noise.mp3"));
    trace.leaveFrames();
    trace.bassChannelSetAttribute(8, 2, 1.0f);
    trace.bassStreamFree(8);
    trace.bassChannelStop(8);
    EXPECT_THAT(trace.playingSounds(), IsEmpty());
    EXPECT_EQ(out.str(),
              R"({"frame":null,"tick":0,"call":"BASS_Init","device":-1,"freq":44100,"flags":0}
{"frame":0,"tick":500,"call":"BASS_StreamCreateFile","path":"<plugin>\\Radio SFX\\broke.mp3","sound":"broke.mp3","flags":0}
{"frame":0,"tick":500,"call":"BASS_StreamCreateFile","path":"<plugin>\\noise.mp3","sound":"noise.mp3","flags":4}
{"frame":0,"tick":500,"call":"BASS_ChannelPlay","sound":"broke.mp3","restart":1}
{"frame":0,"tick":500,"call":"BASS_ChannelPlay","sound":"noise.mp3","restart":0}
{"frame":1,"tick":516,"call":"BASS_ChannelStop","sound":"broke.mp3"}
{"frame":null,"tick":516,"call":"BASS_ChannelSetAttribute","sound":"noise.mp3","attrib":2,"value":1}
{"frame":null,"tick":516,"call":"BASS_StreamFree","sound":"noise.mp3"}
{"frame":null,"tick":516,"call":"BASS_ChannelStop","sound":null}
)");
}

TEST(Trace, WithoutAStreamItOnlyKeepsTrackOfTheSounds) {
    Trace trace(nullptr, "");
    trace.bassStreamCreateFile("noise.mp3", 4, 1);
    trace.bassChannelPlay(1, 0);
    EXPECT_THAT(trace.playingSounds(), ElementsAre("noise.mp3"));
    trace.bassFree();
    EXPECT_THAT(trace.playingSounds(), IsEmpty());
}

}  // namespace
