// The folders of a run: the folder the plug-in sits in, a fresh temporary folder holding the
// settings file as "Ostrelle.ini" and, linked in, everything else of the folder the sounds are
// taken from, so that the plug-in's own search finds the sounds exactly as it would in that
// folder; and the game's folder, the current folder against which the plug-in's relative search
// places are resolved: the one given, else a fresh empty one, never the shell's. Both are in
// force (platform::setCurrentFolder) while the object lives; what was made is removed with it.
#pragma once

#include <filesystem>
#include <string>

class PluginFolder {
  public:
    // Copies settingsFile in (throws std::runtime_error naming it when it cannot be read) and
    // links each entry of soundFolder in but its own "Ostrelle.ini", in any letter case (throws
    // when soundFolder or a given gameFolder is no folder).
    PluginFolder(const std::filesystem::path& settingsFile,
                 const std::filesystem::path& soundFolder,
                 const std::filesystem::path& gameFolder = {});
    ~PluginFolder();
    PluginFolder(const PluginFolder&) = delete;
    PluginFolder& operator=(const PluginFolder&) = delete;

    std::string path() const { return folder.string(); }

    // The game's folder as given, or "" when the run has an empty one of its own.
    std::string givenGameFolder() const { return gameGiven ? game.string() : ""; }

    // Where the plug-in's search finds a sound, in the sound folder's or the game folder's own
    // terms ("" when it finds it nowhere), and why the audio library would not play it ("" when
    // it would).
    struct SoundSource {
        std::string path;
        std::string refusal;
    };
    SoundSource soundSource(const std::string& fileName) const;

  private:
    std::filesystem::path folder, soundFolder, game;
    bool gameGiven;
};
