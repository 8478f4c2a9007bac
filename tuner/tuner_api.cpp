// What the tuner page calls in the module: the plug-in's own code run over the game's side, as
// ostrelle-sim runs it. Each call answers one JSON object, kept until the next call of the same
// kind; a run's numbers stay in the module's memory, where its answer points.
//
// The plug-in's folder lives in the module's memory file system at pluginFolder: the page puts the
// sounds into its "Radio SFX" folder, and each run writes the settings text as its Ostrelle.ini.
// A game folder to check is put by the page into the same file system, anywhere outside it.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "checks/check_game.h"
#include "checks/check_ini.h"
#include "checks/setting_facts.h"
#include "config/settings.h"
#include "drives/collisions.h"
#include "drives/frame_table.h"
#include "drives/scenario.h"
#include "drives/simulation.h"
#include "drives/timeline.h"
#include "sound/sound_player.h"
#include "standins/audio/bass_web.h"
#include "standins/audio/sound_refusal.h"
#include "standins/world/replay.h"
#include "standins/world/trace.h"
#include "text/float_text.h"

namespace {

namespace fs = std::filesystem;

const std::string pluginFolder = "/plugin";
const std::string checkFolder = "/check";

// The numbers the page draws and plays, per frame, in this order (a Float64Array in the page).
enum FrameColumn {
    timeColumn,
    durationColumn,
    radioVolumeColumn,
    radioLevelColumn,
    stateColumn,
    marksColumn,   // the bits below
    duckMsColumn,  // a duck began in this frame and lasts this long; -1: none began
    tickColumn,
    frameColumns
};
enum Mark {
    crashMark = 1,  // a duck began
    roofMark = 2,
    pauseMark = 4,
    onFootMark = 8,
    radioSetMark = 16,
    ignoredCrashMark = 32  // a crash of the game's began no duck
};

struct Run {
    // collisions: the drive's "collisions" and "roofs" members of the answer (see eventsJson).
    std::string trace, csv, soundNames, collisions;
    std::vector<double> frames;
    std::vector<double> soundCalls;
} run;

// The last check's answer: {status, report (the text the command prints), data (its --json)}.
std::string checkAnswer;

std::string answerJson(int status, const std::string& report, const std::string& data) {
    return "{\"status\":" + std::to_string(status) + ",\"report\":" + jsonString(report) +
           ",\"data\":" + data + '}';
}

std::string fileName(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    if (!file) throw std::runtime_error(path + ": cannot write in the page's memory");
}

int marksOf(const std::vector<FrameRecord>& records, std::size_t i, const FrameRecord& loaded) {
    const ReplayFrame& row = records[i].row;
    int marks = 0;
    if (records[i].decision.duckStarted) {
        marks |= crashMark;
    } else if (crashesOf(records[i], i > 0 ? records[i - 1] : loaded).ignored()) {
        marks |= ignoredCrashMark;
    }
    if (row.roofFound && row.vehicle != 0) marks |= roofMark;
    if (row.suspend != 0) marks |= pauseMark;
    if (row.vehicle == 0) marks |= onFootMark;
    if (records[i].radioVolumeSet) marks |= radioSetMark;
    return marks;
}

// What the audio device did, soundCallColumns numbers a call (a Float64Array in the page): the
// frame it happened in, its kind (DeviceCall::Kind), the stream, loop (open) or restart (play),
// and the volume (setVolume). Numbers, not text: a run under a roof sets a volume every frame.
enum SoundCallColumn { callFrame, callKind, callStream, callFlag, callVolume, soundCallColumns };

class SoundCalls {
  public:
    void take(std::size_t frame) {
        for (const audio::DeviceCall& call : audio::takeDeviceCalls()) {
            if (call.kind == audio::DeviceCall::Kind::open) {
                if (names.size() <= call.handle) names.resize(call.handle + 1);
                names[call.handle] = fileName(call.path);
            }
            const bool flag = call.kind == audio::DeviceCall::Kind::open ? call.loop : call.restart;
            calls.insert(calls.end(),
                         {static_cast<double>(frame), static_cast<double>(call.kind),
                          static_cast<double>(call.handle), flag ? 1.0 : 0.0, call.volume});
        }
    }
    // The file name of each stream, by handle, as JSON.
    std::string namesJson() const {
        std::string json = "[";
        for (const std::string& name : names)
            json += (json.size() > 1 ? "," : "") + jsonString(name);
        return json + ']';
    }

    std::vector<double> calls;

