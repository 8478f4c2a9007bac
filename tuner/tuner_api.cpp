// What the tuner page calls in the module: the plug-in's own code run over the game's side, as
// ostrelle-sim runs it. Each call answers one JSON object, kept until the next call of the same
// kind; a run's numbers stay in the module's memory, where its answer points.
//
// The plug-in's folder lives in the module's memory file system at pluginFolder: the page puts the
// sounds into its sound folder, and each run writes the settings text as its Ostrelle.ini.
// A game folder to check is put by the page into the same file system, anywhere outside it.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "checks/check_game.h"
#include "checks/check_ini.h"
#include "checks/setting_facts.h"
#include "compat/windows_path.h"
#include "config/settings.h"
#include "drives/collisions.h"
#include "drives/frame_table.h"
#include "drives/plot_palette.h"
#include "drives/scenario.h"
#include "drives/simulation.h"
#include "drives/timeline.h"
#include "sound/sound_player.h"
#include "standins/audio/bass_web.h"
#include "standins/audio/sound_refusal.h"
#include "standins/world/replay.h"
#include "standins/world/trace.h"
#include "text/json_text.h"

namespace {

namespace fs = std::filesystem;

const std::string pluginFolder = "/plugin";
const std::string checkFolder = "/check";

// A frame's marks, bits of the marks column, by their names in the page.
enum Mark : int {
    crashMark = 1,  // a duck began
    roofMark = 2,
    pauseMark = 4,  // the plot's shades: gateShade
    awayMark = 8,
    radioSetMark = 16,
    ignoredCrashMark = 32  // a crash of the game's began no duck
};
const std::pair<const char*, Mark> markNames[] = {
    {"crash", crashMark}, {"roof", roofMark},         {"pause", pauseMark},
    {"away", awayMark},   {"radioSet", radioSetMark}, {"ignoredCrash", ignoredCrashMark}};

// The numbers the page draws and plays, one per frame in each column; the page reads each column
// as a Float64Array by its name.
struct FrameColumns {
    std::vector<double> time, duration, radioVolume, radioLevel, state, marks, tick;
    std::vector<double> duckMs;  // a duck began in this frame and lasts this long; -1: none began
};
const std::pair<const char*, std::vector<double> FrameColumns::*> frameColumnNames[] = {
    {"time", &FrameColumns::time},
    {"duration", &FrameColumns::duration},
    {"radioVolume", &FrameColumns::radioVolume},
    {"radioLevel", &FrameColumns::radioLevel},
    {"state", &FrameColumns::state},
    {"marks", &FrameColumns::marks},
    {"duckMs", &FrameColumns::duckMs},
    {"tick", &FrameColumns::tick}};

// What the audio device did, one number a call in each column: the frame it happened in, its
// kind (DeviceCall::Kind, named by callKinds), the stream, loop (open) or restart (play), and the
// volume (setVolume). Numbers, not text: a run under a roof sets a volume every frame.
struct SoundCallColumns {
    std::vector<double> frame, kind, stream, flag, volume;
};
const std::pair<const char*, std::vector<double> SoundCallColumns::*> soundCallColumnNames[] = {
    {"frame", &SoundCallColumns::frame},
    {"kind", &SoundCallColumns::kind},
    {"stream", &SoundCallColumns::stream},
    {"flag", &SoundCallColumns::flag},
    {"volume", &SoundCallColumns::volume}};
// DeviceCall::Kind's names, by its value.
const char* const callKinds[] = {"open", "play", "stop", "volume", "close"};
static_assert(std::size(callKinds) == static_cast<std::size_t>(audio::DeviceCall::Kind::close) + 1);

struct Run {
    FrameColumns frames;
    SoundCallColumns soundCalls;
    // The trace and the frame table when asked for: the page reads them in pieces, as text of a
    // recording's million frames is too long for one JSON answer or one string in some engines.
    std::string trace, csv;
    Json answer;  // everything but the columns and the texts
} run;

// The last check's answer: {status, report (the text the command prints), data (its --json)}.
std::string checkAnswer;

std::string answerJson(int status, const std::string& report, Json data) {
    return Json{{"status", status}, {"report", jsonText(report)}, {"data", std::move(data)}}.dump();
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

int marksOf(const FrameRecord& record, const FrameRecord& previous) {
    int marks = 0;
    const CrashMark crash = crashMarkOf(record, previous);
    if (crash == CrashMark::counted) marks |= crashMark;
    if (crash == CrashMark::ignored) marks |= ignoredCrashMark;
    if (roofShade(record.row)) marks |= roofMark;
    const GateShade shade = gateShade(record.decision.gate);
    if (shade == GateShade::pause) marks |= pauseMark;
    if (shade == GateShade::away) marks |= awayMark;
    if (record.radioVolumeSet) marks |= radioSetMark;
    return marks;
}

class SoundCalls {
  public:
    void take(std::size_t frame, SoundCallColumns& columns) {
        for (const audio::DeviceCall& call : audio::takeDeviceCalls()) {
            if (call.kind == audio::DeviceCall::Kind::open) {
                if (names.size() <= call.handle) names.resize(call.handle + 1);
                names[call.handle] = fileName(call.path);
            }
            const bool flag = call.kind == audio::DeviceCall::Kind::open ? call.loop : call.restart;
            columns.frame.push_back(static_cast<double>(frame));
            columns.kind.push_back(static_cast<double>(call.kind));
            columns.stream.push_back(call.handle);
            columns.flag.push_back(flag ? 1.0 : 0.0);
            columns.volume.push_back(call.volume);
        }
    }
    // The file name of each stream, by handle.
    Json namesJson() const {
        Json json = Json::array();
        for (const std::string& name : names) json.push_back(jsonText(name));
        return json;
    }

  private:
    std::vector<std::string> names;
};

// Events as [{frame, time, <value>: a number, or text for NaN and infinities, verdict}]; for
// collisions value is "force" or "fall", by what the collision was.
Json eventsJson(const std::vector<DriveEvent>& events, const char* value) {
    Json json = Json::array();
    for (const DriveEvent& event : events) {
        const bool fall = event.cause == Cause::healthFall;
        json.push_back({{"frame", event.frame},
                        {"time", jsonNumber(event.time)},
                        {fall ? "fall" : value, jsonNumber(event.value)},
                        {"verdict", verdictName(event.verdict)}});
    }
    return json;
}

// The timeline's lines, as ostrelle-sim prints them: [{frame (its index), who, text}].
Json timelineJson(const std::vector<FrameRecord>& records) {
    Json json = Json::array();
    eachTimelineLine(records, effectSettings,
                     [&](std::size_t i, const char* who, const std::string& text) {
                         json.push_back({{"frame", i}, {"who", who}, {"text", jsonText(text)}});
                     });
    return json;
}

// The last drive read, its frames and what reading it warned of (a recording cut by a crash). A
// slider's step runs the same drive again under other settings: reading an hour's recording again
// took about as long as running it.
struct ReadDrive {
    std::string text;
    bool isReplay = false;
    std::string name;  // in what a drive that cannot be read tells
    std::vector<ReplayFrame> frames;
    std::string warning;
} lastDrive;

const ReadDrive& readDrive(std::string_view drive, bool isReplay, const std::string& name) {
    if (drive == lastDrive.text && isReplay == lastDrive.isReplay && name == lastDrive.name) {
        return lastDrive;
    }
    lastDrive = ReadDrive{};  // a drive that cannot be read leaves none behind
    std::vector<ReplayFrame> frames;
    std::string warning;
    if (isReplay) {
        std::istringstream text{std::string(drive)};
        frames = readReplay(text, name, &warning);
    } else {
        frames = parseScenario(drive, name).frames;
    }
    lastDrive =
        ReadDrive{std::string(drive), isReplay, name, std::move(frames), std::move(warning)};
    return lastDrive;
}

void fillFrames(const std::vector<FrameRecord>& records, FrameColumns& columns) {
    const FrameRecord loaded = beforeFirst(records);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const FrameRecord& record = records[i];
        columns.time.push_back(record.time);
        columns.duration.push_back(record.duration);
        columns.radioVolume.push_back(record.radioVolume);
        columns.radioLevel.push_back(record.radioLevel);
        columns.state.push_back(static_cast<double>(record.state));
        columns.marks.push_back(marksOf(record, i > 0 ? records[i - 1] : loaded));
        columns.duckMs.push_back(record.decision.duckStarted ? record.decision.duckMs : -1.0);
        columns.tick.push_back(record.row.tick);
    }
}

// Where a text lies in the module's memory: {at, size} in bytes.
Json textJson(const std::string& text) {
    return {{"at", reinterpret_cast<std::uintptr_t>(text.data())}, {"size", text.size()}};
}

// Where each column lies in the module's memory, by its name.
template <typename Columns, std::size_t count>
Json pointersJson(const Columns& columns,
                  const std::pair<const char*, std::vector<double> Columns::*> (&names)[count]) {
    Json json = Json::object();
    for (const auto& [name, column] : names) {
        json[name] = reinterpret_cast<std::uintptr_t>((columns.*column).data());
    }
    return json;
}

void simulateDrive(std::string_view drive, bool isReplay, const std::string& name,
                   const std::string& ini, bool wantTrace, bool wantCsv) {
    const ReadDrive& read = readDrive(drive, isReplay, name);
    const std::vector<ReplayFrame>& frames = read.frames;
    writeFile(pluginFolder + "/Ostrelle.ini", ini);
    std::ostringstream trace;
    SoundCalls soundCalls;
    audio::takeDeviceCalls();
    std::vector<FrameRecord> records = simulate(
        frames, pluginFolder, wantTrace ? &trace : nullptr,
        [&](const FrameRecord& record) { soundCalls.take(record.row.frame, run.soundCalls); });
    soundCalls.take(records.size(), run.soundCalls);  // the unload
    fillFrames(records, run.frames);
    const DriveCollisions found = collisionsOf(records);
    Json& answer = run.answer;
    answer = {{"status", 0},
              {"frameCount", records.size()},
              {"frames", pointersJson(run.frames, frameColumnNames)},
              {"marks", Json::object()},
              {"soundCallCount", run.soundCalls.frame.size()},
              {"soundCalls", pointersJson(run.soundCalls, soundCallColumnNames)},
              {"callKinds", callKinds},
              {"soundNames", soundCalls.namesJson()},
              {"collisions", eventsJson(found.collisions, "force")},
              {"roofs", eventsJson(found.roofs, "gap")},
              {"timeline", timelineJson(records)},
              {"warning", jsonText(read.warning)}};
    for (const auto& [markName, bit] : markNames) answer["marks"][markName] = bit;
    if (wantTrace) {
        run.trace = std::move(trace).str();
        answer["trace"] = textJson(run.trace);
    }
    if (wantCsv) {
        std::ostringstream csv;
        writeFrameTable(csv, records);
        run.csv = std::move(csv).str();
        answer["csv"] = textJson(run.csv);
    }
}

}  // namespace

