#include "controller/controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <limits>

#include "common/next_random.h"
#include "common/plugin_directory.h"
#include "config/settings.h"
#include "platform/win32_api.h"
#include "sound/sound_player.h"
#include "standins/loader/fresh_load.h"
#include "tests/support/call_log.h"
#include "tests/support/case_name.h"
#include "tests/support/recording_bass.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_game.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using Calls = std::vector<std::string>;

class ControllerTest : public ::testing::Test {
  public:
    void SetUp() override {
        loadPluginAfresh(folder.path().string());
        callLog().clear();
        recordingBass::reset();
        platform::setWindowsFolder((folder.path() / "windows").string());
    }
    void TearDown() override { platform::setWindowsFolder(""); }

    ReplayFrame& world() { return game.row; }

    void writeSettings(const std::string& keys, const std::string& where = "Ostrelle.ini") {
        folder.write(where, "[Settings]\n" + keys + "\n");
    }
    // broke.mp3, broke2.mp3 and noise.mp3 get streams 1, 2 and 3.
    void withSounds() {
        for (const PluginSound& sound : pluginSounds) {
            folder.write(std::string("Radio SFX/") + sound.fileName, "mp3");
        }
    }

    // Runs one frame and answers the calls it made, host and audio library together.
    Calls frame() {
        game.enter();
        callLog().clear();
        onFrame();
        return callLog();
    }
    // Runs one frame and answers only its radio volume pushes.
    std::vector<int> pushes() {
        std::vector<int> volumes;
        for (const std::string& call : frame()) {
            if (call.rfind("setRadioVolume(", 0) == 0)
                volumes.push_back(std::stoi(call.substr(15)));
        }
        return volumes;
    }
    // Runs frames and answers all their radio volume pushes, in order.
    std::vector<int> pushesOver(int frames) {
        std::vector<int> volumes;
        for (int i = 0; i < frames; ++i) {
            for (int volume : pushes()) volumes.push_back(volume);
        }
        return volumes;
    }
    void underRoof(bool roof) {
        world().roofFound = roof;
        world().roofZ = 5.0f;  // 5 above a car standing at height 0
    }
    void hit() { world().impact = 1000.0f; }
    void calm() { world().impact = 0.0f; }

    TempFolder folder;
    TestGame game;
};

// The fixture of a table of cases, each run alone in a fresh plug-in folder.
template <typename Case>
class ControllerCases : public ControllerTest, public ::testing::WithParamInterface<Case> {};

// The pushes of a ramp by 4 a frame from `from` towards `to`, ending on `to` itself.
std::vector<int> ramp(int from, int to) {
    std::vector<int> levels;
    int step = from < to ? 4 : -4;
    for (int level = from; (to - level) * step > 0; level += step) levels.push_back(level);
    levels.push_back(to);
    return levels;
}

// What shutDown does with all three sounds open: stop them, full radio, then stop, free, close.
const Calls shutDownWithEverySound = {
    "BASS_ChannelStop(1)", "BASS_ChannelStop(2)", "BASS_ChannelStop(3)", "setRadioVolume(127)",
    "BASS_ChannelStop(1)", "BASS_ChannelStop(2)", "BASS_ChannelStop(3)", "BASS_StreamFree(1)",
    "BASS_StreamFree(2)",  "BASS_StreamFree(3)",  "BASS_Free()",
};

// The state as one letter, by its value: Idle (0), ImpactDuck (1), TunnelStatic (2).
char stateLetter() {
    const auto value = static_cast<std::size_t>(controllerState.state);
    return value < 3 ? "IDT"[value] : '?';
}

struct Step {
    float health;
    float force;
    std::uint8_t status = 0;
    bool otherVehicle = false;
    bool suspended = false;
};
struct ImpactCase {
    const char* name;
    std::vector<Step> steps;
    std::string states;     // the effect state after each frame
    std::string decisions;  // what ended each frame, or what its impact test found (decisionLetter)
};

