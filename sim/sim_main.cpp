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
#include "compat/windows_path.h"
#include "config/settings.h"
#include "drives/frame_table.h"
#include "drives/scenario.h"
#include "drives/simulation.h"
#include "drives/timeline.h"
#include "sim/output_file.h"
#include "sim/plot.h"
#include "sim/plugin_folder.h"
#include "sim/progress.h"
#include "sim/wav_render.h"
#include "sound/sound_player.h"
#include "standins/world/replay_format.h"
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

// Set by SIGINT, SIGTERM, SIGHUP (a closed terminal), SIGQUIT and SIGPIPE; the run stops at the
// next frame or step, removes what it made and ends as the signal would have ended it.
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
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
        sigaction(signal, &action, nullptr);
    }
    // Past a file-size limit (ulimit -f) a write fails with EFBIG, told and cleaned up as any
    // other failed write, instead of the signal ending the run with files left behind.
    std::signal(SIGXFSZ, SIG_IGN);
}

struct Outputs {
    std::string ini, sounds, game, trace, csv, plot, wav;
};

struct Drive {
    std::string path;
    std::string title;
    std::string settings;  // from the scenario or beside the replay; --ini overrides it
    std::vector<ReplayFrame> frames;
};

// The program itself and what it ships (settings, radio bed, sounds, read-me): no output ever
// replaces them.
std::vector<NamedPath> shippedFiles() {
    std::vector<NamedPath> shipped{
        {"ostrelle-sim itself", "/proc/self/exe"},
        {"the shipped settings", (assetsFolder() / "Ostrelle.ini").string()},
        {"the radio bed", (assetsFolder() / "radio-bed.mp3").string()},
        {"the shipped read-me", (assetsFolder() / "README.txt").string()}};
    for (const PluginSound& sound : pluginSounds) {
        shipped.push_back({"the shipped " + std::string(sound.fileName),
                           (assetsFolder() / soundFolderName / sound.fileName).string()});
    }
    return shipped;
}

// The settings beside a replay, which export-replay carries over from its scenario: the replay's
// own name with ".ini", found in any letter case as Windows would (DRIVE.CSV, DRIVE.INI).
fs::path settingsBesideReplay(const fs::path& replay) {
    const fs::path named = fs::path(replay).replace_extension(".ini");
    const std::string folder = named.parent_path().string();
    const fs::path found =
        platform::windowsPathBelow(folder.empty() ? "." : folder, "/" + named.filename().string());
    return folder.empty() ? found.filename() : found;
}

// The output for a path given, opened before the work, or nothing when it was not asked for.
std::optional<OutputFile> outputFor(const std::string& target,
                                    OutputFile::Access access = OutputFile::Access::sequential) {
    if (target.empty()) return std::nullopt;
    return std::optional<OutputFile>(std::in_place, target, access);
}

// Every output given, put in place together once all are written.
void commitOutputs(std::initializer_list<std::optional<OutputFile>*> outputs) {
    stopIfInterrupted();
    std::vector<OutputFile*> files;
    for (std::optional<OutputFile>* output : outputs) {
        if (output->has_value()) files.push_back(&**output);
    }
    OutputFile::commitAll(files);
    for (const OutputFile* file : files) {
        std::printf("Wrote %s%s\n", printableText(file->target().string()).c_str(),
                    file->isStream() ? " (a stream)" : "");
    }
}

