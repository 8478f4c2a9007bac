// ostrelle-sim: runs the plug-in's own code without the game. A scripted drive (a scenario in
// TOML) or an exact replay (CSV) plays the game's part frame by frame; what the plug-in did comes
// out as a timeline, and on request as a trace, a table, a plot and the sound a player would hear.
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <numeric>
#include <optional>

#include "checks/check_game.h"
#include "checks/check_ini.h"
#include "config/settings.h"
#include "drives/frame_table.h"
#include "drives/plugin_folder.h"
#include "drives/scenario.h"
#include "drives/simulation.h"
#include "drives/timeline.h"
#include "drives/wav_render.h"
#include "sim/output_file.h"
#include "sim/plot.h"
#include "sim/progress.h"
#include "sound/sound_player.h"
#include "text/shown_text.h"

namespace {

namespace fs = std::filesystem;

// Exit statuses: a bad input (scenario, replay, settings file) or a mistake on the command line
// is told apart from a failure to write what was asked for.
constexpr int exitFailed = 1;
constexpr int exitBadInput = 2;

// The shipped settings, sounds and radio bed: the build and the package put them in a folder
// "assets" beside the program, so no path of the machine that built it is needed.
fs::path assetsFolder() {
    std::error_code error;
    return fs::read_symlink("/proc/self/exe", error).parent_path() / "assets";
}

// Set by SIGINT and SIGTERM; the run stops at the next frame or step, removes what it made and
// ends as the signal would have ended it.
volatile std::sig_atomic_t interruptedBy = 0;

void onInterrupt(int signal) {
    interruptedBy = signal;
}

struct Interrupted : std::runtime_error {
    Interrupted() : std::runtime_error("interrupted") {}
};

void stopIfInterrupted() {
    if (interruptedBy != 0) throw Interrupted();
}

void catchInterrupts() {
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader that goes away (gnuplot failing) is an error of the write, not the end of the run.
    std::signal(SIGPIPE, SIG_IGN);
}

struct Outputs {
    std::string ini, sounds, trace, csv, plot, wav;
};

struct Drive {
    std::string path;
    std::string title;
    std::string settings;  // from the scenario or beside the replay; --ini overrides it
    std::vector<ReplayFrame> frames;
};

// The settings beside a replay that export-replay carries over from its scenario: the replay's
// own name with ".ini".
fs::path settingsBesideReplay(const fs::path& replay) {
    return fs::path(replay).replace_extension(".ini");
}

// Writes an output whole through write(path) into a temporary file, then puts it in place.
template <typename Write>
void writeOutput(const std::string& target, Write write) {
    if (target.empty()) return;
    stopIfInterrupted();
    OutputFile file(target);
    write(file.path());
    stopIfInterrupted();
    file.commit();
}

void writeStream(const std::string& path, const std::function<void(std::ostream&)>& write) {
    std::ofstream file(path, std::ios::binary);
    write(file);
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

// "broke.mp3 from assets/Radio SFX/broke.mp3, broke2.mp3 missing, ..."
std::string soundSources(const PluginFolder& folder) {
    std::string sources;
    for (const PluginSound& sound : pluginSounds) {
        const char* name = sound.fileName;
        const std::string found = folder.soundSource(name);
        sources += (sources.empty() ? "" : ", ") + std::string(name) +
                   (found.empty() ? " missing" : " from " + found);
    }
    return printableText(sources);
}

std::string settingsFor(const Drive& drive, const Outputs& outputs) {
    return !outputs.ini.empty()      ? outputs.ini
           : !drive.settings.empty() ? drive.settings
                                     : (assetsFolder() / "Ostrelle.ini").string();
}

int runDrive(const Drive& drive, const Outputs& outputs) {
    const std::string settings = settingsFor(drive, outputs);
    const std::string bed = (assetsFolder() / "radio-bed.mp3").string();
    refuseSameFiles({{"the input", drive.path},
                     {"the settings file", settings},
                     {"the radio bed", outputs.wav.empty() ? "" : bed},
                     {"--trace", outputs.trace},
                     {"--csv", outputs.csv},
                     {"--plot", outputs.plot},
                     {"--wav", outputs.wav}});
    PluginFolder folder(settings,
                        outputs.sounds.empty() ? assetsFolder().string() : outputs.sounds);
    std::optional<OutputFile> trace, wav;
    std::optional<std::ofstream> traceStream;
    if (!outputs.trace.empty()) {
        trace.emplace(outputs.trace);
        traceStream.emplace(trace->path(), std::ios::binary);
    }
    std::optional<WavRender> render;
    if (!outputs.wav.empty()) {
        wav.emplace(outputs.wav);
        const std::vector<double> durations = frameDurations(drive.frames);
        render.emplace(wav->path(), bed, std::accumulate(durations.begin(), durations.end(), 0.0));
    }

    std::vector<FrameRecord> records;
    {
        Progress progress(drive.frames.size());
        records = simulate(drive.frames, folder.path(), traceStream ? &*traceStream : nullptr,
                           [&](const FrameRecord& record) {
                               stopIfInterrupted();
                               if (render) render->frame(record);
                               progress.update(record.row.frame + 1);
                           });
    }
    const EffectSettings settingsRead = effectSettings;
    if (traceStream) {
        traceStream->close();
        if (!*traceStream) throw std::runtime_error(outputs.trace + ": cannot write all of it");
    }
    if (render) render->finish();
    double seconds = records.back().time + records.back().duration;
    std::string changed = changedSettings();
    std::printf("%s: %zu frames, %.1f s, settings %s (%s)\nsounds: %s\n",
                printableText(drive.title).c_str(), records.size(), seconds,
                printableText(settings).c_str(), changed.empty() ? "all defaults" : changed.c_str(),
                soundSources(folder).c_str());
    writeTimeline(std::cout, records, settingsRead);
    std::cout.flush();

    writeOutput(outputs.csv, [&](const std::string& path) {
        writeStream(path, [&](std::ostream& out) { writeFrameTable(out, records); });
    });
    writeOutput(outputs.plot, [&](const std::string& path) {
        writePlot(records, drive.title + (changed.empty() ? "" : " - " + changed), path);
    });
    stopIfInterrupted();
    if (trace) trace->commit();
    if (wav) wav->commit();
    for (const std::string* path : {&outputs.trace, &outputs.csv, &outputs.plot, &outputs.wav}) {
        if (!path->empty()) std::printf("Wrote %s\n", printableText(*path).c_str());
    }
    return 0;
}

Drive scenarioDrive(const std::string& path) {
    Scenario scenario = readScenario(path);
    return {path, scenario.title, scenario.settingsPath, std::move(scenario.frames)};
}

Drive replayDrive(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::error_code error;
    if (!fs::is_regular_file(path, error) || !file) {
        throw InputError(path, 1, 1, "cannot read the file");
    }
    const fs::path settings = settingsBesideReplay(path);
    return {path, path, fs::is_regular_file(settings, error) ? settings.string() : "",
            readReplay(file, path)};
}

// export-replay: the frames as a replay, and the settings they ran with beside it.
int exportReplay(const std::string& scenarioPath, const std::string& replayPath) {
    const std::string settingsPath = settingsBesideReplay(replayPath).string();
    Drive drive = scenarioDrive(scenarioPath);
    const std::string settings = settingsFor(drive, {});
    refuseSameFiles({{"the scenario", scenarioPath},
                     {"the scenario's settings file", settings},
                     {"the replay", replayPath},
                     {"the replay's settings file", settingsPath}});
    writeOutput(replayPath, [&](const std::string& path) {
        writeStream(path, [&](std::ostream& out) { writeReplay(out, drive.frames); });
    });
    writeOutput(settingsPath, [&](const std::string& path) {
        std::error_code error;
        if (!fs::copy_file(settings, path, fs::copy_options::overwrite_existing, error)) {
            throw std::runtime_error(settingsPath + ": cannot write: " + error.message());
        }
    });
    std::printf("Wrote %s: %zu frames; and %s: the settings %s\n",
                printableText(replayPath).c_str(), drive.frames.size(),
                printableText(settingsPath).c_str(), printableText(settings).c_str());
    return 0;
}

// A mistake on the command line: exit status 2 with a message that names it.
struct UsageError : std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

void checkOutputs(const Outputs& outputs) {
    if (!outputs.ini.empty() && !std::ifstream(outputs.ini)) {
        throw UsageError("--ini " + outputs.ini + ": cannot read the file");
    }
    std::error_code error;
    if (!outputs.sounds.empty() && !fs::is_directory(outputs.sounds, error)) {
        throw UsageError("--sounds " + outputs.sounds + ": no such folder");
    }
    std::string extension = fs::path(outputs.plot).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!outputs.plot.empty() && extension != ".png") {
        throw UsageError("--plot " + outputs.plot + ": expected a file name ending in .png");
    }
}

const char* const exitStatuses =
    "Exit status: 0 when done; 1 when an output cannot be written in full; 2 for a mistake on\n"
    "the command line or in an input (scenario, replay, settings file), with file:line:column;\n"
    "after SIGINT or SIGTERM, the signal's (nothing half-written is left behind).";

const char* const scenarioFormat =
    "A scenario (TOML; every time in seconds from the start):\n"
    "  title = \"My drive\"        length = 30 (required)     frame_rate = 60\n"
    "  start_tick = 100000       (what GetTickCount answers in the first frame)\n"
    "  settings = \"my.ini\"       (beside the scenario; --ini overrides it)\n"
    "  speed = 15                (units a second along x)\n"
    "  [start]  vehicle = 1 (0: on foot), health = 1000, status = 0\n"
    "  [[crash]] at, force      [[damage]] at, amount      [[change]] at, vehicle, health\n"
    "  [[roof]] from, to, height    [[pause]] from, to    [[leave]] from, to\n"
    "  [[status]] from, to, value\n"
    "The README's section \"The simulator: ostrelle-sim\" describes each in full.";

const char* const examples =
    "Examples:\n"
    "  ostrelle-sim run scenarios/city-drive.toml --plot radio.png --wav drive.wav\n"
    "      drive through town with the shipped Ostrelle.ini; draw the radio and render the sound\n"
    "  ostrelle-sim check-ini my.ini\n"
    "      the eight values the plug-in will read from my.ini, and what may surprise you\n"
    "  ostrelle-sim run scenarios/tunnel-crash.toml --ini my.ini --sounds my-mod --csv f.csv\n"
    "      the plug-in with your settings and sounds, every frame in a table\n"
    "  ostrelle-sim export-replay scenarios/tick-wrap.toml wrap.csv\n"
    "      the scenario's frames as a replay you can edit row by row (its settings: wrap.ini)\n"
    "  ostrelle-sim replay wrap.csv --trace wrap.jsonl\n"
    "      run that replay; every call the plug-in makes, one JSON object a line\n"
    "\n"
    "The radio volume is the game's scale, 0 to 127 (full). In --wav it sets the radio bed's gain\n"
    "linearly, volume / 127: 127 is the bed's own level, 64 about half (-6 dB), 30 (the default\n"
    "tunnel level) about a quarter (-12.5 dB), 20 (the default duck) about a sixth (-16 dB).";

void addOutputs(CLI::App* command, Outputs& outputs, const std::string& settingsDefault) {
    command->add_option("--ini", outputs.ini,
                        "the settings file the plug-in reads as its Ostrelle.ini (default: " +
                            settingsDefault + ", else the shipped assets/Ostrelle.ini)");
    command->add_option("--sounds", outputs.sounds,
                        "the folder the plug-in runs from: its sounds are searched there as the "
                        "plug-in searches them (\"Radio SFX\" first); default: the shipped assets");
    command->add_option("--trace", outputs.trace,
                        "write every call the plug-in makes, one JSON object a line");
    command->add_option("--csv", outputs.csv,
                        "write one row per frame: time, state, radio, sounds");
    command->add_option("--plot", outputs.plot, "draw the radio volume over time into a PNG");
    command->add_option("--wav", outputs.wav,
                        "render what a player hears: the radio bed at the game's radio volume "
                        "(gain = volume / 127) mixed with the plug-in's sounds");
}

// The message for a mistake CLI11 found, naming it as a person would.
std::string usageMessage(const CLI::App& app, const CLI::ParseError& error, int argc, char** argv) {
    if (argc < 2)
        return "no command given: expected run, replay, export-replay, check-ini or check-game";
    const std::string first = argv[1];
    if (first.empty() || first[0] != '-') {
        const auto commands = app.get_subcommands([](const CLI::App*) { return true; });
        bool known = false;
        for (const CLI::App* command : commands) known = known || command->get_name() == first;
        if (!known) return "unknown command " + quotedExcerpt(first);
    }
    return error.what();
}

int run(int argc, char** argv) {
    CLI::App app{
        "Drives the Ostrelle plug-in without the game: a scripted drive goes in; the plug-in's "
        "timeline comes out on stdout, and on request its trace, a table, a plot and a WAV file."};
    app.require_subcommand(1);
    app.set_version_flag("--version", "ostrelle-sim " OSTRELLE_VERSION);
    app.footer(std::string(examples) + "\n\n" + exitStatuses);

    Outputs outputs;
    std::string input, output;
    CLI::App* runCommand = app.add_subcommand("run", "run a scenario (a scripted drive in TOML)");
    runCommand->add_option("scenario", input, "the scenario file")->required();
    addOutputs(runCommand, outputs, "the scenario's settings");
    runCommand->footer(std::string(scenarioFormat) + "\n\n" + exitStatuses);

    CLI::App* replay = app.add_subcommand("replay", "run an exact replay (one CSV row per frame)");
    replay->add_option("replay", input, "the replay file")->required();
    addOutputs(replay, outputs, "the file beside the replay of its name with .ini");
    replay->footer(
        "A replay's header: frame,tick,suspend,actor,vehicle,status,health,impact,x,y,z,"
        "roof_found,roof_z\nExample: ostrelle-sim replay drive.csv --trace drive.jsonl\n\n" +
        std::string(exitStatuses));

    CLI::App* exportCommand = app.add_subcommand(
        "export-replay",
        "write a scenario's frames as a replay CSV, and the settings it runs with beside it as "
        "the replay's name with .ini");
    exportCommand->add_option("scenario", input, "the scenario file")->required();
    exportCommand->add_option("replay", output, "the replay file to write")->required();
    exportCommand->footer(
        "Example: ostrelle-sim export-replay scenarios/tunnel-crash.toml tunnel-crash.csv\n"
        "    writes tunnel-crash.csv and tunnel-crash.ini, which replay tunnel-crash.csv "
        "reads\n\n" +
        std::string(exitStatuses));

    CLI::App* checkIniCommand = app.add_subcommand(
        "check-ini",
        "what the plug-in will read from a settings file, with a warning for each surprise");
    bool json = false;
    checkIniCommand->add_option("file", input, "the settings file")->required();
    checkIniCommand->add_flag("--json", json, "print the report as one JSON object on stdout");
    checkIniCommand->footer(
        "Example: ostrelle-sim check-ini my.ini\n"
        "The values go to stdout, the warnings to stderr; with --json, the whole report to "
        "stdout.\n"
        "Exit status: 0 when clean, 1 with warnings, 2 when the file cannot be read or for a "
        "mistake on the command line.");

    CLI::App* checkGameCommand = app.add_subcommand(
        "check-game", "whether the plug-in can work in a game's folder, and what to do if not");
    checkGameCommand->add_option("path", input, "the game's folder, or its .exe")->required();
    checkGameCommand->add_flag("--json", json, "print the report as one JSON object");
    checkGameCommand->footer(
        "Example: ostrelle-sim check-game ~/games/city\n"
        "Exit status: 0 when every check passes, 1 when any fails, 2 when the path is not there "
        "or for a mistake on the command line.");

    try {
        app.parse(argc, argv);
        checkOutputs(outputs);
    } catch (const CLI::Success& done) {
        return app.exit(done);  // --help, --version
    } catch (const CLI::ParseError& error) {
        std::fprintf(stderr, "ostrelle-sim: %s\nRun 'ostrelle-sim --help' for the commands.\n",
                     printableText(usageMessage(app, error, argc, argv)).c_str());
        return exitBadInput;
    } catch (const UsageError& error) {
        std::fprintf(stderr, "ostrelle-sim: %s\n", printableText(error.what()).c_str());
        return exitBadInput;
    }
    if (*checkIniCommand) {
        const IniReport report = checkIni(input);
        if (json) {
            std::cout << iniReportJson(report) << '\n';
        } else {
            printIniReport(report, std::cout, std::cerr);
        }
        return report.status;
    }
    if (*checkGameCommand) {
        const GameReport report = checkGame(input);
        if (json) {
            std::cout << gameReportJson(report) << '\n';
        } else {
            printGameReport(report, std::cout);
        }
        return report.status;
    }
    catchInterrupts();
    try {
        if (*runCommand) return runDrive(scenarioDrive(input), outputs);
        if (*replay) return runDrive(replayDrive(input), outputs);
        return exportReplay(input, output);
    } catch (const Interrupted&) {
        std::fprintf(stderr, "ostrelle-sim: interrupted; no output is left half-written\n");
        return -1;
    } catch (const InputError& error) {
        std::fprintf(stderr, "ostrelle-sim: %s\n", error.what());
        return exitBadInput;
    } catch (const std::invalid_argument& error) {  // two paths naming one file
        std::fprintf(stderr, "ostrelle-sim: %s\n", printableText(error.what()).c_str());
        return exitBadInput;
    } catch (const std::exception& error) {
        if (interruptedBy != 0) return -1;
        std::fprintf(stderr, "ostrelle-sim: %s\n", printableText(error.what()).c_str());
        return exitFailed;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int status = run(argc, argv);
    if (status < 0) {
        // Everything made is removed by now: end as the signal would have ended the program.
        std::signal(interruptedBy, SIG_DFL);
        std::raise(interruptedBy);
    }
    return status;
}