// The frame's decision as one letter: the gate that ended it (P paused, N nothing to watch, S a
// status of 10 or more), else what the impact test found: F the force above the intensity, H a
// fall of more than 20, B both, V neither in a new vehicle's frame, - neither; in lower case when
// a duck was already running.
char decisionLetter() {
    const FrameDecision& d = frameDecision;
    switch (d.gate) {
        case FrameGate::paused:
            return 'P';
        case FrameGate::nothingToWatch:
            return 'N';
        case FrameGate::ineligibleStatus:
            return 'S';
        case FrameGate::notStarted:
            return '?';
        case FrameGate::watched:
            break;
    }
    const char found = d.forceAbove   ? (d.fallAbove ? 'B' : 'F')
                       : d.fallAbove  ? 'H'
                       : d.newVehicle ? 'V'
                                      : '-';
    return d.duckRunning ? static_cast<char>(std::tolower(found)) : found;
}
constexpr float nan = std::numeric_limits<float>::quiet_NaN();
const ImpactCase impactCases[] = {
    {"force equal to the threshold", {{1000, 250.0f}}, "I", "V"},
    {"force above the threshold", {{1000, 250.1f}}, "D", "F"},
    {"a fall of 20.0", {{1000, 0}, {980, 0}}, "II", "V-"},
    {"a fall of 20.5", {{1000, 0}, {979.5f, 0}}, "ID", "VH"},
    {"a fall from health 0", {{0, 0}, {-50, 0}}, "II", "V-"},
    {"a fall from below 0", {{-5, 0}, {-50, 0}}, "II", "V-"},
    {"force counts whatever the health", {{0, 0}, {-50, 300}}, "ID", "VF"},
    {"a change of vehicle", {{1000, 0}, {500, 0, 0, true}}, "II", "VV"},
    {"force on the frame of a change of vehicle", {{1000, 0}, {500, 300, 0, true}}, "ID", "VF"},
    {"a fall during suspend counts after it",
     {{1000, 0}, {900, 0, 0, false, true}, {900, 0}},
     "IID",
     "VPH"},
    {"a fall while ineligible never counts", {{1000, 0}, {900, 0, 10}, {900, 0}}, "III", "VS-"},
    {"a fall right after an ineligible frame counts",
     {{1000, 0}, {1000, 0, 10}, {900, 0}},
     "IID",
     "VSH"},
    {"a fall that ducked counts no more once the duck is reset",
     {{1000, 0}, {900, 0}, {900, 0, 0, false, true}, {900, 0}},
     "IDII",
     "VHP-"},
    {"a fall and a force at once", {{1000, 0}, {900, 300}}, "ID", "VB"},
    {"a force during the duck is still tested", {{1000, 300}, {1000, 400}}, "DD", "Ff"},
    {"NaN health", {{1000, 0}, {nan, 0}, {0, 0}}, "III", "V--"},
    {"NaN force", {{1000, nan}}, "I", "V"},
    {"status 9 is eligible", {{1000, 300, 9}}, "D", "F"},
    {"status 10 is not", {{1000, 300, 10}}, "I", "S"},
    {"status 255 is not", {{1000, 300, 255}}, "I", "S"},
};

using ImpactDetection = ControllerCases<ImpactCase>;

TEST_P(ImpactDetection, ComesFromForceOrAFallOfHealth) {
    std::string states, decisions;
    for (const Step& step : GetParam().steps) {
        world().vehicle = step.otherVehicle ? TestGame::otherCar : TestGame::car;
        world().health = step.health;
        world().impact = step.force;
        world().status = step.status;
        world().suspend = step.suspended;
        frame();
        states += stateLetter();
        decisions += decisionLetter();
    }
    EXPECT_EQ(states, GetParam().states);
    EXPECT_EQ(decisions, GetParam().decisions);
}
INSTANTIATE_TEST_SUITE_P(, ImpactDetection, ::testing::ValuesIn(impactCases), CaseName());

TEST_F(ControllerTest, FirstImpactPlaysBroke2AndDucksForTheDrawnTime) {
    writeSettings("Volume Damage=0.8\nVolume Noise=0.5");
    withSounds();
    frame();  // start-up
    hit();
    EXPECT_THAT(frame(), ElementsAre("queryActor()", "queryVehicle()", "BASS_ChannelStop(3)",
                                     "BASS_ChannelStop(1)", "BASS_ChannelStop(2)",
                                     "BASS_ChannelSetAttribute(2,2,0.8)", "BASS_ChannelPlay(2,1)",
                                     "setRadioVolume(20)", "setRadioVolume(20)"));
    calm();  // the sound drew 41; the duration 2000 + 18467 % 3001
    world().tick = 100000 + 2460;
    EXPECT_THAT(pushes(), ElementsAre(20));
    world().tick = 100000 + 2461;
    EXPECT_THAT(frame(),
                ElementsAre("queryActor()", "queryVehicle()", "BASS_ChannelStop(1)",
                            "BASS_ChannelStop(2)", "findRoofZ(0,0,1)", "setRadioVolume(24)"));
    EXPECT_EQ(stateLetter(), 'I');
}