// Throws when what was printed did not all reach standard output (a full disk, a closed pipe):
// a timeline cut short is a failure, not a success. Once told, a failure is not told again.
void requireStandardOutput() {
    static bool told = false;
    std::cout.flush();
    if (told || (std::cout && std::fflush(stdout) == 0 && !std::ferror(stdout))) return;
    told = true;
    throw std::runtime_error("standard output: cannot write all of it");
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

// "broke.mp3 from assets/Radio SFX/broke.mp3, broke2.mp3 missing, noise.mp3 found, but cannot
// play: the file is empty (mod/noise.mp3)"
std::string soundSources(const PluginFolder& folder) {
    std::string sources;
    for (const PluginSound& sound : pluginSounds) {
        const char* name = sound.fileName;
        const PluginFolder::SoundSource found = folder.soundSource(name);
        sources += (sources.empty() ? "" : ", ") + std::string(name);
        if (found.path.empty()) {
            sources += " missing";
        } else if (!found.refusal.empty()) {
            sources += " found, but cannot play: " + found.refusal + " (" + found.path + ")";
        } else {
            sources += " from " + found.path;
        }
    }
    return printableText(sources);
}

std::string settingsFor(const Drive& drive, const Outputs& outputs) {
    return !outputs.ini.empty()      ? outputs.ini
           : !drive.settings.empty() ? drive.settings
                                     : (assetsFolder() / "Ostrelle.ini").string();
}

// Every file a run reads, and the shipped ones, against every output: exit 2 before any work.
void refuseOutputsOverInputs(const Drive& drive, const std::string& settings,
                             const PluginFolder& folder, const Outputs& outputs) {
    std::vector<NamedPath> inputs = shippedFiles();
    inputs.push_back({"the input", drive.path});
    inputs.push_back({"the settings file", settings});
    for (const PluginSound& sound : pluginSounds) {
        inputs.push_back(
            {"the sound " + std::string(sound.fileName), folder.soundSource(sound.fileName).path});
    }
    refuseSameFiles(inputs, {{"--trace", outputs.trace},
                             {"--csv", outputs.csv},
                             {"--plot", outputs.plot},
                             {"--wav", outputs.wav}});
}

// A run's outputs, each opened before the drive: what cannot be written fails before any work.
struct RunOutputs {
    explicit RunOutputs(const Outputs& given)
        : trace(outputFor(given.trace)),
          csv(outputFor(given.csv)),
          plot(outputFor(given.plot)),
          wav(outputFor(given.wav, OutputFile::Access::seeking)) {}
    std::optional<OutputFile> trace, csv, plot, wav;
};

// Drives the plug-in through every frame, rendering the WAV and tracing as it goes.
std::vector<FrameRecord> driveThrough(const Drive& drive, const PluginFolder& folder,
                                      RunOutputs& files) {
    std::optional<WavRender> render;
    if (files.wav) {
        const std::vector<double> durations = frameDurations(drive.frames);
        render.emplace(files.wav->descriptor(), files.wav->target().string(),
                       (assetsFolder() / "radio-bed.mp3").string(),
                       std::accumulate(durations.begin(), durations.end(), 0.0));
    }
    std::vector<FrameRecord> records;
    {
        Progress progress(drive.frames.size());
        records = simulate(drive.frames, folder.path(), files.trace ? &files.trace->out() : nullptr,
                           [&](const FrameRecord& record) {
                               stopIfInterrupted();
                               if (render) render->frame(record);
                               progress.update(record.row.frame + 1);
                           });
    }
    if (files.trace) files.trace->finish();
    if (render) render->finish();
    return records;
}

// The run's head and its timeline, on standard output.
void printTimeline(const Drive& drive, const std::string& settings, const PluginFolder& folder,
                   const std::vector<FrameRecord>& records, const EffectSettings& settingsRead,
                   const std::string& changed) {
    const double seconds = records.back().time + records.back().duration;
    const std::string game = folder.givenGameFolder();
    std::printf(
        "%s: %zu frames, %.1f s, settings %s (%s)\nsounds: %s\ngame folder: %s\n",
        printableText(drive.title).c_str(), records.size(), seconds,
        printableText(settings).c_str(), changed.empty() ? "all defaults" : changed.c_str(),
        soundSources(folder).c_str(),
        game.empty() ? "none (an empty one; --game names one)" : printableText(game).c_str());
    writeTimeline(std::cout, records, settingsRead);
    requireStandardOutput();
}

int runDrive(const Drive& drive, const Outputs& outputs) {
    const std::string settings = settingsFor(drive, outputs);
    PluginFolder folder(settings, outputs.sounds.empty() ? assetsFolder().string() : outputs.sounds,
                        outputs.game);
    refuseOutputsOverInputs(drive, settings, folder, outputs);
    RunOutputs files(outputs);
    const std::vector<FrameRecord> records = driveThrough(drive, folder, files);
    const EffectSettings settingsRead = effectSettings;
    const std::string changed = changedSettings();
    printTimeline(drive, settings, folder, records, settingsRead, changed);

    if (files.csv) writeFrameTable(files.csv->out(), records);
    stopIfInterrupted();
    if (files.plot) {
        try {
            files.plot->out() << drawPlot(records,
                                          drive.title + (changed.empty() ? "" : " - " + changed));
        } catch (const std::runtime_error& error) {
            throw std::runtime_error(outputs.plot + ": " + error.what() +
                                     "; no output was written");
        }
    }
    commitOutputs({&files.trace, &files.csv, &files.plot, &files.wav});
    return 0;
}

Drive scenarioDrive(const std::string& path) {
    Scenario scenario = readScenario(path);
    return {path, scenario.title, scenario.settingsPath, std::move(scenario.frames)};
}

Drive replayDrive(const std::string& path) {
    // Checked before it is opened: opening a named pipe would wait for a writer.
    std::error_code error;
    if (!fs::is_regular_file(path, error)) throw InputError(path, 1, 1, "cannot read the file");
    std::ifstream file(path, std::ios::binary);
    if (!file) throw InputError(path, 1, 1, "cannot read the file");
    const fs::path settings = settingsBesideReplay(path);
    std::string warning;
    std::vector<ReplayFrame> frames = readReplay(file, path, &warning);
    if (!warning.empty()) std::fprintf(stderr, "ostrelle-sim: warning: %s\n", warning.c_str());
    return {path, path, fs::is_regular_file(settings, error) ? settings.string() : "",
            std::move(frames)};
}

// The whole of a settings file, to carry over beside a replay.
std::string settingsText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file) throw std::runtime_error(path + ": cannot read the settings file");
    return text.str();
}