extern "C" {

// Runs a drive (scenario TOML, or replay CSV when isReplay; driveSize bytes) with the iniSize
// bytes at ini as the settings file. outputs: 1 the trace, 2 the frame table. Answers, as JSON,
// {status 0, frameCount, frames (where each per-frame column lies, by name), marks (the bits of
// the marks column, by name), soundCallCount, soundCalls (where each column of the sound calls
// lies, by name), callKinds (the names of the kind column's values), soundNames, collisions, roofs,
// timeline, warning (what ostrelle-sim warns of the drive, such as a recording's cut last row; ""
// when nothing), trace and csv ({at, size}: where their text lies) when asked for}; or {status 2,
// error, line, column} for a drive that cannot be read, {status 1, error} for any other failure.
// The answer and the numbers it points to last until the next run.
EMSCRIPTEN_KEEPALIVE const char* tunerSimulate(const char* drive, int driveSize, int isReplay,
                                               const char* name, const char* ini, int iniSize,
                                               int outputs) {
    static std::string answer;
    run = Run{};
    try {
        fs::create_directories(pluginFolder);
        simulateDrive(std::string_view(drive, driveSize), isReplay != 0, name,
                      std::string(ini, iniSize), (outputs & 1) != 0, (outputs & 2) != 0);
        answer = run.answer.dump();
    } catch (const InputError& error) {
        answer = Json{{"status", 2},
                      {"error", jsonText(error.what())},
                      {"line", error.line},
                      {"column", error.column}}
                     .dump();
    } catch (const std::exception& error) {
        answer = Json{{"status", 1}, {"error", jsonText(error.what())}}.dump();
    }
    return answer.c_str();
}

// The file name as Windows compares it (see platform::foldedName): the page pairs a recording with
// its settings file by it, as ostrelle-sim does.
EMSCRIPTEN_KEEPALIVE const char* tunerFoldedName(const char* name) {
    static std::string folded;
    folded = platform::foldedName(name);
    return folded.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* tunerStateName(int state) {
    return stateName(static_cast<EffectState>(state));
}

// The settings table as JSON, one object per key in the plug-in's order: key, kind (float,
// duration, volume, switch), default, what, unit, min, max (null: unbounded), and outside: what
// the plug-in does with a value outside [min, max] and with text that does not fit.
EMSCRIPTEN_KEEPALIVE const char* tunerSettingKeys() {
    static std::string json;
    Json keys = Json::array();
    for (std::size_t i = 0; i < settingKeys.size(); ++i) {
        const SettingKey& key = settingKeys[i];
        const SettingFacts& facts = settingFacts[i];
        keys.push_back({{"key", key.key},
                        {"kind", settingKind(key)},
                        {"default", jsonNumber(key.defaultValue)},
                        {"what", facts.what},
                        {"unit", facts.unit},
                        {"min", jsonNumber(facts.min)},
                        {"max", facts.max ? jsonNumber(*facts.max) : Json()},
                        {"outside", jsonText(outsideText(i))}});
    }
    json = keys.dump();
    return json.c_str();
}

// The plug-in's sounds as JSON, in its order: [{file, role (impact, static)}].
EMSCRIPTEN_KEEPALIVE const char* tunerSounds() {
    static std::string json;
    Json sounds = Json::array();
    for (const PluginSound& sound : pluginSounds) {
        sounds.push_back({{"file", sound.fileName},
                          {"role", sound.role == SoundRole::impact ? "impact" : "static"}});
    }
    json = sounds.dump();
    return json.c_str();
}

// Where the page puts the plug-in's sounds in the module's memory: its sound folder.
EMSCRIPTEN_KEEPALIVE const char* tunerSoundFolder() {
    static const std::string folder = pluginFolder + "/" + soundFolderName;
    return folder.c_str();
}

// The plot's colours as JSON, {name: "#rrggbb"}, the same as ostrelle-sim's plot.
EMSCRIPTEN_KEEPALIVE const char* tunerPalette() {
    static std::string json;
    Json palette = Json::object();
    for (const PlotColour& entry : plotPalette) palette[entry.name] = entry.colour;
    json = palette.dump();
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
            answerJson(report.status, values.str() + warnings.str(), iniReportData(report));
    } catch (const std::exception& error) {
        checkAnswer = answerJson(2, error.what(), Json());
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
        checkAnswer = answerJson(report.status, text.str(), gameReportData(report));
    } catch (const std::exception& error) {
        checkAnswer = answerJson(2, error.what(), Json());
    }
    return checkAnswer.c_str();
}

// Whether check-game reads what the file at path (relative to the game's folder, '/' between
// parts) holds: 1, or 0 when it asks only whether the file is there (see checkGameReads).
EMSCRIPTEN_KEEPALIVE int tunerCheckGameReads(const char* path) {
    return checkGameReads(path) ? 1 : 0;
}

}  // extern "C"