struct DuckLengthCase {
    const char* name;
    const char* keys;
    bool sounds;
    std::uint32_t duration;
    std::uint32_t stateAfter;  // the generator after the impact frame
};
const DuckLengthCase duckLengthCases[] = {
    {"no impact sound: the duration takes the first draw", "", false, 2000 + 41, 2745024},
    {"the shortest and longest equal", "Minimum time impact SFX=2000\nMaximum time impact SFX=2000",
     true, 2000, 2745024},
    {"a wide range", "Minimum time impact SFX=1000\nMaximum time impact SFX=100000", true,
     1000 + 18467, 3357800067u},
    {"the span of the whole 32-bit range wraps to 0: the draw is taken as it is",
     "Minimum time impact SFX=0\nMaximum time impact SFX=4294967295", false, 41, 2745024},
};
using DuckLength = ControllerCases<DuckLengthCase>;

TEST_P(DuckLength, FollowsTheConfiguredRange) {
    writeSettings(GetParam().keys);
    if (GetParam().sounds) withSounds();
    frame();
    hit();
    frame();
    EXPECT_EQ(controllerState.impactDeadline, 100000u + GetParam().duration);
    EXPECT_EQ(randomState, GetParam().stateAfter);
}
INSTANTIATE_TEST_SUITE_P(, DuckLength, ::testing::ValuesIn(duckLengthCases), CaseName());

TEST_F(ControllerTest, ZeroDuckEndsInTheFrameThatStartsIt) {
    writeSettings("Minimum time impact SFX=0\nMaximum time impact SFX=0");
    withSounds();
    frame();
    hit();
    EXPECT_THAT(
        frame(),
        ElementsAre("queryActor()", "queryVehicle()", "BASS_ChannelStop(3)", "BASS_ChannelStop(1)",
                    "BASS_ChannelStop(2)", "BASS_ChannelSetAttribute(2,2,1)",
                    "BASS_ChannelPlay(2,1)", "setRadioVolume(20)", "BASS_ChannelStop(1)",
                    "BASS_ChannelStop(2)", "findRoofZ(0,0,1)", "setRadioVolume(24)"));
    EXPECT_EQ(stateLetter(), 'I');
}

TEST_F(ControllerTest, ImpactInTheFrameADuckEndsIsLostAndTheNextFrameDucksAgain) {
    writeSettings("Minimum time impact SFX=100\nMaximum time impact SFX=100");
    frame();
    hit();  // and keeps hitting
    EXPECT_THAT(pushes(), ElementsAre(20, 20));
    world().tick += 100;
    EXPECT_THAT(pushes(), ElementsAre(24));
    EXPECT_EQ(stateLetter(), 'I');
    EXPECT_THAT(pushes(), ElementsAre(20, 20));
    EXPECT_EQ(controllerState.impactDeadline, world().tick + 100);
}

TEST_F(ControllerTest, DuckAcrossTheTickCounterWrapLastsItsFullTime) {
    writeSettings("Minimum time impact SFX=5000\nMaximum time impact SFX=5000");
    frame();
    world().tick = 0xFFFFF000u;
    hit();
    EXPECT_THAT(pushes(), ElementsAre(20, 20));
    EXPECT_EQ(controllerState.impactDeadline, 0xFFFFF000u + 5000u);  // wrapped to 904
    calm();
    world().tick = 0xFFFFF000u + 4999u;
    EXPECT_THAT(pushes(), ElementsAre(20));
    world().tick = 0xFFFFF000u + 5000u;
    EXPECT_THAT(pushes(), ElementsAre(24));
}