// export-replay: the frames as a replay, and the settings they ran with beside it. When the
// scenario's settings file is already that file, it is kept as it is.
int exportReplay(const std::string& scenarioPath, const std::string& replayPath) {
    const std::string settingsPath = settingsBesideReplay(replayPath).string();
    checkOutputPath("the replay's settings file", settingsPath);
    Drive drive = scenarioDrive(scenarioPath);
    const std::string settings = settingsFor(drive, {});
    const bool settingsInPlace = sameFile(settings, settingsPath);
    std::vector<NamedPath> inputs = shippedFiles();
    inputs.push_back({"the scenario", scenarioPath});
    inputs.push_back({"the scenario's settings file", settings});
    refuseSameFiles(inputs, {{"the replay", replayPath},
                             {"the replay's settings file", settingsInPlace ? "" : settingsPath}});
    std::optional<OutputFile> replay = outputFor(replayPath),
                              copy = outputFor(settingsInPlace ? "" : settingsPath);
    writeReplay(replay->out(), drive.frames);
    if (copy) copy->out() << settingsText(settings);
    commitOutputs({&replay, &copy});
    std::printf("%zu frames; the settings %s%s\n", drive.frames.size(),
                printableText(settings).c_str(),
                settingsInPlace ? ", kept where they are: the replay's settings file already" : "");
    return 0;
}

// A mistake on the command line: exit status 2 with a message that names it.
struct UsageError : std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