  private:
    std::vector<std::string> names;
};

// Events as JSON: [{"frame":3,"time":0.05,"<value>":600,"verdict":"counted"},...]; a value with
// no number as a string ("nan").
std::string eventsJson(const std::vector<DriveEvent>& events, const char* value) {
    std::string json = "[";
    for (const DriveEvent& event : events) {
        const std::string number = floatText(event.value);
        const bool plain = number.find_first_of("ni") == std::string::npos;
        json += (json.size() > 1 ? "," : "") + std::string("{\"frame\":") +
                std::to_string(event.frame) + ",\"time\":" + doubleText(event.time) + ",\"" +
                value + "\":" + (plain ? number : jsonString(number)) +
                ",\"verdict\":" + jsonString(verdictName(event.verdict)) + '}';
    }
    return json + ']';
}

std::vector<ReplayFrame> driveFrames(const std::string& drive, bool isReplay,
                                     const std::string& name) {
    if (!isReplay) return parseScenario(drive, name).frames;
    std::istringstream text(drive);
    return readReplay(text, name);
}

void simulateDrive(const std::string& drive, bool isReplay, const std::string& name,
                   const std::string& ini, bool wantTrace, bool wantCsv) {
    std::vector<ReplayFrame> frames = driveFrames(drive, isReplay, name);
    writeFile(pluginFolder + "/Ostrelle.ini", ini);
    std::ostringstream trace;
    SoundCalls soundCalls;
    audio::takeDeviceCalls();
    std::vector<FrameRecord> records =
        simulate(frames, pluginFolder, wantTrace ? &trace : nullptr,
                 [&](const FrameRecord& record) { soundCalls.take(record.row.frame); });
    soundCalls.take(records.size());  // the unload
    run.soundCalls = std::move(soundCalls.calls);
    run.soundNames = soundCalls.namesJson();
    run.trace = trace.str();
    if (wantCsv) {
        std::ostringstream csv;
        writeFrameTable(csv, records);
        run.csv = csv.str();
    }
    const DriveCollisions found = collisionsOf(records);
    run.collisions = "\"collisions\":" + eventsJson(found.collisions, "force") +
                     ",\"roofs\":" + eventsJson(found.roofs, "gap");
    run.frames.assign(records.size() * frameColumns, 0.0);
    const FrameRecord loaded = beforeFirst(records);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const FrameRecord& record = records[i];
        double* row = &run.frames[i * frameColumns];
        row[timeColumn] = record.time;
        row[durationColumn] = record.duration;
        row[radioVolumeColumn] = record.radioVolume;
        row[radioLevelColumn] = record.radioLevel;
        row[stateColumn] = static_cast<double>(record.state);
        row[marksColumn] = marksOf(records, i, loaded);
        row[duckMsColumn] = record.decision.duckStarted ? record.decision.duckMs : -1.0;
        row[tickColumn] = record.row.tick;
    }
}

// A number as JSON, integers without a fraction: the settings' defaults and bounds.
std::string jsonNumber(double value) {
    std::ostringstream text;
    text.precision(17);
    text << value;
    return text.str();
}

// The run's answer as JSON; the numbers stay in the module's memory, where frames and soundCalls
// point (Float64Arrays of frameColumns and soundCallColumns numbers a row).
std::string runJson(bool wantTrace, bool wantCsv) {
    return "{\"status\":0,\"frameColumns\":" + std::to_string(frameColumns) +
           ",\"frameCount\":" + std::to_string(run.frames.size() / frameColumns) +
           ",\"frames\":" + std::to_string(reinterpret_cast<std::uintptr_t>(run.frames.data())) +
           ",\"soundCallColumns\":" + std::to_string(soundCallColumns) +
           ",\"soundCallCount\":" + std::to_string(run.soundCalls.size() / soundCallColumns) +
           ",\"soundCalls\":" +
           std::to_string(reinterpret_cast<std::uintptr_t>(run.soundCalls.data())) +
           ",\"soundNames\":" + run.soundNames + ',' + run.collisions +
           (wantTrace ? ",\"trace\":" + jsonString(run.trace) : "") +
           (wantCsv ? ",\"csv\":" + jsonString(run.csv) : "") + '}';
}

}  // namespace