TEST_F(ControllerTest, RadioRampsDownUnderARoofAndBackUpOutside) {
    withSounds();
    frame();
    underRoof(true);
    std::vector<int> down = ramp(123, 30);
    down.push_back(30);
    EXPECT_EQ(pushesOver(26), down) << "one push a frame, 30 from the 25th frame on";
    EXPECT_EQ(stateLetter(), 'T');

    underRoof(false);
    EXPECT_EQ(pushesOver(26), ramp(34, 127)) << "25 pushes, then nothing";
    EXPECT_EQ(stateLetter(), 'I');
}

TEST_F(ControllerTest, NoiseLoopsUnderARoofAndStopsForAnImpactAndOnLeaving) {
    withSounds();
    writeSettings("Minimum time impact SFX=100\nMaximum time impact SFX=100\nVolume Noise=0.5");
    frame();
    underRoof(true);
    EXPECT_THAT(frame(), ElementsAre("queryActor()", "queryVehicle()", "findRoofZ(0,0,1)",
                                     "BASS_ChannelSetAttribute(3,2,0.5)", "BASS_ChannelPlay(3,0)",
                                     "setRadioVolume(123)"));
    hit();
    Calls impact = frame();
    EXPECT_EQ(impact[2], "BASS_ChannelStop(3)") << "the noise stops at once";
    calm();
    world().tick += 100;
    EXPECT_THAT(frame(), ElementsAre("queryActor()", "queryVehicle()", "BASS_ChannelStop(1)",
                                     "BASS_ChannelStop(2)", "findRoofZ(0,0,1)",
                                     "BASS_ChannelSetAttribute(3,2,0.5)", "BASS_ChannelPlay(3,0)",
                                     "setRadioVolume(20)"))
        << "the duck ends under the roof: the noise plays again in the same frame, and the radio "
           "stays at the duck level below the tunnel level";
    underRoof(false);
    EXPECT_THAT(frame(), ElementsAre("queryActor()", "queryVehicle()", "findRoofZ(0,0,1)",
                                     "BASS_ChannelStop(3)", "setRadioVolume(24)"));
}

TEST_F(ControllerTest, AfterADuckBelowTheTunnelLevelTheRadioHoldsThenClimbs) {
    writeSettings("Minimum time impact SFX=100\nMaximum time impact SFX=100");
    frame();
    hit();
    frame();
    calm();
    underRoof(true);
    world().tick += 100;
    for (int i = 0; i < 3; ++i) EXPECT_THAT(pushes(), ElementsAre(20));
    underRoof(false);
    EXPECT_EQ(pushesOver(30), ramp(24, 127));
}

struct RoofCase {
    const char* name;
    float z;
    bool found;
    float roofHeight;
    RoofAnswer expected;
};
constexpr auto tooLow = RoofAnswer::tooLow, tooHigh = RoofAnswer::tooHigh,
               under = RoofAnswer::underRoof;
const RoofCase roofCases[] = {
    {"a gap of exactly 1.2f", 0.0f, true, 1.2f, tooLow},
    // 1.3f + 1 ulp - 0.1f is just above 1.2 but rounds to 1.2f: the gap is a 32-bit float.
    {"a gap that rounds to 1.2f", 0.1f, true, 0x1.4ccccep+0f, tooLow},
    {"a gap of 1.3", 0.0f, true, 1.3f, under},
    {"a gap of 24.9", 0.0f, true, 24.9f, under},
    {"a gap of exactly 25", 0.0f, true, 25.0f, tooHigh},
    {"a roof below the vehicle", 10.0f, true, 5.0f, tooLow},
    {"a gap of 2 high up", 100.0f, true, 102.0f, under},
    {"the flag left at 0", 0.0f, false, 5.0f, RoofAnswer::noRoof},
    {"a NaN height", 0.0f, true, nan, tooLow},
};
using Roof = ControllerCases<RoofCase>;

TEST_P(Roof, CountsOnlyBetweenItsGapsAskedFromJustAboveTheVehicle) {
    const RoofCase& c = GetParam();
    world().x = 3.0f;
    world().y = 4.0f;
    world().z = c.z;
    world().roofFound = c.found;
    world().roofZ = c.roofHeight;
    game.enter();
    EXPECT_EQ(probeTunnel(game.record()), c.expected == under);
    EXPECT_EQ(static_cast<int>(frameDecision.roof), static_cast<int>(c.expected));
    if (c.found) {
        EXPECT_THAT(frameDecision.roofGap, testing::NanSensitiveFloatEq(c.roofHeight - c.z));
    }
    EXPECT_THAT(callLog(), ElementsAre("findRoofZ(3,4," + floatText(c.z + 1.0f) + ")"));
}
INSTANTIATE_TEST_SUITE_P(, Roof, ::testing::ValuesIn(roofCases), CaseName());

