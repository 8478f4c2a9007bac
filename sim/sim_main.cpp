// ostrelle-sim: runs the plug-in's own code without the game. A scripted drive (a scenario in
// TOML) or an exact replay (CSV) plays the game's part frame by frame; what the plug-in did comes
// out as a timeline, and on request as a trace, a table, a plot and the sound a player would hear.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "config/settings.h"
#include "sim/check_game.h"
#include "sim/check_ini.h"
#include "sim/frame_table.h"
#include "sim/plot.h"
#include "sim/plugin_folder.h"
#include "sim/progress.h"
#include "sim/scenario.h"
#include "sim/simulation.h"
#include "sim/timeline.h"
#include "sim/wav_render.h"

namespace {

const std::string assets = OSTRELLE_ASSETS;
const std::string defaultSettings = assets + "/Ostrelle.ini";

// Exit statuses: a bad input (scenario, replay, settings file) is told apart from a failure to
// write what was asked for.
constexpr int exitFailed = 1;
constexpr int exitBadInput = 2;

struct Outputs {
    std::string ini, trace, csv, plot, wav;
};

struct Drive {
    std::string title;
    std::string settings;  // from the scenario; --ini overrides it
    std::vector<ReplayFrame> frames;
};

// An output file opened for writing, or a failure naming it.
std::ofstream create(const std::string& path) {
    std::ofstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error(path + ": cannot write");
    return file;
}

// Closes an output file, and fails naming it when any of it could not be written.
void finish(std::ofstream& file, const std::string& path) {
    file.close();
    if (!file) throw std::runtime_error(path + ": cannot write all of it");
}

// The settings that differ from the defaults, as "Key=value" text joined by commas.
std::string changedSettings() {
    const EffectSettings defaults;
    std::string changed;
    for (const SettingKey& key : settingKeys) {
        std::visit(
            [&](auto field) {
                if (effectSettings.*field == defaults.*field) return;
                std::ostringstream text;
                text << key.key << '=' << +(effectSettings.*field);
                changed += (changed.empty() ? "" : ", ") + text.str();
            },
            key.field);
    }
    return changed;
}

int runDrive(const Drive& drive, const Outputs& outputs) {
    std::string settings = !outputs.ini.empty()      ? outputs.ini
                           : !drive.settings.empty() ? drive.settings
                                                     : defaultSettings;
    PluginFolder folder(settings, assets + "/Radio SFX");
    std::optional<std::ofstream> trace;
    if (!outputs.trace.empty()) trace = create(outputs.trace);
    std::optional<WavRender> wav;
    if (!outputs.wav.empty()) wav.emplace(outputs.wav, assets + "/radio-bed.mp3");

    std::vector<FrameRecord> records;
    {
        Progress progress(drive.frames.size());
        records = simulate(drive.frames, folder.path(), trace ? &*trace : nullptr,
                           [&](const FrameRecord& record) {
                               if (wav) wav->frame(record);
                               progress.update(record.row.frame + 1);
                           });
    }
    if (trace) finish(*trace, outputs.trace);
    if (wav) wav->finish();
    double seconds = records.empty() ? 0.0 : records.back().time + records.back().duration;
    std::string changed = changedSettings();
    std::printf("%s: %zu frames, %.1f s, settings %s (%s)\n", drive.title.c_str(), records.size(),
                seconds, settings.c_str(), changed.empty() ? "all defaults" : changed.c_str());
    writeTimeline(std::cout, records);
    std::cout.flush();

    if (!outputs.csv.empty()) {
        std::ofstream csv = create(outputs.csv);
        writeFrameTable(csv, records);
        finish(csv, outputs.csv);
    }
    if (!outputs.plot.empty()) {
        writePlot(records, drive.title + (changed.empty() ? "" : " - " + changed), outputs.plot);
    }
    for (const std::string* path : {&outputs.trace, &outputs.csv, &outputs.plot, &outputs.wav}) {
        if (!path->empty()) std::printf("Wrote %s\n", path->c_str());
    }
    return 0;
}

Drive scenarioDrive(const std::string& path) {
    Scenario scenario = readScenario(path);
    return {scenario.title, scenario.settingsPath, std::move(scenario.frames)};
}

Drive replayDrive(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || !file) {
        throw InputError(path, 1, 1, "cannot read the file");
    }
    return {path, "", readReplay(file, path)};
}