extern "C" {

// Runs a drive (scenario TOML, or replay CSV when isReplay; driveSize bytes) with the iniSize
// bytes at ini as the settings file. outputs: 1 the trace, 2 the frame table. Answers, as JSON,
// {status 0, frameColumns, frameCount, frames, soundCallColumns, soundCallCount, soundCalls,
// soundNames, trace and csv when asked for}; or {status 2, error, line, column} for a drive that
// cannot be read, {status 1, error} for any other failure. The answer and the numbers it points
// to last until the next run.
EMSCRIPTEN_KEEPALIVE const char* tunerSimulate(const char* drive, int driveSize, int isReplay,
                                               const char* name, const char* ini, int iniSize,
                                               int outputs) {
    static std::string answer;
    run = Run{};
    try {
        fs::create_directories(pluginFolder);
        simulateDrive(std::string(drive, driveSize), isReplay != 0, name, std::string(ini, iniSize),
                      (outputs & 1) != 0, (outputs & 2) != 0);
        answer = runJson((outputs & 1) != 0, (outputs & 2) != 0);
    } catch (const InputError& error) {
        answer = "{\"status\":2,\"error\":" + jsonString(error.what()) +
                 ",\"line\":" + std::to_string(error.line) +
                 ",\"column\":" + std::to_string(error.column) + '}';
    } catch (const std::exception& error) {
        answer = "{\"status\":1,\"error\":" + jsonString(error.what()) + '}';
    }
    return answer.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* tunerStateName(int state) {
    return stateName(static_cast<EffectState>(state));
}

// The settings table as JSON, one object per key in the plug-in's order: key, kind (float,
// duration, volume, switch), default, what, unit, min, max (null: unbounded), and outside: what
// the plug-in does with a value outside [min, max] and with text that does not fit.
EMSCRIPTEN_KEEPALIVE const char* tunerSettingKeys() {
    static std::string json;
    json = "[";
    for (std::size_t i = 0; i < settingKeys.size(); ++i) {
        const SettingKey& key = settingKeys[i];
        const SettingFacts& facts = settingFacts[i];
        json += std::string(i == 0 ? "" : ",") + "{\"key\":" + jsonString(key.key) +
                ",\"kind\":" + jsonString(settingKind(key)) +
                ",\"default\":" + jsonNumber(key.defaultValue) +
                ",\"what\":" + jsonString(facts.what) + ",\"unit\":" + jsonString(facts.unit) +
                ",\"min\":" + jsonNumber(facts.min) +
                ",\"max\":" + (facts.max ? jsonNumber(*facts.max) : "null") +
                ",\"outside\":" + jsonString(outsideText(i)) + '}';
    }
    json += ']';
    return json.c_str();
}

// The plug-in's sounds as JSON, in its order: [{file, role (impact, static)}].
EMSCRIPTEN_KEEPALIVE const char* tunerSounds() {
    static std::string json;
    json = "[";
    for (const PluginSound& sound : pluginSounds) {
        json += std::string(json.size() > 1 ? "," : "") +
                "{\"file\":" + jsonString(sound.fileName) + ",\"role\":\"" +
                (sound.role == SoundRole::impact ? "impact" : "static") + "\"}";
    }
    json += ']';
    return json.c_str();
}

// Why the game's audio library would not play the sound file at path (one the page has put into
// the memory file system), in the Linux library's words, or "" when it would.
EMSCRIPTEN_KEEPALIVE const char* tunerSoundRefusal(const char* path) {
    static std::string refusal;
    refusal = audio::soundRefusal(path);
    return refusal.c_str();
}

// check-ini on the iniSize bytes at ini as a file called name: answers {status (0 clean,
// 1 warnings, 2 not read), report (the values, then the warnings, as the command prints them on
// stdout and stderr), data (the report as check-ini --json prints it)}.
EMSCRIPTEN_KEEPALIVE const char* tunerCheckIni(const char* ini, int iniSize, const char* name) {
    try {
        fs::create_directories(checkFolder);
        fs::current_path(checkFolder);
        const std::string file = fileName(name).empty() ? "Ostrelle.ini" : fileName(name);
        writeFile(file, std::string(ini, iniSize));
        const IniReport report = checkIni(file);
        fs::remove(file);
        std::ostringstream values, warnings;
        printIniReport(report, values, warnings);
        checkAnswer =
            answerJson(report.status, values.str() + warnings.str(), iniReportJson(report));
    } catch (const std::exception& error) {
        checkAnswer = answerJson(2, error.what(), "null");
    }
    return checkAnswer.c_str();
}

// check-game on path (a folder or a program the page has put into the memory file system):
// answers {status (0 all pass, 1 any fails, 2 no such folder or file), report (what the command
// prints), data (the report as check-game --json prints it)}.
EMSCRIPTEN_KEEPALIVE const char* tunerCheckGame(const char* path) {
    try {
        const GameReport report = checkGame(path);
        std::ostringstream text;
        printGameReport(report, text);
        checkAnswer = answerJson(report.status, text.str(), gameReportJson(report));
    } catch (const std::exception& error) {
        checkAnswer = answerJson(2, error.what(), "null");
    }
    return checkAnswer.c_str();
}

}  // extern "C"