TEST_F(ControllerTest, NoRoofWithoutARecordOrOnAFault) {
    EXPECT_FALSE(probeTunnel(0));
    EXPECT_THAT(callLog(), IsEmpty()) << "no record, no question";

    underRoof(true);
    game.enter();
    game.faults.inFindRoofZ = true;
    EXPECT_FALSE(probeTunnel(game.record())) << "a fault in the roof query";
    EXPECT_FALSE(probeTunnel(unreadableAddress())) << "a record that cannot be read";
}

// Frames that lead up to the one checked.
void inTunnel(ControllerTest& t) {
    t.underRoof(true);
    t.frame();
}
void inDuck(ControllerTest& t) {
    t.hit();
    t.frame();
    t.calm();
}
void nothing(ControllerTest&) {}

struct PathCase {
    const char* name;
    std::function<void(ControllerTest&)> before;
    std::function<void(ControllerTest&)> change;  // what differs in the frame checked
    std::vector<int> pushes;
};
const PathCase pathCases[] = {
    {"suspended, effect running", inTunnel, [](auto& t) { t.world().suspend = 1; }, {127}},
    {"no vehicle, effect running", inTunnel, [](auto& t) { t.world().vehicle = 0; }, {127}},
    {"no actor, effect running", inDuck, [](auto& t) { t.world().actor = 0; }, {127}},
    {"ineligible, effect running", inTunnel, [](auto& t) { t.world().status = 10; }, {127}},
    {"suspended by any nonzero flag", inTunnel, [](auto& t) { t.world().suspend = 0x80; }, {127}},
    {"suspended, idle", nothing, [](auto& t) { t.world().suspend = 1; }, {}},
    {"no vehicle, idle", nothing, [](auto& t) { t.world().vehicle = 0; }, {}},
    {"ineligible, idle", nothing, [](auto& t) { t.world().status = 10; }, {}},
    {"impact entered", nothing, [](auto& t) { t.hit(); }, {20, 20}},
    {"duck continuing", inDuck, nothing, {20}},
    {"under a roof", nothing, [](auto& t) { t.underRoof(true); }, {123}},
    {"outside, below full", inTunnel, [](auto& t) { t.underRoof(false); }, {127}},
    {"quiet frame", nothing, nothing, {}},
    {"quiet frame after a duck was reset",
     [](auto& t) {
         inDuck(t);
         t.world().suspend = 1;
         t.frame();
         t.world().suspend = 0;
     },
     nothing,
     {}},
};
using RadioPushes = ControllerCases<PathCase>;

TEST_P(RadioPushes, FollowThePathOfTheFrame) {
    frame();  // start-up
    GetParam().before(*this);
    GetParam().change(*this);
    EXPECT_EQ(pushes(), GetParam().pushes);
}
INSTANTIATE_TEST_SUITE_P(, RadioPushes, ::testing::ValuesIn(pathCases), CaseName());

TEST_F(ControllerTest, SuspendLeavesTheRampWhereItStood) {
    frame();
    underRoof(true);
    frame();
    frame();  // 119
    underRoof(false);
    frame();  // 123
    world().suspend = 1;
    EXPECT_THAT(pushes(), IsEmpty());
    world().suspend = 0;
    EXPECT_THAT(pushes(), ElementsAre(127));
}

struct QueryCase {
    const char* name;
    std::function<void(ControllerTest&)> change;
    Calls calls;
};
const Calls bothQueries = {"queryActor()", "queryVehicle()"};
const QueryCase queryCases[] = {
    {"suspended", [](auto& t) { t.world().suspend = 1; }, {}},
    {"no actor", [](auto& t) { t.world().actor = 0; }, bothQueries},
    {"no vehicle", [](auto& t) { t.world().vehicle = 0; }, bothQueries},
    {"ineligible", [](auto& t) { t.world().status = 10; }, bothQueries},
};
using HostQueries = ControllerCases<QueryCase>;

