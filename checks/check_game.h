// check-game: the plug-in keeps no log and shows nothing, so when nothing happens in the game a
// player asks this instead. It reads the game's folder offline and says, one line per check,
// whether the plug-in can work there and what to do where it cannot: the game build, the audio
// library, the plug-in, its sounds and its settings. Portable C++ over std::filesystem, so the
// tuner page can run it over the files a player picks (put into its in-memory file system).
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "checks/check_ini.h"

struct CheckLine {
    explicit CheckLine(std::string topic, bool passed = false)
        : topic(std::move(topic)), passed(passed) {}

    // "game build", "audio library", "plug-in", "path length", "sound", "settings"
    std::string topic;
    bool passed = false;
    bool warning = false;              // passed, but the player should know (printed "warn")
    std::string finding;               // what was found
    std::string advice;                // what the player should do, or "" when nothing
    std::vector<std::string> details;  // further lines: other programs, values, warnings
    std::vector<IniReport> settings;   // the settings check's own report, in data

    // The line as printed: the finding, then the advice; a failure or warning ends as a sentence.
    std::string text() const {
        if (!advice.empty()) return finding + ". " + advice;
        return passed && !warning ? finding : finding + '.';
    }
};

struct GameReport {
    std::string path;    // as given
    std::string folder;  // the game's folder that was checked
    int status = 0;      // 0 every check passed, 1 any failed, 2 the path is not there
    std::vector<CheckLine> checks;
};

// What keeps bytes from being the game build the plug-in hooks, or "" when they are that build:
// a 32-bit program at image base 0x400000 that the loader cannot move, with a near call at
// 0x4A5DAA into its own code.
std::string gameBuildProblem(std::string_view bytes);

// What keeps bytes from being an audio library the plug-in can load, or "" when they are one: a
// 32-bit DLL exporting every entry point the plug-in imports, by its plain name.
std::string audioLibraryProblem(std::string_view bytes);

// The checks of the game in folder. exe is the game's program, or empty to try every .exe in the
// folder. The sounds and settings are checked only when there is exactly one Ostrelle.dll. The
// search for it follows links, also out of the folder, but never into a folder that holds the
// game's folder, nor /proc, /sys or /dev, and it reads at most maxEntries entries.
constexpr std::size_t maxSearchedEntries = 200000;
std::vector<CheckLine> checkGameFolder(const std::filesystem::path& folder,
                                       const std::filesystem::path& exe,
                                       std::size_t maxEntries = maxSearchedEntries);

// Whether the checks of a game's folder read what the file at path (relative to the folder, '/'
// between parts) holds; of every other file they ask only whether it is there. The tuner page
// puts only these into its memory, so that a game's gigabytes of data are never read.
bool checkGameReads(std::string_view path);

// check-game PATH, PATH being the game's folder or its program: status 0 when all pass (warnings
// included), 1 when any fails (a file given whose name does not end in .exe among them: the
// plug-in, the audio library, a sound), 2 when PATH is neither a folder nor a file.
GameReport checkGame(const std::string& path);

// The report as check-game prints it: one line per check, and what to do.
void printGameReport(const GameReport& report, std::ostream& out);

// The report as one JSON object (check-game --json), as data and as text.
Json gameReportData(const GameReport& report);
std::string gameReportJson(const GameReport& report);
