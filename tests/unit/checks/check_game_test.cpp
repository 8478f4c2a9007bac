// check-game over files the tests write: the game's program and bass.dll as players meet them,
// broken in each way the check must name, and whole game folders with the plug-in in them.
#include "checks/check_game.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string_view>

#include "tests/support/case_name.h"
#include "tests/support/game_folders.h"
#include "tests/support/pe_image.h"
#include "tests/support/temp_folder.h"

namespace {

struct BytesCase {
    const char* name;
    std::string (*bytes)();
    const char* problem;  // a part of the problem named; "" for a file that passes
};

std::string withSpec(void (*edit)(PeImageLayout&)) {
    PeImageLayout layout;
    edit(layout);
    return makePeImage(layout);
}

void PrintTo(const BytesCase& c, std::ostream* out) {
    *out << c.name;
}

class GameBuild : public testing::TestWithParam<BytesCase> {};

TEST_P(GameBuild, NamesWhatDoesNotMatch) {
    const std::string problem = gameBuildProblem(GetParam().bytes());
    if (*GetParam().problem == '\0') {
        EXPECT_EQ(problem, "");
    } else {
        EXPECT_NE(problem.find(GetParam().problem), std::string::npos) << problem;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, GameBuild,
    testing::Values(
        BytesCase{"TheBuild", gameProgram, ""},
        BytesCase{"AnotherByteAtTheSite",
                  [] { return withSpec([](PeImageLayout& s) { s.callSiteByte = 0x90; }); },
                  "the byte at 0x4A5DAA is 0x90, not 0xE8"},
        BytesCase{"AnotherImageBase",
                  [] { return withSpec([](PeImageLayout& s) { s.imageBase = 0x10000000; }); },
                  "its image base is 0x10000000, not 0x400000"},
        BytesCase{"Relocatable",
                  [] { return withSpec([](PeImageLayout& s) { s.relocatable = true; }); },
                  "carries relocations"},
        BytesCase{"SixtyFourBit",
                  [] {
                      return withSpec([](PeImageLayout& s) {
                          s.machine = 0x8664;
                          s.pe32Plus = true;
                      });
                  },
                  "a 64-bit file"},
        BytesCase{"OtherMachine",
                  [] { return withSpec([](PeImageLayout& s) { s.machine = 0x1c4; }); },
                  "built for machine 0x1C4"},
        BytesCase{"NoCodeAtTheSite",
                  [] { return withSpec([](PeImageLayout& s) { s.withCallSite = false; }); },
                  "0x4A5DAA lies in none of its sections' data"},
        BytesCase{"CallOutsideTheCode",
                  [] { return withSpec([](PeImageLayout& s) { s.callTarget = 0x900000; }); },
                  "goes to 0x900000, outside its code"},
        BytesCase{"ADll", [] { return withSpec([](PeImageLayout& s) { s.dll = true; }); },
                  "a DLL, not a program"},
        BytesCase{"CutInItsHeaders", [] { return gameProgram().substr(0, 0x100); },
                  "cut short: the file ends at byte 256, inside its headers"},
        BytesCase{"CutBeforeTheSite", [] { return gameProgram().substr(0, 0x700); },
                  "0x4A5DAA lies in none of its sections' data"},
        BytesCase{"CutBeforeItsPeHeader", [] { return gameProgram().substr(0, 0x40); },
                  "cut short"},
        BytesCase{"Empty", [] { return std::string(); }, "does not start with MZ"},
        BytesCase{"Text", [] { return std::string("[Settings]\r\nVolume Damage=1\r\n"); },
                  "does not start with MZ"},
        BytesCase{"DosProgram",
                  [] {
                      std::string bytes = gameProgram();
                      bytes[0x40] = 'X';
                      return bytes;
                  },
                  "no PE signature at 0x40"},
        BytesCase{"SignaturePointerPastTheEnd",
                  [] {
                      std::string bytes = gameProgram();
                      bytes.replace(0x3c, 4, "\xff\xff\xff\x7f");
                      return bytes;
                  },
                  "cut short"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReadCase {
    const char* path;  // relative to the game's folder
    bool read;
};

const ReadCase readCases[] = {
    {"game.exe", true},          {"Setup.EXE", true},
    {"bin/game.exe", false},     {"BASS.DLL", true},
    {"sub/bass.dll", false},     {"scripts/modloader/Ostrelle/ostrelle.dll", true},
    {"Ostrelle.dll", true},      {"scripts/OSTRELLE.INI", true},
    {"scripts/game.ini", false}, {"scripts/Radio SFX/Broke2.mp3", true},
    {"noise.mp3", true},         {"scripts/Radio SFX/readme.txt", false},
    {"models/gta3.img", false},  {"scripts/Ostrelle.dll.bak", false},
};

TEST(CheckGameReads, OnlyWhatTheChecksOpen) {
    for (const ReadCase& c : readCases) EXPECT_EQ(checkGameReads(c.path), c.read) << c.path;
}

// What the tuner page relies on: the checks say the same of every game folder when only the files
// checkGameReads names hold their bytes.
TEST(CheckGameReads, TheReportIsTheSameWithEveryOtherFileEmpty) {
    TempFolder temp;
    const auto linesOf = [&](const std::string& where, bool onlyRead) {
        const GameFiles files = gameFolder(where).value();
        for (const auto& [path, bytes] : files) {
            temp.write("game/" + path, onlyRead && !checkGameReads(path) ? "" : bytes);
        }
        std::string text;
        for (const CheckLine& line : checkGameFolder(temp.path() / "game", {})) {
            text += line.topic + (line.passed ? " ok: " : " FAIL: ") + line.text() + '\n';
            for (const std::string& detail : line.details) text += "  " + detail + '\n';
        }
        std::filesystem::remove_all(temp.path() / "game");
        return text;
    };
    for (const std::string& name : gameFolderNames()) {
        EXPECT_EQ(linesOf(name, true), linesOf(name, false)) << name;
    }
}

class AudioLibrary : public testing::TestWithParam<BytesCase> {};

TEST_P(AudioLibrary, NamesWhatTheLoaderWouldMiss) {
    const std::string problem = audioLibraryProblem(GetParam().bytes());
    if (*GetParam().problem == '\0') {
        EXPECT_EQ(problem, "");
    } else {
        EXPECT_NE(problem.find(GetParam().problem), std::string::npos) << problem;
    }
}

std::string withoutChannelStop() {
    return dllExporting({"BASS_Init", "BASS_Free", "BASS_StreamCreateFile", "BASS_StreamFree",
                         "BASS_ChannelPlay", "BASS_ChannelSetAttribute"});
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, AudioLibrary,
    testing::Values(BytesCase{"TheSevenEntryPoints", audioLibrary, ""},
                    BytesCase{"MissingAnExport", withoutChannelStop,
                              "it does not export BASS_ChannelStop"},
                    BytesCase{"DecoratedNames", decoratedAudioLibrary,
                              "it exports BASS_Init@20, BASS_Free@0, BASS_StreamCreateFile@28, "
                              "BASS_StreamFree@4, BASS_ChannelPlay@8, _BASS_ChannelStop@4, "
                              "BASS_ChannelSetAttribute@12 only with the compiler's decoration"},
                    BytesCase{"NoExports", [] { return dllExporting({}); },
                              "it does not export BASS_Init, BASS_Free"},
                    BytesCase{"SixtyFourBit",
                              [] {
                                  PeImageLayout layout;
                                  layout.dll = true;
                                  layout.machine = 0x8664;
                                  layout.pe32Plus = true;
                                  layout.exports = {"BASS_Init"};
                                  return makePeImage(layout);
                              },
                              "a 64-bit file"},
                    BytesCase{"AProgram", gameProgram, "a program, not a DLL"},
                    BytesCase{"NameTableOutsideTheFile",
                              [] {
                                  std::string bytes = audioLibrary();
                                  // AddressOfNames, in the export directory at the start of .edata
                                  // (0x600)
                                  bytes.replace(0x600 + 32, 4, "\x00\x00\x00\x70", 4);
                                  return bytes;
                              },
                              "its export table is damaged"},
                    BytesCase{"Truncated", [] { return audioLibrary().substr(0, 0x650); },
                              "its export table is damaged"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FolderCase {
    const char* name;
    const char* folder;  // of gameFolderNames()
    const char* topic;   // the check the case is about; every other check passes
    bool passed;
    const char* says;  // a part of that check's line or of its details
};

void PrintTo(const FolderCase& c, std::ostream* out) {
    *out << c.name;
}

class GameFolder : public testing::TestWithParam<FolderCase> {};

TEST_P(GameFolder, SaysWhatThePlugInFindsThere) {
    TempFolder temp;  // the current directory: the game's folder lies below it, not in it
    const std::optional<GameFiles> files = gameFolder(GetParam().folder);
    ASSERT_TRUE(files) << GetParam().folder;
    for (const auto& [path, bytes] : *files) temp.write("game/" + path, bytes);

    const std::vector<CheckLine> lines = checkGameFolder(temp.path() / "game", {});
    std::string all;
    const auto said = [](const CheckLine& line) {
        std::string text = line.text();
        for (const std::string& detail : line.details) text += "\n  " + detail;
        return text;
    };
    for (const CheckLine& line : lines) {
        all += (line.passed ? "ok " : "FAIL ") + line.topic + ": " + said(line) + '\n';
    }
    const auto found = std::find_if(lines.begin(), lines.end(), [&](const CheckLine& line) {
        return line.topic == GetParam().topic &&
               said(line).find(GetParam().says) != std::string::npos;
    });
    ASSERT_NE(found, lines.end()) << all;
    EXPECT_EQ(found->passed, GetParam().passed) << all;
    for (const CheckLine& line : lines) {
        EXPECT_TRUE(line.passed || line.topic == GetParam().topic)
            << "only the case's own check fails\n"
            << all;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, GameFolder,
    testing::Values(
        FolderCase{"AllInPlace", "AllInPlace", "plug-in", true,
                   "scripts/Ostrelle.dll, version 0.1.0.0"},
        FolderCase{"SoundsFromThePluginsSubfolder", "AllInPlace", "sound", true,
                   "noise.mp3: scripts/Radio SFX/noise.mp3"},
        FolderCase{"SettingsRead", "AllInPlace", "settings", true,
                   "Volume Damage = 0.5, Impact intensity = 250"},
        FolderCase{"SoundsInTheGamesOwnRadioSfx", "SoundsInTheGamesOwnRadioSfx", "sound", true,
                   "broke2.mp3: Radio SFX/broke2.mp3"},
        FolderCase{"SeveralPrograms", "SeveralPrograms", "game build", true,
                   "a-launcher.exe: its image base is 0x1000000"},
        FolderCase{"AnotherBuild", "AnotherBuild", "game build", false,
                   "game.exe is not the build the plug-in hooks: the byte at 0x4A5DAA is 0x90"},
        FolderCase{"NoProgram", "NoProgram", "game build", false, "no .exe in"},
        FolderCase{"NoneOfSeveralPrograms", "NoneOfSeveralPrograms", "game build", false,
                   "setup.exe: an empty file"},
        FolderCase{"NoAudioLibrary", "NoAudioLibrary", "audio library", false,
                   "no bass.dll beside game.exe"},
        FolderCase{"AudioLibraryWithDecoratedNames", "AudioLibraryWithDecoratedNames",
                   "audio library", false, "only with the compiler's decoration"},
        FolderCase{"NoPlugin", "NoPlugin", "plug-in", false,
                   "no Ostrelle.dll in this folder or its sub-folders"},
        FolderCase{"TwoPlugins", "TwoPlugins", "plug-in", false, "2 copies of Ostrelle.dll"},
        FolderCase{"DamagedPlugin", "DamagedPlugin", "plug-in", false,
                   "scripts/Ostrelle.dll is damaged: cut short"},
        FolderCase{"PluginWithoutVersion", "PluginWithoutVersion", "plug-in", true,
                   "version unknown"},
        FolderCase{"NoRadioSfxFolder", "NoRadioSfxFolder", "sound", false,
                   "broke.mp3: not found. Put it in scripts/Radio SFX/."},
        FolderCase{"SoundInTheWrongPlace", "SoundInTheWrongPlace", "sound", false,
                   "broke2.mp3: not found"},
        FolderCase{"SoundAFolder", "SoundAFolder", "sound", false, "noise.mp3: not found"},
        FolderCase{"SettingsWithWarnings", "SettingsWithWarnings", "settings", false,
                   "scripts/Ostrelle.ini:2: warning: unknown key 'Volume Damge' is ignored"},
        FolderCase{"NoSettings", "NoSettings", "settings", true,
                   "no Ostrelle.ini beside Ostrelle.dll, so the defaults apply"},
        FolderCase{"SoundsInOtherCase", "NamesInOtherCase", "sound", true,
                   "noise.mp3: scripts/RADIO SFX/NOISE.MP3"},
        FolderCase{"AudioLibraryInOtherCase", "NamesInOtherCase", "audio library", true,
                   "BASS.DLL exports what the plug-in imports"},
        FolderCase{"SettingsInOtherCase", "NamesInOtherCase", "settings", true,
                   "scripts/OSTRELLE.INI reads as it looks"},
        FolderCase{"SoundCaseTwins", "SoundCaseTwins", "sound", true,
                   "scripts/radio sfx differs from scripts/Radio SFX only in case"},
        FolderCase{"EmptySound", "EmptySound", "sound", false,
                   "noise.mp3: scripts/Radio SFX/noise.mp3 would not play: the file is empty"},
        FolderCase{"PluginInTheZipsFolder", "PluginInTheZipsFolder", "plug-in", false,
                   "Ostrelle/Ostrelle.dll is where no plug-in loader looks"},
        FolderCase{"BackupCopy", "BackupCopy", "plug-in", true,
                   "backup/Ostrelle.dll: where no plug-in loader looks, so not loaded"},
        FolderCase{"PluginInAModLoader", "PluginInAModLoader", "plug-in", true,
                   "modloader/Ostrelle/Ostrelle.dll, version"},
        FolderCase{"AudioLibraryAFolder", "AudioLibraryAFolder", "audio library", false,
                   "bass.dll: a folder, not a file"},
        FolderCase{"EmptyProgram", "EmptyProgram", "game build", false,
                   "game.exe is not the build the plug-in hooks: an empty file"},
        FolderCase{"TextProgram", "TextProgram", "game build", false, "a text file (UTF-16)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GameReportData, MarksAWarningAsSuch) {
    // A passed check the player should know of must not read "ok" to the page or a script.
    TempFolder temp;
    const GameFiles files = *gameFolder("NoSettings");
    for (const auto& [path, bytes] : files) temp.write("game/" + path, bytes);
    const GameReport report = checkGame((temp.path() / "game").string());
    ASSERT_EQ(report.status, 0);
    const Json data = gameReportData(report);
    const auto settings =
        std::find_if(data["checks"].begin(), data["checks"].end(),
                     [](const Json& check) { return check["topic"] == "settings"; });
    ASSERT_NE(settings, data["checks"].end());
    EXPECT_EQ((*settings)["status"], "warn");
}

struct DepthCase {
    const char* name;
    std::size_t longest;  // the plug-in's longest path: its folder, then "\\Radio SFX\\broke2.mp3"
    bool fails;
};

void PrintTo(const DepthCase& c, std::ostream* out) {
    *out << c.name;
}

class PluginFolderDepth : public testing::TestWithParam<DepthCase> {};

TEST_P(PluginFolderDepth, FailsWhereWindowsRefusesThePluginsPaths) {
    // The game's folder made deep enough, the plug-in where loaders look: its scripts folder.
    TempFolder temp;
    const std::size_t tail = std::string_view("\\Radio SFX\\broke2.mp3").size();
    const std::size_t before =
        temp.path().string().size() + std::string_view("//game/scripts").size();
    ASSERT_LT(before + tail, GetParam().longest) << "the test's folder is too deep already";
    const std::string padding(GetParam().longest - tail - before, 'd');
    const std::filesystem::path game = temp.path() / padding / "game";
    const GameFiles files = *gameFolder("AllInPlace");
    for (const auto& [path, bytes] : files) temp.write(padding + "/game/" + path, bytes);
    const std::vector<CheckLine> lines = checkGameFolder(game, {});
    const auto found = std::find_if(lines.begin(), lines.end(), [](const CheckLine& line) {
        return line.topic == "path length";
    });
    ASSERT_EQ(found != lines.end(), GetParam().fails);
    if (GetParam().fails) {
        EXPECT_FALSE(found->passed);
        EXPECT_NE(
            found->finding.find("reach " + std::to_string(GetParam().longest) + " characters"),
            std::string::npos)
            << found->finding;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, PluginFolderDepth,
                         testing::Values(DepthCase{"JustShortEnough", 259, false},
                                         DepthCase{"AtTheLimit", 260, true},
                                         DepthCase{"Beyond", 300, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The search for the plug-in stops at its bound with a note, keeping what it found before. The
// good folder holds nine entries: game.exe, bass.dll, scripts/; in scripts/ the plug-in, its
// settings and "Radio SFX"; in that, the three sounds.
struct LimitCase {
    std::size_t maxEntries;
    bool stops;
    bool pluginFound;
};
const LimitCase limitCases[] = {{3, true, false}, {8, true, true}, {9, false, true}};

TEST(PluginSearch, StopsAtItsBoundWithANote) {
    TempFolder temp;
    const GameFiles files = *gameFolder("AllInPlace");
    for (const auto& [path, bytes] : files) temp.write("game/" + path, bytes);
    for (const LimitCase& c : limitCases) {
        const std::vector<CheckLine> lines =
            checkGameFolder(temp.path() / "game", {}, c.maxEntries);
        const CheckLine& plugin = lines.at(2);  // after the game build and the audio library
        ASSERT_EQ(plugin.topic, "plug-in");
        const std::string note = "the search stopped after " + std::to_string(c.maxEntries) +
                                 " entries: a copy further down was not looked for";
        EXPECT_EQ(std::count(plugin.details.begin(), plugin.details.end(), note), c.stops)
            << c.maxEntries;
        EXPECT_EQ(plugin.passed, c.pluginFound) << c.maxEntries << ": " << plugin.text();
        // A search cut short tells no more than that the plug-in was not where it looked.
        if (!c.pluginFound) EXPECT_NE(plugin.finding.find("that were searched"), std::string::npos);
    }
}

// What a folder on disk can hold that the game folders above cannot: links, odd names and
// sounds that only a decoder tells apart. make changes the good folder at game and answers the
// folder to check.
namespace fs = std::filesystem;
struct DiskCase {
    const char* name;
    fs::path (*make)(const fs::path& game);
    const char* says;     // a part of the report
    const char* notSaid;  // a part the report must not hold, or nullptr
};

// Two folders of 99 Cyrillic characters, 198 bytes of UTF-8 each (a name holds 255 bytes).
const std::string cyrillicName = [] {
    std::string name;
    for (int i = 0; i < 99; ++i) name += "\xD0\x98";  // И
    return name + "/" + name;
}();

// The game's folder moved to the C: drive of a Wine prefix, in a folder of that name.
fs::path inWinePrefix(const fs::path& game, const std::string& name) {
    const fs::path moved = game.parent_path() / "prefix/drive_c" / name;
    fs::create_directories(moved.parent_path());
    fs::rename(game, moved);
    return moved;
}

const DiskCase diskCases[] = {
    {"a name with terminal escapes",
     [](const fs::path& game) {
         fs::copy_file(game / "game.exe", game / "\x1B]0;owned\x07\x1B[2J.exe");
         return game;
     },
     "\\x1B]0;owned\\x07\\x1B[2J.exe is the build", nullptr},
    {"export names with terminal escapes",
     [](const fs::path& game) {
         std::ofstream(game / "bass.dll", std::ios::binary)
             << dllExporting({"BASS_Init@20\x1B[2J\x1B]0;owned\x07", "  ok    forged"});
         return game;
     },
     "BASS_Init@20\\x1B[2J\\x1B]0;owned\\x07 only with", nullptr},
    {"a folder reached through a link, with a loop",
     [](const fs::path& game) {
         fs::rename(game / "scripts", game / "../mods");
         fs::create_directory_symlink(game / "../mods", game / "scripts");
         fs::create_directory_symlink(game, game / "../mods/loop");
         return game;
     },
     "ok    plug-in        scripts/Ostrelle.dll", nullptr},
    {"a link to scripts that sorts before it",
     [](const fs::path& game) {
         fs::create_directory_symlink(game / "scripts", game / "ASI");
         return game;
     },
     "ok    plug-in        scripts/Ostrelle.dll", "where no plug-in loader looks"},
    {"a link to the root, as a Wine prefix's z: drive",
     [](const fs::path& game) {
         fs::create_directory_symlink("/", game / "z");
         return game;
     },
     "z: a link to /, not searched: it holds the game's folder", "not loaded"},
    {"a link to the system's own folders",
     [](const fs::path& game) {
         fs::create_directory_symlink("/proc", game / "proc");
         return game;
     },
     "proc: a link to /proc, not searched: the system's own folder", "not loaded"},
    {"a '\\' in the game folder's Linux name",
     [](const fs::path& game) {
         const fs::path moved = game.parent_path() / "ga\\me";
         fs::rename(game, moved);
         return moved;
     },
     "All is well", "not found"},
    {"a name that differs in case outside the game's folder",
     [](const fs::path& game) {
         fs::create_directory(game.parent_path() / "GAME");
         return game;
     },
     "All is well", "only in case"},
    {"a long Cyrillic folder in a Wine prefix, counted in characters on C:",
     [](const fs::path& game) { return inWinePrefix(game, cyrillicName); },
     "'\xD0\x98' (U+0418, Cyrillic: code page 1251)", "path length"},
    {"a path too long for Windows in a Wine prefix, named as the game sees it",
     [](const fs::path& game) { return inWinePrefix(game, std::string(240, 'g')); },
     "characters in C:\\ggg", nullptr},
    {"a folder name the plug-in's ANSI calls cannot pass",
     [](const fs::path& game) { return inWinePrefix(game, "\xD0\x98\xD0\xB3\xD1\x80\xD0\xB0"); },
     "warn  folder name", nullptr},
    {"a link to nowhere as bass.dll",
     [](const fs::path& game) {
         fs::remove(game / "bass.dll");
         fs::create_symlink("nowhere", game / "bass.dll");
         return game;
     },
     "bass.dll cannot be read (No such file or directory)", "came with the game"},
    {"a damaged sound",
     [](const fs::path& game) {
         std::ofstream(game / "scripts/Radio SFX/broke.mp3") << "ID3 damaged";
         return game;
     },
     "broke.mp3: scripts/Radio SFX/broke.mp3 would not play: not a sound", nullptr},
};
class CheckGameOnDisk : public testing::TestWithParam<DiskCase> {};

TEST_P(CheckGameOnDisk, SaysWhatIsThere) {
    TempFolder temp;
    const GameFiles files = *gameFolder("AllInPlace");
    for (const auto& [path, bytes] : files) temp.write("game/" + path, bytes);
    const fs::path game = GetParam().make(temp.path() / "game");
    std::ostringstream out;
    printGameReport(checkGame(game.string()), out);
    EXPECT_NE(out.str().find(GetParam().says), std::string::npos) << out.str();
    if (GetParam().notSaid != nullptr) {
        EXPECT_EQ(out.str().find(GetParam().notSaid), std::string::npos) << out.str();
    }
    EXPECT_EQ(out.str().find('\x1B'), std::string::npos) << out.str();
}
INSTANTIATE_TEST_SUITE_P(, CheckGameOnDisk, testing::ValuesIn(diskCases), CaseName());

// Takes the file-permission override from the process for as long as it lives, so that a test
// run as root (as CI runs) meets folders it may not read as a player would.
class WithoutPermissionOverride {
  public:
    WithoutPermissionOverride() {
        syscall(SYS_capget, &header, saved);
        __user_cap_data_struct reduced[2] = {saved[0], saved[1]};
        for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
            reduced[0].effective &= ~(1u << capability);
        }
        syscall(SYS_capset, &header, reduced);
    }
    ~WithoutPermissionOverride() { syscall(SYS_capset, &header, saved); }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

  private:
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2] = {};
};

// Folders and files check-game may not read are named with the reason, never taken for missing
// or wrong files: a player told to replace them would replace good ones.
struct ClosedCase {
    const char* name;
    const char* closed;  // below the game's folder ("" for the folder itself), made unreadable
    const char* says;
    const char* notSaid;  // advice to replace what may be right, or nullptr
};
const std::string letRead = " (Permission denied). Run the check as the user who plays the game";
const ClosedCase closedCases[] = {
    {"the game's folder", "", "game: cannot read the folder (Permission denied)",
     "came with the game"},
    {"the sounds' folder", "scripts/Radio SFX",
     "scripts/Radio SFX cannot be read (Permission denied)", "Put it in"},
    {"a folder the plug-in search passes", "backup",
     "backup: cannot read the folder (Permission denied), so a copy there was not looked for",
     nullptr},
    {"the game's program", "game.exe", "game.exe cannot be read", "put back"},
    {"the audio library", "bass.dll", "bass.dll cannot be read", "came with the game"},
    {"the plug-in", "scripts/Ostrelle.dll", "scripts/Ostrelle.dll cannot be read", "Copy it again"},
    {"the settings", "scripts/Ostrelle.ini", "scripts/Ostrelle.ini cannot be read", nullptr},
    {"a sound", "scripts/Radio SFX/noise.mp3",
     "noise.mp3: scripts/Radio SFX/noise.mp3 cannot be read", "Put a sound there"},
};
class CheckGameClosed : public testing::TestWithParam<ClosedCase> {};

TEST_P(CheckGameClosed, SaysPermissionDeniedWithThePath) {
    TempFolder temp;
    const GameFiles files = *gameFolder("AllInPlace");
    for (const auto& [path, bytes] : files) temp.write("game/" + path, bytes);
    temp.makeFolder("game/backup");
    const fs::path closed = temp.path() / "game" / GetParam().closed;
    fs::permissions(closed, fs::perms::none);
    std::ostringstream out;
    {
        const WithoutPermissionOverride player;
        printGameReport(checkGame((temp.path() / "game").string()), out);
    }
    fs::permissions(closed, fs::perms::owner_all);
    const bool aFile = fs::is_regular_file(closed);
    EXPECT_NE(out.str().find(GetParam().says + (aFile ? letRead : "")), std::string::npos)
        << out.str();
    if (GetParam().notSaid != nullptr) {
        EXPECT_EQ(out.str().find(GetParam().notSaid), std::string::npos) << out.str();
    }
}
INSTANTIATE_TEST_SUITE_P(, CheckGameClosed, testing::ValuesIn(closedCases), CaseName());

// Where a plug-in loader loads Ostrelle.dll from: each rule, and a place one folder too deep or
// too shallow for it, which is not loaded.
struct LoaderCase {
    const char* path;  // of the only Ostrelle.dll in the game's folder
    bool loaded;
};
const LoaderCase loaderCases[] = {
    {"Ostrelle.dll", true},
    {"old/Ostrelle.dll", false},
    {"scripts/Ostrelle.dll", true},
    {"scripts/old/Ostrelle.dll", false},
    {"modloader/Ostrelle/Ostrelle.dll", true},
    {"modloader/Ostrelle.dll", false},
    {"modloader/Ostrelle/old/Ostrelle.dll", false},
    {"scripts/modloader/Ostrelle/Ostrelle.dll", true},
    {"scripts/modloader/Ostrelle.dll", false},
    {"scripts/modloader/Ostrelle/old/Ostrelle.dll", false},
    {"SCRIPTS/ModLoader/Ostrelle/Ostrelle.dll", true},
};
class LoaderPlace : public testing::TestWithParam<LoaderCase> {};

TEST_P(LoaderPlace, OnlyTheLoadersOwnPlacesCount) {
    TempFolder temp;
    GameFiles files = *gameFolder("AllInPlace");
    files[GetParam().path] = files.at("scripts/Ostrelle.dll");
    if (std::string_view(GetParam().path) != "scripts/Ostrelle.dll")
        files.erase("scripts/Ostrelle.dll");
    for (const auto& [path, bytes] : files) temp.write("game/" + path, bytes);
    const std::vector<CheckLine> lines = checkGameFolder(temp.path() / "game", {});
    const auto plugin = std::find_if(lines.begin(), lines.end(),
                                     [](const CheckLine& line) { return line.topic == "plug-in"; });
    ASSERT_NE(plugin, lines.end());
    EXPECT_EQ(plugin->passed, GetParam().loaded) << plugin->text();
    EXPECT_EQ(plugin->text().find("where no plug-in loader looks") == std::string::npos,
              GetParam().loaded)
        << plugin->text();
}
INSTANTIATE_TEST_SUITE_P(, LoaderPlace, testing::ValuesIn(loaderCases),
                         [](const auto& info) { return caseName(info.param.path); });

struct StatusCase {
    const char* name;
    const char* path;  // below the test's folder, which holds a good game folder in game/
    int status;
    const char* says;
};

void PrintTo(const StatusCase& c, std::ostream* out) {
    *out << c.name;
}

class CheckGameStatus : public testing::TestWithParam<StatusCase> {};

TEST_P(CheckGameStatus, TellsTheOutcome) {
    TempFolder temp;
    const GameFiles files = *gameFolder("AllInPlace");
    for (const auto& [path, bytes] : files) temp.write("game/" + path, bytes);
    temp.write("game/scripts/README.txt", "");
    temp.write("game/scripts/notes.EXE", "");
    temp.write("game/game.exe.bak", files.at("game.exe"));
    std::ostringstream out;
    const GameReport report = checkGame((temp.path() / GetParam().path).string());
    printGameReport(report, out);
    EXPECT_EQ(report.status, GetParam().status);
    EXPECT_NE(out.str().find(GetParam().says), std::string::npos) << out.str();
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CheckGameStatus,
    testing::Values(StatusCase{"TheFolder", "game", 0, "All is well"},
                    StatusCase{"TheFolderWithASlash", "game/", 0,
                               "  ok    game build     game.exe is"},
                    StatusCase{"TheProgram", "game/game.exe", 0, "All is well"},
                    StatusCase{"AFileThatIsNoProgram", "game/scripts/README.txt", 1,
                               "README.txt is not the game: its name does not end in .exe. Give "
                               "the game's folder, or its .exe."},
                    StatusCase{"TheProgramUnderAnotherName", "game/game.exe.bak", 1,
                               "game.exe.bak is not the game: its name does not end in .exe"},
                    StatusCase{"AnExeThatIsNotTheBuild", "game/scripts/notes.EXE", 1,
                               "notes.EXE is not the build the plug-in hooks: an empty file"},
                    StatusCase{"ThePlugin", "game/scripts/Ostrelle.dll", 1,
                               "Ostrelle.dll is the plug-in, not the game. Give the game's folder, "
                               "or its .exe."},
                    StatusCase{"TheAudioLibrary", "game/bass.dll", 1,
                               "bass.dll is the audio library, not the game"},
                    StatusCase{"ASound", "game/scripts/Radio SFX/broke.mp3", 1,
                               "broke.mp3 is a sound, not the game"},
                    StatusCase{"NotThere", "elsewhere", 2, "elsewhere: no such folder or file"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