TEST_P(HostQueries, AskForTheActorAndTheVehicleInEveryFrameNotSuspended) {
    frame();  // start-up
    GetParam().change(*this);
    EXPECT_EQ(frame(), GetParam().calls);
}
INSTANTIATE_TEST_SUITE_P(, HostQueries, ::testing::ValuesIn(queryCases), CaseName());

struct SettingsFileCase {
    const char* name;
    std::function<void(ControllerTest&)> layout;
    std::string expectedPath;  // relative to the plug-in folder, or the bare name
    std::uint8_t expectedDuck;
};
const SettingsFileCase settingsFileCases[] = {
    {"beside the plug-in",
     [](auto& t) {
         t.writeSettings("Radio Duck Volume=50");
         t.writeSettings("Radio Duck Volume=60", "windows/Ostrelle.ini");
     },
     "\\Ostrelle.ini", 50},
    {"the bare name, from the Windows folder",
     [](auto& t) { t.writeSettings("Radio Duck Volume=60", "windows/Ostrelle.ini"); },
     "Ostrelle.ini", 60},
    {"a folder named Ostrelle.ini counts as present",
     [](auto& t) {
         t.folder.makeFolder("Ostrelle.ini");
         t.writeSettings("Radio Duck Volume=60", "windows/Ostrelle.ini");
     },
     "\\Ostrelle.ini", 20},
};
using SettingsFile = ControllerCases<SettingsFileCase>;

TEST_P(SettingsFile, IsFoundAtStartUp) {
    const SettingsFileCase& c = GetParam();
    c.layout(*this);
    frame();
    const std::string expected = c.expectedPath[0] == '\\'
                                     ? std::string(pluginDirectory.view()) + c.expectedPath
                                     : c.expectedPath;
    EXPECT_EQ(settingsPath.view(), expected);
    EXPECT_EQ(effectSettings.radioDuckVolume, c.expectedDuck);
}
INSTANTIATE_TEST_SUITE_P(, SettingsFile, ::testing::ValuesIn(settingsFileCases), CaseName());

TEST_F(ControllerTest, StartUpRunsOnce) {
    withSounds();
    frame();
    writeSettings("Radio Duck Volume=90");
    EXPECT_THAT(frame(), ElementsAre("queryActor()", "queryVehicle()", "findRoofZ(0,0,1)"))
        << "no second start-up: no settings read, no audio opened";
    EXPECT_EQ(effectSettings.radioDuckVolume, 20);
}

TEST_F(ControllerTest, ShutDownStopsEverythingAndALaterFrameStartsAgain) {
    shutDown();
    EXPECT_THAT(callLog(), ElementsAre("setRadioVolume(127)")) << "before any start-up";
    EXPECT_FALSE(controllerState.started);

    withSounds();
    frame();
    hit();
    frame();
    callLog().clear();
    shutDown();
    EXPECT_EQ(callLog(), shutDownWithEverySound);
    EXPECT_FALSE(controllerState.started);
    EXPECT_EQ(stateLetter(), 'I');

    Calls again = frame();
    EXPECT_EQ(again[0], "BASS_Init(-1,44100,0,0,0)");
    EXPECT_TRUE(controllerState.started);
}

struct FaultCase {
    const char* name;
    std::function<void(ControllerTest&)> breakIt;
    std::function<void(ControllerTest&)> mendIt;
    char stateAfter;  // what the broken frame had already written stays
};
const FaultCase faultCases[] = {
    {"a record that cannot be read", [](auto& t) { t.game.staleRecord(true); },
     [](auto& t) { t.game.staleRecord(false); }, 'I'},
    {"a host call that faults", [](auto& t) { t.game.faults.inQueryVehicle = true; },
     [](auto& t) { t.game.faults.inQueryVehicle = false; }, 'I'},
    {"an exception from the sound layer",
     [](auto& t) {
         t.hit();
         recordingBass::throwOnCall();
     },
     [](auto& t) { t.calm(); }, 'D'},
};
using FaultInAFrame = ControllerCases<FaultCase>;

TEST_P(FaultInAFrame, EndsOnlyThatFrame) {
    withSounds();
    frame();
    GetParam().breakIt(*this);
    frame();
    EXPECT_EQ(stateLetter(), GetParam().stateAfter);
    GetParam().mendIt(*this);
    underRoof(true);
    Calls next = frame();
    EXPECT_EQ(next.front(), "queryActor()");
    // A duck whose entry was cut short has no time of its own and ends in the next frame.
    EXPECT_EQ(next.back(), "setRadioVolume(123)") << "the next frame runs normally";
}
INSTANTIATE_TEST_SUITE_P(, FaultInAFrame, ::testing::ValuesIn(faultCases), CaseName());

