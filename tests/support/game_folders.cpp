#include "tests/support/game_folders.h"

#include "sound/sound_player.h"
#include "tests/support/pe_image.h"

namespace {

// The game's program and bass.dll in the game's folder, the plug-in with its settings and sounds
// in scripts/.
GameFiles playersFolder() {
    return {{"game.exe", gameProgram()},
            {"bass.dll", audioLibrary()},
            {"scripts/Ostrelle.dll", pluginLibrary()},
            {"scripts/Ostrelle.ini", "[Settings]\r\nVolume Damage=0.5\r\n"},
            {"scripts/Radio SFX/broke.mp3", "mp3"},
            {"scripts/Radio SFX/broke2.mp3", "mp3"},
            {"scripts/Radio SFX/noise.mp3", "mp3"}};
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
             f["Radio SFX/" + std::string(name)] = "mp3";
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
         f["sounds/broke2.mp3"] = "mp3";
     }},
    {"SoundAFolder",
     [](GameFiles& f) {
         f.erase("scripts/Radio SFX/noise.mp3");
         f["scripts/Radio SFX/noise.mp3/readme.txt"] = "";
     }},
    {"SettingsWithWarnings",
     [](GameFiles& f) { f["scripts/Ostrelle.ini"] = "[Settings]\r\nVolume Damge=0.8\r\n"; }},
    {"NoSettings", [](GameFiles& f) { f.erase("scripts/Ostrelle.ini"); }},
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
