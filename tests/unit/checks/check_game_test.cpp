// check-game over files the tests write: the game's program and bass.dll as players meet them,
// broken in each way the check must name, and whole game folders with the plug-in in them.
#include "checks/check_game.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>

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
                   "setup.exe: not a Windows program"},
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
        FolderCase{"NoSettings", "NoSettings", "settings", false,
                   "no Ostrelle.ini beside Ostrelle.dll"}),
    [](const auto& info) { return std::string(info.param.name); });

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
                               "README.txt is not the build the plug-in hooks"},
                    StatusCase{"NotThere", "elsewhere", 2, "elsewhere: no such folder or file"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