// Whether a program of that name is on the PATH.
bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (access(((folder.empty() ? "." : folder) + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

void checkOutputs(const Outputs& outputs) {
    std::error_code error;
    // Not opened to find out: a named pipe would block the run before it starts.
    if (!outputs.ini.empty() &&
        (!fs::is_regular_file(outputs.ini, error) || access(outputs.ini.c_str(), R_OK) != 0)) {
        throw UsageError("--ini " + outputs.ini + ": cannot read the file");
    }
    for (const auto& [role, path] : {std::pair{"--trace", &outputs.trace},
                                     {"--csv", &outputs.csv},
                                     {"--plot", &outputs.plot},
                                     {"--wav", &outputs.wav}}) {
        if (path->empty()) continue;
        try {
            checkOutputPath(role, *path);
        } catch (const std::invalid_argument& problem) {
            throw UsageError(problem.what());
        }
    }
    if (!outputs.plot.empty() && !onPath("gnuplot")) {
        throw UsageError("--plot " + outputs.plot +
                         ": gnuplot is not installed (Debian: apt-get install gnuplot-nox)");
    }
    if (!outputs.sounds.empty() && !fs::is_directory(outputs.sounds, error)) {
        throw UsageError("--sounds " + outputs.sounds + ": no such folder");
    }
    if (!outputs.game.empty() && !fs::is_directory(outputs.game, error)) {
        throw UsageError("--game " + outputs.game + ": no such folder");
    }
    std::string extension = fs::path(outputs.plot).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!outputs.plot.empty() && extension != ".png") {
        throw UsageError("--plot " + outputs.plot + ": expected a file name ending in .png");
    }
}

// An empty path given to any option or argument is a mistake: "" never names a file.
void refuseEmptyValues(const CLI::App& app) {
    for (const CLI::App* command : app.get_subcommands()) {
        for (const CLI::Option* option : command->get_options()) {
            for (const std::string& value : option->results()) {
                if (value.empty()) throw UsageError(option->get_name() + ": an empty path");
            }
        }
    }
}

const char* const exitStatuses =
    "Exit status: 0 when done; 1 when an output cannot be written in full; 2 for a mistake on\n"
    "the command line or in an input (scenario, replay, settings file), with file:line:column;\n"
    "after SIGINT, SIGTERM, SIGHUP, SIGQUIT or SIGPIPE, the signal's (nothing half-written is\n"
    "left behind).";

const char* const outputRules =
    "Outputs: files are written all or none. Each goes to a temporary file beside it and is put\n"
    "in place, with the old file's permissions, only once every output is written; a run that\n"
    "fails or is interrupted leaves the old files as they were. A symbolic link is written\n"
    "through and stays. No output may be a file the run reads or that ships with ostrelle-sim,\n"
    "nor a file with other names (hard links, which would keep the old contents): both exit 2\n"
    "before any work. A pipe or terminal (a named pipe, /dev/stderr, /dev/fd/N, >(gzip > t.gz))\n"
    "is a stream: written directly as the run goes, so it is not all or none.";

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
    "docs/simulator.md describes each in full.";

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
    command->add_option("--game", outputs.game,
                        "the game's folder: the plug-in's relative search places (Radio SFX\\, "
                        "modloader\\Ostrelle\\...) are looked up there; default: an empty "
                        "folder, never the shell's current one");
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

// The command line: its commands and what they were given.
struct CommandLine {
    CLI::App app{
        "Drives the Ostrelle plug-in without the game: a scripted drive goes in; the plug-in's "
        "timeline comes out on stdout, and on request its trace, a table, a plot and a WAV file."};
    Outputs outputs;
    std::string input, output;
    bool json = false;
    CLI::App* run = nullptr;
    CLI::App* replay = nullptr;
    CLI::App* exportReplay = nullptr;
    CLI::App* checkIni = nullptr;
    CLI::App* checkGame = nullptr;
};

void addDriveCommands(CommandLine& line) {
    const std::string footer = std::string(outputRules) + "\n\n" + exitStatuses;
    line.run = line.app.add_subcommand("run", "run a scenario (a scripted drive in TOML)");
    line.run->add_option("scenario", line.input, "the scenario file")->required();
    addOutputs(line.run, line.outputs, "the scenario's settings");
    line.run->footer(std::string(scenarioFormat) + "\n\n" + footer);

    line.replay = line.app.add_subcommand("replay", "run an exact replay (one CSV row per frame)");
    line.replay->add_option("replay", line.input, "the replay file")->required();
    addOutputs(line.replay, line.outputs,
               "the file beside the replay of its name with .ini, in any letter case");
    line.replay->footer("A replay's header: " + std::string(replayHeader) +
                        "Example: ostrelle-sim replay drive.csv --trace drive.jsonl\n\n" + footer);

    line.exportReplay = line.app.add_subcommand(
        "export-replay",
        "write a scenario's frames as a replay CSV, and the settings it runs with beside it as "
        "the replay's name with .ini");
    line.exportReplay->add_option("scenario", line.input, "the scenario file")->required();
    line.exportReplay->add_option("replay", line.output, "the replay file to write")->required();
    line.exportReplay->footer(
        "Example: ostrelle-sim export-replay scenarios/tunnel-crash.toml tunnel-crash.csv\n"
        "    writes tunnel-crash.csv and tunnel-crash.ini, which replay tunnel-crash.csv reads.\n"
        "When the scenario's own settings file is already that .ini, it is kept as it is.\n\n" +
        footer);
}

void addCheckCommands(CommandLine& line) {
    line.checkIni = line.app.add_subcommand(
        "check-ini",
        "what the plug-in will read from a settings file, with a warning for each surprise");
    line.checkIni->add_option("file", line.input, "the settings file")->required();
    line.checkIni->add_flag("--json", line.json, "print the report as one JSON object on stdout");
    line.checkIni->footer(
        "Example: ostrelle-sim check-ini my.ini\n"
        "The values go to stdout, the warnings to stderr; with --json, the whole report to "
        "stdout.\n"
        "Exit status: 0 when clean, 1 with warnings, 2 when the file cannot be read or for a "
        "mistake on the command line.");

    line.checkGame = line.app.add_subcommand(
        "check-game", "whether the plug-in can work in a game's folder, and what to do if not");
    line.checkGame->add_option("path", line.input, "the game's folder, or its .exe")->required();
    line.checkGame->add_flag("--json", line.json, "print the report as one JSON object");
    line.checkGame->footer(
        "Example: ostrelle-sim check-game ~/games/city\n"
        "Names from the folder are printed with control characters as \\xNN.\n"
        "Exit status: 0 when every check passes (warnings, such as a missing Ostrelle.ini, whose\n"
        "defaults then apply, do not fail), 1 when any fails, 2 when the path is not there or\n"
        "for a mistake on the command line.");
}

// Parses the command line and checks what can be checked before any work: an exit status when
// that ends the program (--help, --version, a mistake), else nothing.
std::optional<int> parse(CommandLine& line, int argc, char** argv) {
    try {
        line.app.parse(argc, argv);
        refuseEmptyValues(line.app);
        checkOutputs(line.outputs);
        if (*line.exportReplay) checkOutputPath("the replay", line.output);
    } catch (const CLI::Success& done) {
        return line.app.exit(done);  // --help, --version
    } catch (const CLI::ParseError& error) {
        std::fprintf(stderr, "ostrelle-sim: %s\nRun 'ostrelle-sim --help' for the commands.\n",
                     printableText(usageMessage(line.app, error, argc, argv)).c_str());
        return exitBadInput;
    } catch (const std::invalid_argument& error) {  // UsageError, or a bad output path
        std::fprintf(stderr, "ostrelle-sim: %s\n", printableText(error.what()).c_str());
        return exitBadInput;
    }
    return std::nullopt;
}

int checkIniCommand(const std::string& file, bool json) {
    const IniReport report = checkIni(file);
    if (json) {
        std::cout << iniReportJson(report) << '\n';
    } else {
        printIniReport(report, std::cout, std::cerr);
    }
    return report.status;
}

int checkGameCommand(const std::string& path, bool json) {
    const GameReport report = checkGame(path);
    if (json) {
        std::cout << gameReportJson(report) << '\n';
    } else {
        printGameReport(report, std::cout);
    }
    return report.status;
}

// run, replay or export-replay, each failure told by its exit status; -1 after a signal.
int driveCommand(const CommandLine& line) {
    catchInterrupts();
    try {
        if (*line.run) return runDrive(scenarioDrive(line.input), line.outputs);
        if (*line.replay) return runDrive(replayDrive(line.input), line.outputs);
        return exportReplay(line.input, line.output);
    } catch (const Interrupted&) {
        std::fprintf(stderr, "ostrelle-sim: interrupted; no output is left half-written\n");
        return -1;
    } catch (const InputError& error) {
        std::fprintf(stderr, "ostrelle-sim: %s\n", error.what());
        return exitBadInput;
    } catch (const std::invalid_argument& error) {  // an output over an input, a hard link
        std::fprintf(stderr, "ostrelle-sim: %s\n", printableText(error.what()).c_str());
        return exitBadInput;
    } catch (const std::exception& error) {
        if (interruptedBy != 0) return -1;
        std::fprintf(stderr, "ostrelle-sim: %s\n", printableText(error.what()).c_str());
        return exitFailed;
    }
}

int run(int argc, char** argv) {
    CommandLine line;
    line.app.require_subcommand(1);
    line.app.set_version_flag("--version", "ostrelle-sim " OSTRELLE_VERSION);
    line.app.footer(std::string(examples) + "\n\n" + outputRules + "\n\n" + exitStatuses);
    addDriveCommands(line);
    addCheckCommands(line);
    if (const std::optional<int> ended = parse(line, argc, argv)) return *ended;
    if (*line.checkIni) return checkIniCommand(line.input, line.json);
    if (*line.checkGame) return checkGameCommand(line.input, line.json);
    return driveCommand(line);
}

}  // namespace

int main(int argc, char** argv) {
    int status = run(argc, argv);
    if (status >= 0) {
        try {
            requireStandardOutput();
        } catch (const std::runtime_error& error) {
            std::fprintf(stderr, "ostrelle-sim: %s\n", error.what());
            status = exitFailed;
        }
    }
    if (status < 0) {
        // Everything made is removed by now: end as the signal would have ended the program.
        std::signal(interruptedBy, SIG_DFL);
        std::raise(interruptedBy);
    }
    return status;
}