TEST_F(ControllerTest, AStartUpThatThrowsIsTriedAgainOnTheNextFrame) {
    withSounds();
    recordingBass::throwOnCall();  // BASS_Init
    EXPECT_THAT(frame(), ElementsAre("BASS_Init(-1,44100,0,0,0)"));
    EXPECT_FALSE(controllerState.started);
    Calls retry = frame();
    EXPECT_EQ(retry[0], "BASS_Init(-1,44100,0,0,0)");
    EXPECT_TRUE(controllerState.started);
    EXPECT_EQ(retry.back(), "findRoofZ(0,0,1)");
}

TEST_F(ControllerTest, ARecordSeenAgainAfterNoVehicleCountsNoFall) {
    frame();
    world().vehicle = 0;
    frame();
    world().health = 500.0f;
    world().vehicle = TestGame::car;
    frame();
    EXPECT_EQ(stateLetter(), 'I');
    EXPECT_EQ(controllerState.lastHealth, 500.0f);
}

TEST_F(ControllerTest, WithTunnelStaticOffNoRoofIsAskedFor) {
    writeSettings(
        "Enable Tunnel Static=0\nMinimum time impact SFX=100\nMaximum time impact SFX=100");
    withSounds();
    frame();
    underRoof(true);
    hit();
    frame();
    calm();
    world().tick += 100;
    EXPECT_THAT(frame(), ElementsAre("queryActor()", "queryVehicle()", "BASS_ChannelStop(1)",
                                     "BASS_ChannelStop(2)", "setRadioVolume(24)"));
    EXPECT_EQ(stateLetter(), 'I');
}

TEST_F(ControllerTest, DuckVolumeAboveFullLiftsTheRadioWhereTheRampLeavesIt) {
    writeSettings(
        "Radio Duck Volume=200\nMinimum time impact SFX=100\nMaximum time impact SFX=100");
    EXPECT_THAT(pushes(), IsEmpty()) << "the first frame starts up and pushes nothing";
    hit();
    EXPECT_THAT(pushes(), ElementsAre(200, 200));
    calm();
    world().tick += 100;
    EXPECT_THAT(pushes(), IsEmpty());
    EXPECT_EQ(controllerState.radioLevel, 200.0f);
}

TEST_F(ControllerTest, AStartUpCutShortInTheSoundsOpensTheLibraryOnceAndClosesWhatItMade) {
    withSounds();
    const std::string sounds = std::string(pluginDirectory.view()) + "\\Radio SFX\\";
    recordingBass::throwOnCall(3);  // the second stream creation
    EXPECT_THAT(frame(), ElementsAre("BASS_Init(-1,44100,0,0,0)",
                                     "BASS_StreamCreateFile(0," + sounds + "broke.mp3,0,0,0)",
                                     "BASS_StreamCreateFile(0," + sounds + "broke2.mp3,0,0,0)"));
    EXPECT_FALSE(controllerState.started);

    EXPECT_THAT(frame(), ElementsAre("queryActor()", "queryVehicle()", "findRoofZ(0,0,1)"))
        << "started on the next frame without starting the library again";
    EXPECT_TRUE(controllerState.started);

    callLog().clear();
    shutDown();
    EXPECT_THAT(callLog(), ElementsAre("BASS_ChannelStop(1)", "setRadioVolume(127)",
                                       "BASS_ChannelStop(1)", "BASS_StreamFree(1)", "BASS_Free()"));
}

TEST_F(ControllerTest, ShutDownClosesTheAudioEvenWhenTheVolumePushFaults) {
    withSounds();
    frame();
    underRoof(true);
    frame();
    game.faults.inSetRadioVolume = true;
    callLog().clear();
    shutDown();
    EXPECT_EQ(callLog(), shutDownWithEverySound);
    EXPECT_EQ(stateLetter(), 'I') << "the reset was cut short before it set the state";
    EXPECT_FALSE(controllerState.started);
    EXPECT_FALSE(soundBank.audioReady);
}

}  // namespace