void addOutputs(CLI::App* command, Outputs& outputs) {
    command
        ->add_option("--ini", outputs.ini,
                     "the settings file the plug-in reads as its Ostrelle.ini (default: the "
                     "scenario's, else assets/Ostrelle.ini)")
        ->check(CLI::ExistingFile);
    command->add_option("--trace", outputs.trace,
                        "write every call the plug-in makes, one JSON object a line");
    command->add_option("--csv", outputs.csv,
                        "write one row per frame: time, state, radio, sounds");
    command->add_option("--plot", outputs.plot, "draw the radio volume over time into a PNG");
    command->add_option("--wav", outputs.wav,
                        "render what a player hears: the radio bed at the game's radio volume "
                        "(gain = volume / 127) mixed with the plug-in's sounds");
}

const char* const examples =
    "Examples:\n"
    "  ostrelle-sim run scenarios/city-drive.toml --plot radio.png --wav drive.wav\n"
    "      drive through town with assets/Ostrelle.ini; draw the radio and render the sound\n"
    "  ostrelle-sim check-ini my.ini\n"
    "      the eight values the plug-in will read from my.ini, and what may surprise you\n"
    "  ostrelle-sim run scenarios/tunnel-crash.toml --ini my.ini --csv frames.csv\n"
    "      the same plug-in with your settings, every frame in a table\n"
    "  ostrelle-sim export-replay scenarios/tick-wrap.toml wrap.csv\n"
    "      the scenario's frames as a replay you can edit row by row\n"
    "  ostrelle-sim replay wrap.csv --trace wrap.jsonl\n"
    "      run that replay; every call the plug-in makes, one JSON object a line\n"
    "\n"
    "The radio volume is the game's scale, 0 to 127 (full). In --wav it sets the radio bed's gain\n"
    "linearly, volume / 127: 127 is the bed's own level, 64 about half (-6 dB), 30 (the default\n"
    "tunnel level) about a quarter (-12.5 dB), 20 (the default duck) about a sixth (-16 dB).";

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Drives the Ostrelle plug-in without the game: a scripted drive goes in; the plug-in's "
        "timeline comes out on stdout, and on request its trace, a table, a plot and a WAV file."};
    app.require_subcommand(1);
    app.footer(examples);

    Outputs outputs;
    std::string input, output;
    CLI::App* run = app.add_subcommand("run", "run a scenario (a scripted drive in TOML)");
    run->add_option("scenario", input, "the scenario file")->required();
    addOutputs(run, outputs);
    run->footer(
        "Example: ostrelle-sim run scenarios/city-drive.toml --ini my.ini --plot radio.png --wav "
        "drive.wav");

    CLI::App* replay = app.add_subcommand("replay", "run an exact replay (one CSV row per frame)");
    replay->add_option("replay", input, "the replay file")->required();
    addOutputs(replay, outputs);
    replay->footer("Example: ostrelle-sim replay drive.csv --trace drive.jsonl");

    CLI::App* exportReplay =
        app.add_subcommand("export-replay", "write a scenario's frames as a replay CSV");
    exportReplay->add_option("scenario", input, "the scenario file")->required();
    exportReplay->add_option("replay", output, "the replay file to write")->required();
    exportReplay->footer(
        "Example: ostrelle-sim export-replay scenarios/tunnel-crash.toml tunnel-crash.csv");

    CLI::App* checkIniCommand = app.add_subcommand(
        "check-ini",
        "what the plug-in will read from a settings file, with a warning for each surprise");
    checkIniCommand->add_option("file", input, "the settings file")->required();
    checkIniCommand->footer(
        "Example: ostrelle-sim check-ini my.ini\n"
        "Exit status: 0 when clean, 1 with warnings, 2 when the file cannot be read.");

    CLI::App* checkGameCommand = app.add_subcommand(
        "check-game", "whether the plug-in can work in a game's folder, and what to do if not");
    checkGameCommand->add_option("path", input, "the game's folder, or its .exe")->required();
    checkGameCommand->footer(
        "Example: ostrelle-sim check-game ~/games/city\n"
        "Exit status: 0 when every check passes, 1 when any fails, 2 when the path is not there.");

    CLI11_PARSE(app, argc, argv);
    if (*checkIniCommand) return checkIni(input, std::cout);
    if (*checkGameCommand) return checkGame(input, std::cout);
    try {
        if (*run) return runDrive(scenarioDrive(input), outputs);
        if (*replay) return runDrive(replayDrive(input), outputs);
        Drive drive = scenarioDrive(input);
        std::ofstream file = create(output);
        writeReplay(file, drive.frames);
        finish(file, output);
        std::printf("Wrote %s: %zu frames\n", output.c_str(), drive.frames.size());
        return 0;
    } catch (const InputError& error) {
        std::fprintf(stderr, "ostrelle-sim: %s\n", error.what());
        return exitBadInput;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "ostrelle-sim: %s\n", error.what());
        return exitFailed;
    }
}
