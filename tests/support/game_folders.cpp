#include "tests/support/game_folders.h"

#include <cctype>

#include "sound/sound_player.h"
#include "tests/support/pe_image.h"

namespace {

// Two frames of silence, MPEG-1 Layer III at 128 kb/s and 44.1 kHz: a header (sync, no CRC,
// bitrate index 9, rate index 0) and 413 bytes of zeros each, which decode to silence.
std::string silentMp3() {
    std::string frame("\xFF\xFB\x90\x00", 4);
    frame.resize(417, '\0');
    return frame + frame;
}

// The game's program and bass.dll in the game's folder, the plug-in with its settings and sounds
// in scripts/.
GameFiles playersFolder() {
    GameFiles files = {{"game.exe", gameProgram()},
                       {"bass.dll", audioLibrary()},
                       {"scripts/Ostrelle.dll", pluginLibrary()},
                       {"scripts/Ostrelle.ini", "[Settings]\r\nVolume Damage=0.5\r\n"}};
    for (const PluginSound& sound : pluginSounds) {
        files["scripts/" + std::string(soundFolderName) + '/' + sound.fileName] = silentMp3();
    }
    return files;
}

// Moves everything of scripts/ (the plug-in, its settings and sounds) into folder.
void movePlugin(GameFiles& files, const std::string& folder) {
    const std::string scripts = "scripts/";
    for (auto file = files.begin(); file != files.end();) {
        if (file->first.starts_with(scripts)) {
            files[folder + file->first.substr(scripts.size())] = file->second;
            file = files.erase(file);
        } else {
            ++file;
        }
    }
}

struct Variant {
    const char* name;
    void (*edit)(GameFiles&);
};

const Variant variants[] = {
    {"AllInPlace", [](GameFiles&) {}},
    {"SoundsInTheGamesOwnRadioSfx",
     [](GameFiles& f) {
         for (const PluginSound& sound : pluginSounds) {
             const std::string name = sound.fileName;
             f.erase("scripts/Radio SFX/" + std::string(name));
             f["Radio SFX/" + std::string(name)] = silentMp3();
         }
     }},
    {"SeveralPrograms",
     [](GameFiles& f) {
         PeImageLayout launcher;
         launcher.imageBase = 0x1000000;
         f["a-launcher.exe"] = makePeImage(launcher);
     }},
    {"AnotherBuild",
     [](GameFiles& f) {
         PeImageLayout layout;
         layout.callSiteByte = 0x90;
         f["game.exe"] = makePeImage(layout);
     }},
    {"NoProgram", [](GameFiles& f) { f.erase("game.exe"); }},
    {"NoneOfSeveralPrograms",
     [](GameFiles& f) {
         f["game.exe"] = "MZ";
         f["setup.exe"] = "";
     }},
    {"NoAudioLibrary", [](GameFiles& f) { f.erase("bass.dll"); }},
    {"AudioLibraryWithDecoratedNames",
     [](GameFiles& f) { f["bass.dll"] = decoratedAudioLibrary(); }},
    {"NoPlugin", [](GameFiles& f) { f.erase("scripts/Ostrelle.dll"); }},
    {"TwoPlugins", [](GameFiles& f) { f["Ostrelle.dll"] = pluginLibrary(); }},
    {"DamagedPlugin", [](GameFiles& f) { f["scripts/Ostrelle.dll"] = "MZ\x90"; }},
    {"PluginWithoutVersion", [](GameFiles& f) { f["scripts/Ostrelle.dll"] = dllExporting({}); }},
    {"NoRadioSfxFolder",
     [](GameFiles& f) {
         for (const PluginSound& sound : pluginSounds) {
             f.erase(std::string("scripts/Radio SFX/") + sound.fileName);
         }
     }},
    {"SoundInTheWrongPlace",
     [](GameFiles& f) {
         f.erase("scripts/Radio SFX/broke2.mp3");
         f["sounds/broke2.mp3"] = silentMp3();
     }},
    {"SoundAFolder",
     [](GameFiles& f) {
         f.erase("scripts/Radio SFX/noise.mp3");
         f["scripts/Radio SFX/noise.mp3/readme.txt"] = "";
     }},
    {"SettingsWithWarnings",
     [](GameFiles& f) { f["scripts/Ostrelle.ini"] = "[Settings]\r\nVolume Damge=0.8\r\n"; }},
    {"NoSettings", [](GameFiles& f) { f.erase("scripts/Ostrelle.ini"); }},
    {"NamesInOtherCase",
     [](GameFiles& f) {
         for (const PluginSound& sound : pluginSounds) {
             const std::string name = sound.fileName;
             std::string upper = name;
             for (char& c : upper) c = static_cast<char>(std::toupper(c));
             f["scripts/RADIO SFX/" + upper] =
                 f.extract("scripts/Radio SFX/" + std::string(name)).mapped();
         }
         f["BASS.DLL"] = f.extract("bass.dll").mapped();
         f["scripts/OSTRELLE.INI"] = f.extract("scripts/Ostrelle.ini").mapped();
     }},
    {"SoundCaseTwins", [](GameFiles& f) { f["scripts/radio sfx/noise.mp3"] = silentMp3(); }},
    {"EmptySound", [](GameFiles& f) { f["scripts/Radio SFX/noise.mp3"] = ""; }},
    {"PluginInTheZipsFolder", [](GameFiles& f) { movePlugin(f, "Ostrelle/"); }},
    {"BackupCopy", [](GameFiles& f) { f["backup/Ostrelle.dll"] = pluginLibrary(); }},
    {"PluginInAModLoader", [](GameFiles& f) { movePlugin(f, "modloader/Ostrelle/"); }},
    {"AudioLibraryAFolder",
     [](GameFiles& f) {
         f.erase("bass.dll");
         f["bass.dll/readme.txt"] = "";
     }},
    {"EmptyProgram", [](GameFiles& f) { f["game.exe"] = ""; }},
    {"TextProgram", [](GameFiles& f) { f["game.exe"] = std::string("\xFF\xFEM\0Z\0", 6); }},
};

}  // namespace

std::string decoratedAudioLibrary() {
    return dllExporting({"BASS_Init@20", "BASS_Free@0", "BASS_StreamCreateFile@28",
                         "BASS_StreamFree@4", "BASS_ChannelPlay@8", "_BASS_ChannelStop@4",
                         "BASS_ChannelSetAttribute@12"});
}

std::optional<GameFiles> gameFolder(std::string_view name) {
    for (const Variant& variant : variants) {
        if (name != variant.name) continue;
        GameFiles files = playersFolder();
        variant.edit(files);
        return files;
    }
    return std::nullopt;
}

std::vector<std::string> gameFolderNames() {
    std::vector<std::string> names;
    for (const Variant& variant : variants) names.emplace_back(variant.name);
    return names;
}
